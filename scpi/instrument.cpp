#include "scpi/instrument.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <initializer_list>
#include <stdexcept>
#include <utility>
#include <variant>
#include <vector>

#include "adc/reference_entry.h"
#include "commands/command.h"
#include "commands/exit_status.h"
#include "commands/log_values.h"
#include "ctl/command_parser.h"
#include "scpi/header_pattern.h"
#include "scpi/parser.h"

namespace kx::scpi {

// What a checked unit needs when its turn comes.
struct Instrument::Run {
  Instrument& instrument;
  Client& client;
  const adc::CaptureStop& stop;
  std::vector<std::string> responses;

  void Fail(const Error& error) { instrument.Refuse(client, error); }

  // The command through the session: its outcome, or none when the board or
  // the link failed (the error is queued with the failing status).
  std::optional<commands::Outcome> Board(const commands::Command& command) {
    commands::Outcome outcome = instrument.session_->Run(command, stop);
    for (const std::string& message : outcome.messages) {
      instrument.LogFor(client, message);
    }
    if (!outcome.Succeeded()) {
      Fail(MakeError(HardwareError, outcome.status
                                        ? fmt::format("{}: {} (status {})", command.name,
                                                      outcome.error, *outcome.status)
                                        : fmt::format("{}: {}", command.name, outcome.error)));
      return std::nullopt;
    }
    return outcome;
  }
};

namespace {

using Action = std::function<void(Instrument::Run&)>;

// Thrown while a unit is checked; Execute queues it and runs nothing.
class Refusal : public std::runtime_error {
 public:
  explicit Refusal(Error error) : std::runtime_error(error.text), error_(std::move(error)) {}
  const Error& error() const { return error_; }

 private:
  Error error_;
};

[[noreturn]] void Refuse(const ErrorCode& code, const std::string& detail = {}) {
  throw Refusal(MakeError(code, detail));
}

void Count(const Unit& unit, std::size_t least, std::size_t most) {
  if (unit.parameters.size() < least) {
    Refuse(MissingParameter, fmt::format("{} parameter{} wanted, {} given", least,
                                         least == 1 ? "" : "s", unit.parameters.size()));
  }
  if (unit.parameters.size() > most) {
    Refuse(ParameterNotAllowed, fmt::format("at most {} parameter{} taken, {} given", most,
                                            most == 1 ? "" : "s", unit.parameters.size()));
  }
}

// A whole number; numbers with a fraction are refused rather than rounded,
// since a code or a channel is never meant approximately.
long long Whole(const Parameter& parameter, const char* what) {
  if (parameter.kind != ParameterKind::Decimal && parameter.kind != ParameterKind::NonDecimal) {
    Refuse(DataTypeError, fmt::format("{} must be a number", what));
  }
  if (parameter.value != std::floor(parameter.value) || std::fabs(parameter.value) > 1e15) {
    Refuse(DataOutOfRange, fmt::format("{} {} is not a whole number", what, parameter.text));
  }
  return static_cast<long long>(parameter.value);
}

// A code or word in the hexadecimal the panel's boxes take. The range is
// checked here too, so that the message names the number as it was typed.
std::string Hex(const Parameter& parameter, const char* what, long long most) {
  // FFF arrives as a word, not a number: show SCPI's form of it.
  if (parameter.kind == ParameterKind::Character &&
      std::all_of(parameter.text.begin(), parameter.text.end(),
                  [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; })) {
    Refuse(DataTypeError,
           fmt::format("{} must be a number (hexadecimal is written #H{})", what, parameter.text));
  }
  const long long value = Whole(parameter, what);
  if (value < 0) {
    Refuse(DataOutOfRange, fmt::format("{} {} is below 0", what, parameter.text));
  }
  if (value > most) {
    Refuse(DataOutOfRange,
           fmt::format("{} {} is above {} (#H{:X})", what, parameter.text, most, most));
  }
  return fmt::format("{:X}", value);
}

constexpr long long kLargestCode = 0xFFF;
constexpr long long kLargestDacWord = 0xFFFFFFFF;
constexpr long long kLargestAdcWord = 0xFFFF;

struct Choice {
  const char* mnemonic;  // as documented: "INTernal"
  const char* word;      // kx7312ctl's word: "internal"
};

const char* Pick(const Parameter& parameter, std::initializer_list<Choice> choices,
                 const char* what) {
  std::string names;
  for (const Choice& choice : choices) {
    if (parameter.kind == ParameterKind::Character &&
        MnemonicMatches(choice.mnemonic, parameter.text)) {
      return choice.word;
    }
    names += names.empty() ? "" : "|";
    names += choice.mnemonic;
  }
  if (parameter.kind != ParameterKind::Character) {
    Refuse(DataTypeError, fmt::format("{} must be one of {}", what, names));
  }
  Refuse(IllegalParameterValue,
         fmt::format("{} \"{}\" is none of {}", what, parameter.text, names));
}

bool Boolean(const Parameter& parameter) {
  if (parameter.kind == ParameterKind::Character) {
    return Pick(parameter, {{"ON", "1"}, {"OFF", "0"}}, "the setting")[0] == '1';
  }
  return Whole(parameter, "the setting") != 0;
}

// A reference in volts as the panel's box would hold it, within what the
// ADC's pin takes: a channel number sent in its place (ADC:READ:VOLT? 7)
// must not read as a 7 V reference.
const std::string& AdcReference(const Parameter& parameter) {
  if (parameter.kind != ParameterKind::Decimal) {
    Refuse(DataTypeError, "the reference must be a decimal number of volts");
  }
  const float volts = adc::ReadReferenceNumber(adc::NormaliseReferenceText(parameter.text));
  if (!(volts > 0.0F) || volts > adc::LargestAdcReference) {
    Refuse(DataOutOfRange,
           fmt::format("the reference {} V is outside what the ADC takes: above 0 V, at most {} V",
                       parameter.text, adc::LargestAdcReference));
  }
  return parameter.text;
}

const char* Group(const Parameter& parameter) {
  return Pick(parameter, {{"LOW", "low"}, {"HIGH", "high"}}, "the group");
}

// Builds the command through kx7312ctl's own checks, so that the server
// takes exactly what the tool takes.
commands::Command Checked(const Edition& edition, const std::vector<std::string>& tokens) {
  const ctl::ParseResult parsed =
      ctl::ParseCommands(tokens, commands::Source{}, edition, ctl::FileChecks::Skip);
  if (!parsed.error.empty()) {
    Refuse(DataOutOfRange, parsed.error);
  }
  return std::get<commands::Command>(parsed.items.front());
}

// A ctl command with no reply.
Action Send(commands::Command command) {
  return [command = std::move(command)](Instrument::Run& run) { run.Board(command); };
}

std::string JoinCodes(const auto& codes) {
  std::string text;
  for (const auto& code : codes) {
    if (!text.empty()) {
      text += ',';
    }
    text += fmt::format("{}", code);
  }
  return text;
}

std::string HexResponse(std::uint32_t word, int digits) {
  return fmt::format("#H{:0{}X}", word, digits);
}

// IEEE 488.2 definite-length block: #, the count of length digits, the
// length, the bytes.
std::string Block(const std::string& bytes) {
  const std::string length = std::to_string(bytes.size());
  return fmt::format("#{}{}{}", length.size(), length, bytes);
}

// The numbers of a capture file, in their order, comma-separated.
std::string FileNumbers(const std::string& text) {
  std::string numbers;
  bool in_number = false;
  for (const char c : text) {
    const bool part = c != '\t' && c != '\r' && c != '\n' && c != ' ';
    if (part && !in_number && !numbers.empty()) {
      numbers += ',';
    }
    if (part) {
      numbers += c;
    }
    in_number = part;
  }
  return numbers;
}

using Prepare = std::function<Action(const Instrument&, const Unit&)>;

struct Entry {
  HeaderPattern header;
  bool query;
  Prepare prepare;
};

Action DacLoad(const Instrument& instrument, const Unit& unit, bool update) {
  if (unit.parameters.empty() || unit.parameters.size() % 2 != 0) {
    Refuse(MissingParameter, "channel,code pairs wanted");
  }
  std::vector<std::string> tokens{"dac", "load"};
  for (std::size_t i = 0; i < unit.parameters.size(); i += 2) {
    tokens.push_back(fmt::format("{}={}", Whole(unit.parameters[i], "the channel"),
                                 Hex(unit.parameters[i + 1], "the code", kLargestCode)));
  }
  if (update) {
    tokens.emplace_back("--update");
  }
  return [command = Checked(instrument.edition(), tokens)](Instrument::Run& run) {
    // The pulse setting in force when the load runs, not when it was checked.
    commands::Command load = command;
    std::get<commands::DacLoad>(load.action).pulse = run.instrument.AutoPulse();
    run.Board(load);
  };
}

std::vector<std::string> WithChannels(std::vector<std::string> tokens, const Unit& unit,
                                      std::size_t first) {
  for (std::size_t i = first; i < unit.parameters.size(); ++i) {
    tokens.push_back(std::to_string(Whole(unit.parameters[i], "the channel")));
  }
  return tokens;
}

Action AdcRead(const Instrument& instrument, const Unit& unit, bool volts) {
  Count(unit, 0, volts ? 1 : 0);
  std::vector<std::string> tokens{"adc", "read"};
  if (volts) {
    if (!instrument.edition().HasVolts()) {
      Refuse(SettingsConflict, fmt::format("{} shows no volts", instrument.edition().program_name));
    }
    tokens.insert(tokens.end(), {"--format", "volts"});
    if (!unit.parameters.empty()) {
      tokens.insert(tokens.end(), {"--reference", AdcReference(unit.parameters[0])});
    }
  }
  return [command = Checked(instrument.edition(), tokens), volts](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      const auto* read = outcome->As<commands::ReadResult>();
      if (read != nullptr && volts && read->volts) {
        run.responses.push_back(JoinCodes(*read->volts));
      } else if (read != nullptr) {
        run.responses.push_back(JoinCodes(read->codes));
      }
    }
  };
}

Action Capture(const Unit& unit, bool channel0) {
  Count(unit, 0, 1);
  const bool codes =
      !unit.parameters.empty() &&
      Pick(unit.parameters[0], {{"BLOCk", "block"}, {"CODes", "codes"}}, "the form")[0] == 'c';
  commands::Command command{channel0 ? "adc capture-channel0" : "adc capture",
                            commands::AdcCapture{"", channel0}, commands::Source{}};
  return [command = std::move(command), codes](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      const auto* capture = outcome->As<commands::CaptureResult>();
      const std::string text = capture != nullptr ? capture->text.value_or("") : "";
      run.responses.push_back(codes ? FileNumbers(text) : Block(text));
    }
  };
}

Action Reply(std::function<std::string(Instrument::Run&)> answer) {
  return
      [answer = std::move(answer)](Instrument::Run& run) { run.responses.push_back(answer(run)); };
}

// *ESE and *SRE: one of the client's enable masks, set (0 to 255) and read.
Prepare SetMask(std::uint8_t ClientStatus::*mask) {
  return [mask](const Instrument&, const Unit& unit) {
    Count(unit, 1, 1);
    const long long value = Whole(unit.parameters[0], "the mask");
    if (value < 0 || value > 255) {
      Refuse(DataOutOfRange, "the mask must be 0 to 255");
    }
    return Action([mask, value](Instrument::Run& run) {
      run.client.status.*mask = static_cast<std::uint8_t>(value);
    });
  };
}

Prepare MaskQuery(std::uint8_t ClientStatus::*mask) {
  return [mask](const Instrument&, const Unit& unit) {
    Count(unit, 0, 0);
    return Reply([mask](Instrument::Run& run) { return std::to_string(run.client.status.*mask); });
  };
}

// A SCPI string: in double quotes, a quote inside doubled.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  }
  return quoted + "\"";
}

// A log checked by kx7312ctl's own `adc log` checks: the file and interval
// are placeholders where only the extra options are being checked.
commands::AdcLog CheckedLog(const Edition& edition, const std::vector<std::string>& tokens) {
  return std::get<commands::AdcLog>(Checked(edition, tokens).action);
}

// A time as seconds (0.1, 5E-2) or as a string with a unit ("250ms", "10h").
std::string TimeText(const Parameter& parameter, const char* what) {
  if (parameter.kind == ParameterKind::Decimal) {
    if (!std::isfinite(parameter.value) || parameter.value <= 0) {
      Refuse(DataOutOfRange, fmt::format("{} {} must be above 0 s", what, parameter.text));
    }
    return fmt::format("{}", parameter.value);
  }
  if (parameter.kind == ParameterKind::String) {
    return parameter.text;
  }
  Refuse(DataTypeError,
         fmt::format("{} must be a number of seconds or a string such as \"250ms\"", what));
}

// A log's file as a client names it: a path inside the server's log folder,
// so that a client on the network writes nowhere else.
std::string LogFileName(const Parameter& parameter) {
  if (parameter.kind != ParameterKind::String) {
    Refuse(DataTypeError, "the file must be a string, such as \"supply.csv\"");
  }
  const std::filesystem::path path(parameter.text);
  bool outside = parameter.text.empty() || path.has_root_path();
  for (const std::filesystem::path& part : path) {
    outside = outside || part == "..";
  }
  if (outside) {
    Refuse(FileNameError,
           fmt::format("\"{}\" is not a file name inside the log folder", parameter.text));
  }
  return parameter.text;
}

Action LogStart(const Instrument& instrument, const Unit& unit) {
  Count(unit, 2, 3);
  std::vector<std::string> tokens{"adc", "log", LogFileName(unit.parameters[0]), "--every",
                                  TimeText(unit.parameters[1], "the interval")};
  if (unit.parameters.size() > 2) {
    tokens.insert(tokens.end(), {"--for", TimeText(unit.parameters[2], "the duration")});
  }
  return [log = CheckedLog(instrument.edition(), tokens)](Instrument::Run& run) {
    if (const std::optional<Error> error = run.instrument.StartLog(log, run.client)) {
      run.Fail(*error);
    }
  };
}

// "all", a string such as "0,3,8-11", or the channel numbers.
Action LogChannels(const Instrument& instrument, const Unit& unit) {
  Count(unit, 1, adc::AdcChannels);
  std::string list;
  if (unit.parameters.size() == 1 && (unit.parameters[0].kind == ParameterKind::Character ||
                                      unit.parameters[0].kind == ParameterKind::String)) {
    const Parameter& only = unit.parameters[0];
    list = only.kind == ParameterKind::String ? only.text
                                              : Pick(only, {{"ALL", "all"}}, "the channels");
  } else {
    for (const Parameter& parameter : unit.parameters) {
      list += (list.empty() ? "" : ",") + std::to_string(Whole(parameter, "the channel"));
    }
  }
  const commands::AdcLog log =
      CheckedLog(instrument.edition(), {"adc", "log", "-", "--every", "1", "--channels", list});
  return [channels = log.channels](Instrument::Run& run) {
    run.instrument.Logging().channels = channels;
  };
}

const std::vector<Entry>& Tree() {
  static const std::vector<Entry> tree = {
      // IEEE 488.2 common commands.
      {HeaderPattern("IDN"), true,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([name = std::string(instrument.edition().program_name)](Instrument::Run&) {
           return fmt::format("KX7312,{},0,{}", name, commands::CtlVersion);
         });
       }},
      {HeaderPattern("RST"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Action([](Instrument::Run& run) {
           const commands::Outcome started = run.instrument.StartUp();
           if (!started.Succeeded()) {
             run.Fail(MakeError(HardwareError, started.status
                                                   ? fmt::format("start-up: {} (status {})",
                                                                 started.error, *started.status)
                                                   : "start-up: " + started.error));
           }
         });
       }},
      {HeaderPattern("CLS"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Action([](Instrument::Run& run) { run.client.status.Clear(); });
       }},
      {HeaderPattern("OPC"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         // Every command is done whole before the next one is read.
         return Action([](Instrument::Run& run) { run.client.status.SetEvent(OperationComplete); });
       }},
      {HeaderPattern("OPC"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run&) { return std::string("1"); });
       }},
      {HeaderPattern("WAI"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Action([](Instrument::Run&) {});
       }},
      {HeaderPattern("ESR"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply(
             [](Instrument::Run& run) { return std::to_string(run.client.status.TakeEvents()); });
       }},
      {HeaderPattern("STB"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply(
             [](Instrument::Run& run) { return std::to_string(run.client.status.StatusByte()); });
       }},
      {HeaderPattern("ESE"), false, SetMask(&ClientStatus::event_enable)},
      {HeaderPattern("ESE"), true, MaskQuery(&ClientStatus::event_enable)},
      {HeaderPattern("SRE"), false, SetMask(&ClientStatus::service_enable)},
      {HeaderPattern("SRE"), true, MaskQuery(&ClientStatus::service_enable)},
      {HeaderPattern("TST"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run&) { return std::string("0"); });
       }},
  };
  return tree;
}

const std::vector<Entry>& CommonTree() {
  return Tree();
}

const std::vector<Entry>& SubsystemTree() {
  static const std::vector<Entry> tree = {
      {HeaderPattern("SYSTem:ERRor[:NEXT]"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) { return ErrorResponse(run.client.status.Next()); });
       }},
      {HeaderPattern("SYSTem:ERRor:COUNt"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply(
             [](Instrument::Run& run) { return std::to_string(run.client.status.Count()); });
       }},
      {HeaderPattern("SYSTem:VERSion"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run&) { return std::string("1999.0"); });
       }},
      {HeaderPattern("DAC:LOAD[:INPut]"), false,
       [](const Instrument& instrument, const Unit& unit) {
         return DacLoad(instrument, unit, false);
       }},
      {HeaderPattern("DAC:UPDate"), false,
       [](const Instrument& instrument, const Unit& unit) {
         return DacLoad(instrument, unit, true);
       }},
      {HeaderPattern("DAC:LOAD:PULSe"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 1, 1);
         return Action([on = Boolean(unit.parameters[0])](Instrument::Run& run) {
           run.instrument.SetAutoPulse(on);
         });
       }},
      {HeaderPattern("DAC:LOAD:PULSe"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           return std::string(run.instrument.AutoPulse() ? "1" : "0");
         });
       }},
      {HeaderPattern("DAC:WRITe"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 2, 2);
         return Send(
             Checked(instrument.edition(), {"dac", "write", Group(unit.parameters[0]),
                                            Hex(unit.parameters[1], "the word", kLargestDacWord)}));
       }},
      {HeaderPattern("DAC:PDOWn"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 2, 10);
         const char* mode = Pick(
             unit.parameters[1],
             {{"NORMal", "normal"}, {"R1K", "1k"}, {"R100K", "100k"}, {"TSTate", "three-state"}},
             "the mode");
         return Send(Checked(
             instrument.edition(),
             WithChannels({"dac", "power-down", Group(unit.parameters[0]), mode}, unit, 2)));
       }},
      {HeaderPattern("DAC:PDOWn:MASK"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           std::string text;
           for (const std::uint16_t mask :
                run.instrument.Session().Board().Dac().SavedPowerDownMask()) {
             text += (text.empty() ? "" : ",") + HexResponse(mask, 4);
           }
           return text;
         });
       }},
      {HeaderPattern("DAC:LDAC[:REGister]"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 9);
         return Send(
             Checked(instrument.edition(),
                     WithChannels({"dac", "ldac-register", Group(unit.parameters[0])}, unit, 1)));
       }},
      {HeaderPattern("DAC:REFerence"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 2, 2);
         return Send(
             Checked(instrument.edition(),
                     {"dac", "reference", Group(unit.parameters[0]),
                      Pick(unit.parameters[1], {{"INTernal", "internal"}, {"EXTernal", "external"}},
                           "the reference")}));
       }},
      {HeaderPattern("DAC:CLEar[:CODE]"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 2, 2);
         const long long code = Whole(unit.parameters[1], "the clear code");
         const char* word = code == 0       ? "0x0000"
                            : code == 0x800 ? "0x0800"
                            : code == 0xFFF ? "0x0FFF"
                                            : nullptr;
         if (word == nullptr) {
           Refuse(DataOutOfRange, fmt::format("the clear code {} is none of 0, #H800, #HFFF",
                                              unit.parameters[1].text));
         }
         return Send(
             Checked(instrument.edition(), {"dac", "clear-code", Group(unit.parameters[0]), word}));
       }},
      {HeaderPattern("DAC:WORDs"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 1);
         const bool dac_register =
             !unit.parameters.empty() &&
             Pick(unit.parameters[0], {{"INPut", "i"}, {"DAC", "d"}}, "the register")[0] == 'd';
         return Reply([dac_register](Instrument::Run& run) {
           const dac::DacOperations& dac = run.instrument.Session().Board().Dac();
           std::string text;
           for (const auto* words :
                {dac_register ? &dac.DacRegWordsLow() : &dac.InputRegWordsLow(),
                 dac_register ? &dac.DacRegWordsHigh() : &dac.InputRegWordsHigh()}) {
             for (const std::int32_t word : *words) {
               text += (text.empty() ? "" : ",") + HexResponse(static_cast<std::uint32_t>(word), 8);
             }
           }
           return text;
         });
       }},
      {HeaderPattern("LINE:CLR"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         return Send(Checked(
             instrument.edition(),
             {"line",
              Pick(unit.parameters[0], {{"HIGH", "clr-high"}, {"LOW", "clr-low"}}, "the level")}));
       }},
      {HeaderPattern("LINE:LDAC"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         return Send(
             Checked(instrument.edition(),
                     {"line", Pick(unit.parameters[0], {{"HIGH", "ldac-high"}, {"LOW", "ldac-low"}},
                                   "the level")}));
       }},
      {HeaderPattern("LINE:LDAC:PULSe"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 0, 0);
         return Send(Checked(instrument.edition(), {"line", "pulse-ldac"}));
       }},
      {HeaderPattern("ADC:CONFigure"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 0, 3);
         std::vector<std::string> tokens{"adc", "configure"};
         if (!unit.parameters.empty()) {
           tokens.insert(tokens.end(),
                         {"--range", Pick(unit.parameters[0],
                                          {{"VREF2X", "2xvref"}, {"VREF", "vref"}}, "the range")});
         }
         if (unit.parameters.size() > 1 &&
             Pick(unit.parameters[1], {{"TRIState", "t"}, {"WEAK", "w"}}, "the output")[0] == 'w') {
           tokens.emplace_back("--weak");
         }
         if (unit.parameters.size() > 2) {
           if (!instrument.edition().HasVolts()) {
             Refuse(SettingsConflict,
                    fmt::format("{} has no Coding list", instrument.edition().program_name));
           }
           tokens.insert(tokens.end(), {"--coding", Pick(unit.parameters[2],
                                                         {{"TWOS", "twos"}, {"BINary", "binary"}},
                                                         "the coding")});
         }
         return Send(Checked(instrument.edition(), tokens));
       }},
      {HeaderPattern("ADC:CONFigure"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           const adc::AdcConfiguration& config =
               run.instrument.Session().Board().Adc().Configuration();
           std::string text = config.AdcRangeBit != 0 ? "VREF" : "VREF2X";
           text += config.AdcWeakTriBit != 0 ? ",WEAK" : ",TRIS";
           if (run.instrument.edition().HasVolts()) {
             text += config.AdcCodingBit != 0 ? ",BIN" : ",TWOS";
           }
           return text;
         });
       }},
      {HeaderPattern("ADC:READ"), true,
       [](const Instrument& instrument, const Unit& unit) {
         return AdcRead(instrument, unit, false);
       }},
      {HeaderPattern("ADC:READ:VOLTage"), true,
       [](const Instrument& instrument, const Unit& unit) {
         return AdcRead(instrument, unit, true);
       }},
      {HeaderPattern("ADC:RESults"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           return JoinCodes(run.instrument.Session().Board().Adc().AdcResults());
         });
       }},
      {HeaderPattern("ADC:WRITe"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         return Send(
             Checked(instrument.edition(),
                     {"adc", "write", Hex(unit.parameters[0], "the word", kLargestAdcWord)}));
       }},
      {HeaderPattern("ADC:WRITe"), true,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         return Action([command = Checked(instrument.edition(),
                                          {"adc", "write",
                                           Hex(unit.parameters[0], "the word", kLargestAdcWord)})](
                           Instrument::Run& run) {
           if (const auto outcome = run.Board(command)) {
             const std::int32_t reply =
                 outcome->requests.empty() ? 0 : outcome->requests.back().reply;
             run.responses.push_back(HexResponse(static_cast<std::uint32_t>(reply) & 0xFFFFU, 4));
           }
         });
       }},
      {HeaderPattern("LOG:STARt"), false, LogStart},
      {HeaderPattern("LOG:STOP"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Action([](Instrument::Run& run) { run.instrument.StopLog(); });
       }},
      {HeaderPattern("LOG:STATe"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           const LogState state = run.instrument.LogStatus();
           return fmt::format("{},{},{},{},{:.3f},{},{}", state.running ? 1 : 0, state.rows,
                              state.gaps, state.missed,
                              std::chrono::duration<double>(state.elapsed).count(),
                              Quoted(state.file), Quoted(state.failure));
         });
       }},
      {HeaderPattern("LOG:CHANnels"), false, LogChannels},
      {HeaderPattern("LOG:CHANnels"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply(
             [](Instrument::Run& run) { return JoinCodes(run.instrument.Logging().channels); });
       }},
      {HeaderPattern("LOG:AVERage"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         const long long reads = Whole(unit.parameters[0], "the reads per row");
         const commands::AdcLog log =
             CheckedLog(instrument.edition(), {"adc", "log", "-", "--every", "1", "--average",
                                               std::to_string(reads < 0 ? 0 : reads)});
         return Action([average = log.average](Instrument::Run& run) {
           run.instrument.Logging().average = average;
         });
       }},
      {HeaderPattern("LOG:AVERage"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply(
             [](Instrument::Run& run) { return std::to_string(run.instrument.Logging().average); });
       }},
      {HeaderPattern("LOG:OVERwrite"), false,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 1, 1);
         return Action([on = Boolean(unit.parameters[0])](Instrument::Run& run) {
           run.instrument.Logging().overwrite = on;
         });
       }},
      {HeaderPattern("LOG:OVERwrite"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) {
           return std::string(run.instrument.Logging().overwrite ? "1" : "0");
         });
       }},
      {HeaderPattern("LOG:REFerence"), false,
       [](const Instrument& instrument, const Unit& unit) {
         Count(unit, 1, 1);
         if (!instrument.edition().HasVolts()) {
           Refuse(SettingsConflict,
                  fmt::format("{} has no ADC reference", instrument.edition().program_name));
         }
         const commands::AdcLog log = CheckedLog(
             instrument.edition(),
             {"adc", "log", "-", "--every", "1", "--reference", AdcReference(unit.parameters[0])});
         return Action([reference = log.reference](Instrument::Run& run) {
           run.instrument.Logging().reference = reference;
         });
       }},
      {HeaderPattern("LOG:REFerence"), true,
       [](const Instrument&, const Unit& unit) {
         Count(unit, 0, 0);
         return Reply([](Instrument::Run& run) { return run.instrument.Logging().reference; });
       }},
      {HeaderPattern("ADC:CAPTure[:ALL]"), true,
       [](const Instrument&, const Unit& unit) { return Capture(unit, false); }},
      {HeaderPattern("ADC:CAPTure:CHANnel0"), true,
       [](const Instrument&, const Unit& unit) { return Capture(unit, true); }},
  };
  return tree;
}

std::string HeaderText(const Unit& unit) {
  std::string text = unit.common ? "*" : (unit.absolute ? ":" : "");
  for (std::size_t i = 0; i < unit.mnemonics.size(); ++i) {
    text += (i == 0 ? "" : ":") + unit.mnemonics[i];
  }
  return text + (unit.query ? "?" : "");
}

bool SameParameters(const Unit& one, const Unit& other) {
  return std::equal(one.parameters.begin(), one.parameters.end(), other.parameters.begin(),
                    other.parameters.end(), [](const Parameter& a, const Parameter& b) {
                      return a.kind == b.kind && a.text == b.text;
                    });
}

const Entry* Find(const std::vector<Entry>& tree, const std::vector<std::string>& header,
                  bool query) {
  for (const Entry& entry : tree) {
    if (entry.query == query && entry.header.Matches(header)) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace

Instrument::Instrument(const Edition& edition, SessionMaker make_session, LogLine log)
    : edition_(edition), make_session_(std::move(make_session)), log_(std::move(log)) {
  log_settings_.channels = commands::ParseChannelList("all").channels;
}

Instrument::~Instrument() {
  StopLog();
}

commands::Outcome Instrument::StartUp() {
  // A running log reads through the session about to go: it ends first,
  // its file complete.
  StopLog();
  // The earlier session goes first: two sessions must not share the link.
  session_.reset();
  session_ = make_session_();
  auto_pulse_ = true;
  log_settings_ = LogSettings{};
  log_settings_.channels = commands::ParseChannelList("all").channels;
  return session_->StartUp();
}

void Instrument::UseLogTimer(LogTimer& timer, logger::LogClock* clock) {
  StopLog();
  background_log_ =
      std::make_unique<BackgroundLog>(timer, clock != nullptr ? *clock : system_clock_,
                                      [this](const std::string& line) { log_(line); });
}

std::optional<Error> Instrument::StartLog(commands::AdcLog log, Client& client) {
  if (!background_log_) {
    return MakeError(SettingsConflict, "this instrument cannot log in the background");
  }
  if (background_log_->Running()) {
    return MakeError(InitIgnored, fmt::format("a log to {} is running; LOG:STOP ends it",
                                              background_log_->State().file));
  }
  if (!log_folder_) {
    if (std::optional<std::string> error = SetLogFolder({})) {
      return MakeError(FileNameError, *error);
    }
  }
  const std::string name = log.file;
  log.file = log_folder_->Shown(name);
  log.channels = log_settings_.channels;
  log.average = log_settings_.average;
  log.overwrite = log_settings_.overwrite;
  if (edition_.HasVolts()) {
    log.reference = log_settings_.reference;
  }
  logger::LogFile::Opened opened = logger::LogFile::CreateIn(*log_folder_, name, log.overwrite);
  if (!opened.file) {
    return MakeError(FileNameError,
                     opened.exists ? opened.error + " (LOG:OVERwrite ON)" : opened.error);
  }
  const std::optional<std::string> error = background_log_->Start(
      *session_, log, std::move(opened.file), [this](const std::string& reason) {
        if (log_client_ != nullptr) {
          Refuse(*log_client_, MakeError(MassStorageError, reason));
        }
        log_client_ = nullptr;
      });
  if (error) {
    return MakeError(FileNameError, *error);
  }
  log_client_ = &client;
  return std::nullopt;
}

std::optional<std::string> Instrument::SetLogFolder(const std::filesystem::path& folder) {
  std::string error;
  std::optional<logger::LogFolder> opened =
      logger::LogFolder::Open(folder.empty() ? std::filesystem::path(".") : folder, error);
  if (!opened) {
    return error;
  }
  log_folder_ = std::move(opened);
  return std::nullopt;
}

void Instrument::StopLog() {
  if (background_log_) {
    background_log_->Stop();
  }
  log_client_ = nullptr;
}

LogState Instrument::LogStatus() const {
  return background_log_ ? background_log_->State() : LogState{};
}

void Instrument::Forget(const Client& client) {
  if (log_client_ == &client) {
    log_client_ = nullptr;
  }
}

void Instrument::Refuse(Client& client, const Error& error) {
  // Whatever a detail echoes, an error stays a line: twenty of them are all
  // a client's queue may hold.
  constexpr std::size_t kLongestText = 240;
  Error kept = error;
  if (kept.text.size() > kLongestText) {
    kept.text = kept.text.substr(0, kLongestText) + "...";
  }
  client.status.Push(kept);
  LogFor(client, ErrorResponse(kept));
}

void Instrument::LogFor(Client& client, const std::string& line) {
  if (const std::optional<std::string> passed = client.log_rate.Pass(client.name + ": " + line)) {
    log_(*passed);
  }
}

std::optional<std::string> Instrument::Execute(std::string_view line, Client& client,
                                               const adc::CaptureStop& stop) {
  std::optional<CheckedLine> checked = Check(line, client);
  if (!checked) {
    return std::nullopt;
  }
  std::optional<std::string> response;
  while (!checked->Done()) {
    if (const std::optional<std::string> part = RunNext(*checked, client, stop)) {
      response = response ? *response + ";" + *part : *part;
    }
  }
  return response;
}

std::optional<CheckedLine> Instrument::Check(std::string_view line, Client& client) {
  const ParsedLine parsed = ParseLine(line);
  if (parsed.error) {
    Refuse(client, *parsed.error);
    return std::nullopt;
  }
  CheckedLine checked;
  checked.units.reserve(parsed.units.size());
  std::vector<std::string> path;  // the compound header's nodes above the last unit's
  const Entry* previous_entry = nullptr;
  const Unit* previous_unit = nullptr;
  for (const Unit& unit : parsed.units) {
    try {
      const Entry* entry = nullptr;
      if (unit.common) {
        entry = Find(CommonTree(), unit.mnemonics, unit.query);
      } else {
        std::vector<std::string> header = path;
        header.insert(header.end(), unit.mnemonics.begin(), unit.mnemonics.end());
        // Relative to the previous unit's node first, as SCPI wants; then
        // from the root, which is what most people mean.
        if (!unit.absolute && !path.empty()) {
          entry = Find(SubsystemTree(), header, unit.query);
        }
        if (entry == nullptr) {
          header = unit.mnemonics;
          entry = Find(SubsystemTree(), header, unit.query);
        }
        if (entry != nullptr) {
          path.assign(header.begin(), header.end() - 1);
        }
      }
      if (entry == nullptr) {
        ::kx::scpi::Refuse(UndefinedHeader, ShownText(HeaderText(unit)));
      }
      if (entry == previous_entry && SameParameters(unit, *previous_unit)) {
        checked.units.push_back(checked.units.back());
      } else {
        checked.units.push_back(std::make_shared<const Action>(entry->prepare(*this, unit)));
      }
      previous_entry = entry;
      previous_unit = &unit;
    } catch (const Refusal& refusal) {
      Error error = refusal.error();
      if (error.code != UndefinedHeader.code) {
        error.text += " (" + ShownText(HeaderText(unit)) + ")";
      }
      Refuse(client, error);
      return std::nullopt;
    }
  }
  return checked;
}

std::optional<std::string> Instrument::RunNext(CheckedLine& line, Client& client,
                                               const adc::CaptureStop& stop) {
  Run run{*this, client, stop, {}};
  // Taken out, so that what the unit held goes as soon as it has run.
  const std::shared_ptr<const Action> action = std::move(line.units[line.next++]);
  (*action)(run);
  if (run.responses.empty()) {
    return std::nullopt;
  }
  std::string response;
  for (const std::string& part : run.responses) {
    response += (response.empty() ? "" : ";") + part;
  }
  return response;
}

}  // namespace kx::scpi
