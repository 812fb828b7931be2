#include "ctl/output.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <variant>

#include "adc/adc_display.h"
#include "analysis/linearity/linearity_file.h"
#include "analysis/linearity/linearity_text.h"
#ifdef KX_WITH_SPECTRUM
#include "analysis/spectrum_report.h"
#endif
#include "board/link_requests.h"
#include "board/status_text.h"
#include "commands/calibration_store.h"
#include "commands/choices.h"
#include "commands/log_values.h"
#include "commands/overloaded.h"
#include "commands/volts_codes.h"
#include "ctl/command_parser.h"
#include "dac/dac_volts.h"
#include "session/calibration_file.h"

namespace kx::ctl {

namespace {

// A command's result; a successful outcome always holds its own kind.
template <class T>
const T& ResultOf(const Outcome& outcome) {
  static const T kNone{};
  const T* result = outcome.As<T>();
  return result != nullptr ? *result : kNone;
}

using Json = nlohmann::ordered_json;

constexpr const char* kProgram = "kx7312ctl: ";

std::string Word32(std::int32_t word) {
  return fmt::format("0x{:08X}", static_cast<std::uint32_t>(word));
}

std::string Word16(std::int32_t word) {
  return fmt::format("0x{:04X}", static_cast<std::uint32_t>(word) & 0xFFFFU);
}

const char* GroupWord(int group) {
  return group == LowGroup ? "low" : "high";
}

// A number as the panel's texts show it: "2.50", "-1.250".
double Number(std::string_view text) {
  double value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// --- plain lines --------------------------------------------------------------

// The control-line requests by the panel's button captions.
const char* Caption(std::uint8_t code) {
  switch (code) {
    case board::ClrHighRequest:
      return "CLR High";
    case board::ClrLowRequest:
      return "CLR Low";
    case board::LdacHighRequest:
      return "LDAC High";
    case board::LdacLowRequest:
      return "LDAC Low";
    case board::PulseLdacRequest:
      return "Pulse LDAC";
    default:
      return nullptr;
  }
}

// DAC words one line per run of the same group, control lines by caption:
//   DAC0-7: 0x0001FF00 0x0012FF00 ...
//   Pulse LDAC
void PlainRequests(std::ostream& out, const std::vector<LinkRecord>& requests) {
  std::uint8_t open_group = 0;
  for (const LinkRecord& request : requests) {
    const bool dac = request.code == board::DacLowRequest || request.code == board::DacHighRequest;
    if (dac && request.code == open_group) {
      out << ' ' << Word32(request.word);
      continue;
    }
    if (open_group != 0) {
      out << '\n';
      open_group = 0;
    }
    if (dac) {
      out << (request.code == board::DacLowRequest ? "DAC0-7: " : "DAC8-15: ")
          << Word32(request.word);
      open_group = request.code;
    } else if (const char* caption = Caption(request.code)) {
      out << caption << '\n';
    } else {
      out << board::RequestName(request.code) << ' ' << Word32(request.word) << '\n';
    }
  }
  if (open_group != 0) {
    out << '\n';
  }
}

// Each entry in volts, before the words that carried it:
//   DAC3 1.2500 V: code 0x800 = 1.2500 V (DAC0-7's external 2.5 V reference)
void PlainVoltsEntries(std::ostream& out, const LoadResult& result) {
  for (const LoadedCode& code : result.loaded) {
    if (code.volts) {
      out << fmt::format("DAC{} {}: code {} = {} ({})\n", code.channel,
                         dac::DacVoltsText(code.volts->asked), adc::CodeHexText(code.code),
                         dac::DacVoltsText(code.volts->volts),
                         ScaleText(code.channel, *code.volts));
    }
  }
}

void PlainConfiguration(std::ostream& out, const Outcome& outcome, bool coding) {
  const adc::AdcConfiguration& config = ResultOf<ConfigureResult>(outcome).configuration;
  out << "ADC configuration "
      << board::HexWithoutLeadingZeros(outcome.requests.empty() ? 0 : outcome.requests.back().word)
      << ": " << (config.AdcRangeBit != 0 ? "0V to VREFA" : "0V to 2xVREFA") << ", "
      << (config.AdcWeakTriBit != 0 ? "Weak" : "Three-State");
  if (coding) {
    out << ", " << (config.AdcCodingBit != 0 ? "Straight Binary" : "2's Compliment");
  }
  out << '\n';
}

// The channels a read gave: all sixteen, or the one it named.
std::pair<std::size_t, std::size_t> ReadChannels(const ReadResult& result) {
  if (result.channel) {
    const auto channel = static_cast<std::size_t>(*result.channel);
    return {channel, channel + 1};
  }
  return {0, result.codes.size()};
}

void PlainRead(std::ostream& out, const AdcRead& read, const Outcome& outcome) {
  const auto& result = ResultOf<ReadResult>(outcome);
  const auto [first, end] = ReadChannels(result);
  for (std::size_t channel = first; channel < end; ++channel) {
    const std::int32_t code = result.codes[channel];
    std::string value;
    switch (read.format) {
      case ReadFormat::Hex:
        value = adc::CodeHexText(code);
        break;
      case ReadFormat::Dec:
        value = adc::CodeDecText(code);
        break;
      case ReadFormat::Volts:
        value = result.volts ? (*result.volts)[channel] : "";
        break;
    }
    out << "ADC" << channel << ' ' << value << '\n';
  }
}

std::string IdText(const board::UsbId& id) {
  return fmt::format("{:04x}:{:04x}", id.vendor, id.product);
}

std::string PlaceText(const board::AttachedBoard& board) {
  return board.bus ? fmt::format("{}:{}", *board.bus, board.address.value_or(0)) : "simulated";
}

// One line a board:
//   1:5 serial "KX-0001": runs its firmware as 1234:7312 (waits for it as 1234:7310)
void PlainBoards(std::ostream& out, const BoardsResult& result) {
  if (result.boards.empty()) {
    out << "no board attached\n";
  }
  for (const board::AttachedBoard& board : result.boards) {
    out << PlaceText(board) << ' ';
    if (board.serial) {
      out << "serial \"" << *board.serial << '"';
    } else if (!board.serial_problem.empty()) {
      out << "serial unreadable (" << board.serial_problem << ')';
    } else {
      out << "no serial";
    }
    out << (board.running ? fmt::format(": runs its firmware as {} (waits for it as {})\n",
                                        IdText(board.running_id), IdText(board.loader_id))
                          : fmt::format(": waits for its firmware as {} (runs it as {})\n",
                                        IdText(board.loader_id), IdText(board.running_id)));
  }
}

// "offset 3.250 LSB, gain -0.500 % (adc histogram, 2026-12-09T11:00:00.125Z,
// kx7312ctl 1.05, reference 2.497 V)".
std::string EntryText(const session::ChannelCalibration& entry) {
  std::string text =
      fmt::format("offset {:.3f} LSB, gain {:.3f} % ({}, {}, {}", entry.correction.offset_lsb,
                  entry.correction.gain_percent, entry.method, entry.date, entry.program);
  if (entry.reference_volts) {
    text += fmt::format(", reference {} V", *entry.reference_volts);
  }
  return text + ")";
}

std::string ReferenceText(const std::optional<double>& volts) {
  return volts ? fmt::format("{} V", *volts) : "nominal";
}

void PlainCalibration(std::ostream& out, const CalibrationResult& result) {
  if (!result.calibration) {
    out << fmt::format("no calibration for board {} ({})\n", result.board, result.path);
    return;
  }
  const session::Calibration& calibration = *result.calibration;
  out << fmt::format("calibration of board {}: {}\n", result.board, result.path)
      << fmt::format("written {} by {}\n", calibration.written, calibration.program)
      << fmt::format("ADC reference: {}; DAC0-7 reference: {}; DAC8-15 reference: {}\n",
                     ReferenceText(calibration.adc_reference_volts),
                     ReferenceText(calibration.dac_reference_volts[0]),
                     ReferenceText(calibration.dac_reference_volts[1]));
  for (std::size_t range = 0; range < calibration.adc.size(); ++range) {
    for (std::size_t channel = 0; channel < calibration.adc[range].size(); ++channel) {
      if (const auto& entry = calibration.adc[range][channel]) {
        out << AdcEntryName(static_cast<int>(range), static_cast<int>(channel)) << ": "
            << EntryText(*entry) << '\n';
      }
    }
  }
  for (std::size_t channel = 0; channel < calibration.dac.size(); ++channel) {
    if (const auto& entry = calibration.dac[channel]) {
      out << DacEntryName(static_cast<int>(channel)) << ": " << EntryText(*entry) << '\n';
    }
  }
}

void PlainChanged(std::ostream& out, const char* verb, const CalibrationResult& result) {
  if (result.changed.empty()) {
    out << (result.calibration
                ? fmt::format("nothing to clear: board {}'s calibration has no such entry ({})\n",
                              result.board, result.path)
                : fmt::format("nothing to clear: no calibration for board {} ({})\n", result.board,
                              result.path));
    return;
  }
  out << fmt::format("{} {} for board {} ({})\n", verb, fmt::join(result.changed, ", "),
                     result.board, result.path);
}

std::int32_t LastReply(const Outcome& outcome) {
  return outcome.requests.empty() ? 0 : outcome.requests.back().reply;
}

void Plain(std::ostream& out, const Command& command, const Outcome& outcome,
           const Edition& edition) {
  std::visit(Overloaded{
                 [&](const DacLoad&) {
                   PlainVoltsEntries(out, ResultOf<LoadResult>(outcome));
                   PlainRequests(out, outcome.requests);
                 },
                 [&](const AdcConfigure&) { PlainConfiguration(out, outcome, edition.HasVolts()); },
                 [&](const AdcRead& read) { PlainRead(out, read, outcome); },
                 [&](const AdcWrite&) { out << adc::WriteReplyText(LastReply(outcome)) << '\n'; },
                 [&](const AdcCapture& capture) {
                   out << (capture.channel0 ? "Saved 1024 replies of ADC channel 0 to "
                                            : "Saved 512 sample sets of ADC0 to ADC15 to ")
                       << capture.file << '\n';
                 },
                 [&](const AdcLog& log) {
                   const logger::LogSummary& summary = ResultOf<LogResult>(outcome).summary;
                   const logger::LogProgress& done = summary.progress;
                   out << fmt::format("Logged {} rows ({} gap rows, {} missed) in {} to {}{}\n",
                                      done.rows, done.gaps, done.missed, ElapsedText(done.elapsed),
                                      log.file, summary.stopped ? "; stopped by a signal" : "");
                 },
                 [&](const AdcHistogram& histogram) {
                   out << fmt::format("ADC channel {} code density\n", histogram.channel)
                       << linearity::DensityText(ResultOf<HistogramResult>(outcome).linearity);
                   if (!histogram.file.empty()) {
                     out << "Saved to " << histogram.file << " and " << histogram.file << ".json\n";
                   }
                 },
                 [&]([[maybe_unused]] const AdcSpectrum& spectrum) {
#ifdef KX_WITH_SPECTRUM
                   out << analysis::SpectrumText(ResultOf<SpectrumResult>(outcome).spectrum,
                                                 spectrum.channel);
#endif
                 },
                 [&](const DacSweep& sweep) {
                   out << fmt::format("DAC channel {} read on ADC channel {}\n", sweep.channel,
                                      sweep.adc_channel)
                       << linearity::SweepText(ResultOf<SweepResult>(outcome).linearity);
                   if (!sweep.file.empty()) {
                     out << "Saved to " << sweep.file << " and " << sweep.file << ".json\n";
                   }
                 },
                 [&](const SetupSave& save) { out << "Saved the set-up to " << save.file << '\n'; },
                 [&](const CalibrationShow&) {
                   PlainCalibration(out, ResultOf<CalibrationResult>(outcome));
                 },
                 [&](const CalibrationSave&) {
                   PlainChanged(out, "saved", ResultOf<CalibrationResult>(outcome));
                 },
                 [&](const CalibrationClear&) {
                   PlainChanged(out, "removed", ResultOf<CalibrationResult>(outcome));
                 },
                 [&](const ListBoards&) { PlainBoards(out, ResultOf<BoardsResult>(outcome)); },
                 [&](const auto&) { PlainRequests(out, outcome.requests); },
             },
             command.action);
}

// --- JSON -----------------------------------------------------------------------

Json SentJson(const std::vector<LinkRecord>& requests) {
  Json sent = Json::array();
  for (const LinkRecord& request : requests) {
    Json entry = {{"request", fmt::format("0x{:02X}", request.code)},
                  {"name", board::RequestName(request.code)},
                  {"word", Word32(request.word)},
                  {"status", request.status}};
    if (request.reads) {
      entry["reply"] = Word16(request.reply);
    }
    sent.push_back(std::move(entry));
  }
  return sent;
}

// The calibration file the volts were computed with, or null.
Json CalibrationKey(const Outcome& outcome) {
  return outcome.calibration ? Json(*outcome.calibration) : Json(nullptr);
}

// The keys each command adds, with the outcome's own result.
void AddKeys(Json& object, const DacLoad& load, const Outcome& outcome, const Edition&) {
  object["register"] = load.update ? "dac" : "input";
  const std::vector<LoadedCode>& sent = ResultOf<LoadResult>(outcome).loaded;
  Json loaded = Json::array();
  for (std::size_t i = 0; i < load.codes.size(); ++i) {
    const ChannelCode& code = load.codes[i];
    // A refused load worked out no codes.
    const LoadedCode* done = i < sent.size() ? &sent[i] : nullptr;
    Json entry = {{"channel", code.channel}};
    if (!code.volts) {
      entry["code"] = code.code;
    } else {
      entry["volts_asked"] = *code.volts;
      entry["code"] = done != nullptr ? Json(done->code) : Json(nullptr);
      entry["volts"] = done != nullptr ? Json(done->volts->volts) : Json(nullptr);
      entry["reference_volts"] =
          done != nullptr ? Json(done->volts->reference_volts) : Json(nullptr);
      entry["reference"] = done == nullptr                   ? Json(nullptr)
                           : done->volts->internal_reference ? Json("internal")
                                                             : Json("external");
      entry["calibrated"] = done != nullptr && done->volts->calibrated;
    }
    loaded.push_back(std::move(entry));
  }
  object["loaded"] = std::move(loaded);
  object["pulse"] = load.pulse;
  if (std::any_of(load.codes.begin(), load.codes.end(),
                  [](const ChannelCode& code) { return code.volts.has_value(); })) {
    object["calibration"] = CalibrationKey(outcome);
  }
}

void AddKeys(Json& object, const DacWrite& write, const Outcome&, const Edition&) {
  object["group"] = GroupWord(write.group);
  object["word"] = Word32(write.word);
}

void AddKeys(Json& object, const DacPowerDown& power_down, const Outcome& outcome, const Edition&) {
  object["group"] = GroupWord(power_down.group);
  object["mode"] = PowerDownChoices.at(static_cast<std::size_t>(power_down.mode)).word;
  object["channels"] = power_down.channels;
  object["saved_masks"] = ResultOf<PowerDownResult>(outcome).saved_masks;
}

void AddKeys(Json& object, const DacLdacRegister& ldac, const Outcome&, const Edition&) {
  object["group"] = GroupWord(ldac.group);
  object["channels"] = ldac.channels;
}

void AddKeys(Json& object, const DacReference& reference, const Outcome&, const Edition&) {
  object["group"] = GroupWord(reference.group);
  object["reference"] = ReferenceChoices.at(reference.internal ? 1 : 0).word;
}

void AddKeys(Json& object, const DacClearCode& clear, const Outcome&, const Edition&) {
  object["group"] = GroupWord(clear.group);
  object["clear_code"] = ClearCodeChoices.at(static_cast<std::size_t>(clear.select)).word;
}

void AddKeys(Json&, const LineRequest&, const Outcome&, const Edition&) {}

void AddKeys(Json& object, const AdcConfigure&, const Outcome& outcome, const Edition& edition) {
  const adc::AdcConfiguration& config = ResultOf<ConfigureResult>(outcome).configuration;
  object["word"] = Word32(outcome.requests.empty() ? 0 : outcome.requests.back().word);
  object["range"] = config.AdcRangeBit != 0 ? "vref" : "2xvref";
  object["weak"] = config.AdcWeakTriBit != 0;
  object["coding"] = !edition.HasVolts()        ? Json(nullptr)
                     : config.AdcCodingBit != 0 ? Json("binary")
                                                : Json("twos");
}

void AddKeys(Json& object, const AdcRead& read, const Outcome& outcome, const Edition&) {
  const auto& result = ResultOf<ReadResult>(outcome);
  const auto [first, end] = ReadChannels(result);
  if (result.channel) {
    object["channel"] = *result.channel;
  }
  object["reference_volts"] = !result.volts            ? Json(nullptr)
                              : result.reference_volts ? Json(*result.reference_volts)
                                                       : Json(Number(read.reference));
  object["calibration"] = CalibrationKey(outcome);
  object["codes"] = std::vector<std::int32_t>(result.codes.begin() + static_cast<long>(first),
                                              result.codes.begin() + static_cast<long>(end));
  if (result.volts) {
    Json volts = Json::array();
    for (std::size_t channel = first; channel < end; ++channel) {
      volts.push_back(Number((*result.volts)[channel]));
    }
    object["volts"] = std::move(volts);
  } else {
    object["volts"] = nullptr;
  }
}

void AddKeys(Json& object, const AdcWrite& write, const Outcome& outcome, const Edition&) {
  object["word"] = Word16(write.word);
  object["reply"] = Word16(LastReply(outcome));
}

void AddKeys(Json& object, const AdcCapture& capture, const Outcome& outcome, const Edition&) {
  object["file"] = capture.file;
  object["transfers"] = outcome.requests.size();
  object["calibration"] = CalibrationKey(outcome);
}

void AddKeys(Json& object, const AdcLog& log, const Outcome& outcome, const Edition&) {
  const auto& result = ResultOf<LogResult>(outcome);
  const logger::LogProgress& done = result.summary.progress;
  object["file"] = log.file;
  object["rows"] = done.rows;
  object["gap_rows"] = done.gaps;
  object["missed"] = done.missed;
  object["seconds"] = std::chrono::duration<double>(done.elapsed).count();
  object["stopped"] = result.summary.stopped;
  object["calibration"] = CalibrationKey(outcome);
}

void AddKeys(Json& object, const AdcHistogram& histogram, const Outcome& outcome, const Edition&) {
  const auto& result = ResultOf<HistogramResult>(outcome);
  object["channel"] = histogram.channel;
  object["file"] = histogram.file.empty() ? Json(nullptr) : Json(histogram.file);
  object["transfers"] = result.transfers;
  if (outcome.Succeeded()) {
    object.update(linearity::DensityJson(result.linearity));
  }
}

void AddKeys(Json& object, const DacSweep& sweep, const Outcome& outcome, const Edition&) {
  const auto& result = ResultOf<SweepResult>(outcome);
  object["channel"] = sweep.channel;
  object["adc_channel"] = sweep.adc_channel;
  object["file"] = sweep.file.empty() ? Json(nullptr) : Json(sweep.file);
  object["transfers"] = result.requests;
  if (outcome.Succeeded()) {
    object.update(linearity::SweepJson(result.linearity));
  }
}

void AddKeys(Json& object, const AdcSpectrum& spectrum, [[maybe_unused]] const Outcome& outcome,
             const Edition&) {
  object["channel"] = spectrum.channel;
  object["transfers"] = outcome.requests.size();
#ifdef KX_WITH_SPECTRUM
  if (outcome.Succeeded()) {
    object.update(
        analysis::SpectrumJson(ResultOf<SpectrumResult>(outcome).spectrum, spectrum.channel));
  }
#endif
}

void AddKeys(Json& object, const SetupSave& save, const Outcome&, const Edition&) {
  object["file"] = save.file;
}

void AddKeys(Json& object, const SetupLoad& load, const Outcome&, const Edition&) {
  object["file"] = load.file;
  object["edition"] = load.setup.edition != nullptr ? load.setup.edition->program_name : "";
}

// The board's file as the command left it: its own JSON, or null.
void AddCalibrationKeys(Json& object, const Outcome& outcome) {
  const auto& result = ResultOf<CalibrationResult>(outcome);
  object["board"] = result.board.empty() ? Json(nullptr) : Json(result.board);
  object["path"] = result.path.empty() ? Json(nullptr) : Json(result.path);
  object["calibration"] = result.calibration
                              ? Json::parse(session::CalibrationJson(*result.calibration))
                              : Json(nullptr);
}

void AddKeys(Json& object, const CalibrationShow&, const Outcome& outcome, const Edition&) {
  AddCalibrationKeys(object, outcome);
}

void AddKeys(Json& object, const CalibrationSave&, const Outcome& outcome, const Edition&) {
  AddCalibrationKeys(object, outcome);
  object["saved"] = ResultOf<CalibrationResult>(outcome).changed;
}

void AddKeys(Json& object, const CalibrationClear&, const Outcome& outcome, const Edition&) {
  AddCalibrationKeys(object, outcome);
  object["removed"] = ResultOf<CalibrationResult>(outcome).changed;
}

void AddKeys(Json& object, const ListBoards&, const Outcome& outcome, const Edition&) {
  Json boards = Json::array();
  for (const board::AttachedBoard& board : ResultOf<BoardsResult>(outcome).boards) {
    Json entry = {{"bus", board.bus ? Json(*board.bus) : Json(nullptr)},
                  {"address", board.address ? Json(*board.address) : Json(nullptr)},
                  {"firmware", board.running ? "running" : "waiting"},
                  {"id", IdText(board.running ? board.running_id : board.loader_id)},
                  {"loader_id", IdText(board.loader_id)},
                  {"running_id", IdText(board.running_id)},
                  {"serial", board.serial ? Json(*board.serial) : Json(nullptr)}};
    if (!board.serial_problem.empty()) {
      entry["serial_problem"] = board.serial_problem;
    }
    boards.push_back(std::move(entry));
  }
  object["boards"] = std::move(boards);
}

void AddCommandKeys(Json& object, const Command& command, const Outcome& outcome,
                    const Edition& edition) {
  std::visit([&](const auto& action) { AddKeys(object, action, outcome, edition); },
             command.action);
}

}  // namespace

void Output::CommandDone(const Command& command, const Outcome& outcome) {
  if (json_) {
    Json object = {{"command", command.name},
                   {"source", SourceText(command.source)},
                   {"ok", outcome.Succeeded()}};
    AddCommandKeys(object, command, outcome, edition_);
    object["requests"] = outcome.requests.size();
    // The long commands' requests are counted, not listed.
    if (!std::holds_alternative<AdcCapture>(command.action) &&
        !std::holds_alternative<AdcLog>(command.action) &&
        !std::holds_alternative<AdcHistogram>(command.action) &&
        !std::holds_alternative<DacSweep>(command.action) &&
        !std::holds_alternative<AdcSpectrum>(command.action)) {
      object["sent"] = SentJson(outcome.requests);
    }
    if (!outcome.Succeeded()) {
      object["error"] = outcome.error;
      object["status"] = outcome.status ? Json(*outcome.status) : Json(nullptr);
      object["messages"] = outcome.messages;
    }
    out_ << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
  } else if (outcome.Succeeded()) {
    Plain(out_, command, outcome, edition_);
    // Beside the volts rather than among them, so that a script reading
    // them sees the same lines either way.
    if (outcome.calibration) {
      err_ << kProgram << "calibration: " << *outcome.calibration << '\n';
    }
  }
  out_.flush();
  if (!outcome.Succeeded()) {
    Failure(command.source, command.name, outcome);
  }
}

void Output::StartUpFailed(const Outcome& outcome) {
  if (json_) {
    const Json object = {{"command", "start-up"},
                         {"ok", false},
                         {"requests", outcome.requests.size()},
                         {"sent", SentJson(outcome.requests)},
                         {"error", outcome.error},
                         {"status", outcome.status ? Json(*outcome.status) : Json(nullptr)},
                         {"messages", outcome.messages}};
    out_ << object.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
    out_.flush();
  }
  Failure(Source{}, "start-up", outcome);
}

void Output::Failure(const Source& source, const std::string& name, const Outcome& outcome) {
  for (const std::string& message : outcome.messages) {
    err_ << kProgram << message << '\n';
  }
  err_ << kProgram << UsageMessage(source, name, outcome.error) << '\n'
       << kProgram << "stopped; nothing more was sent\n";
}

}  // namespace kx::ctl
