#include "commands/command_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "commands/text_readers.h"

namespace kx::commands {

namespace {

constexpr std::array<ArgumentSpec, 1> kChannelCodes = {
    {{"CH=CODE|VOLTS ...", ArgumentKind::ChannelCodes}}};
constexpr std::array<ArgumentSpec, 2> kGroupWord = {
    {{"low|high", ArgumentKind::Group, GroupChoices}, {"WORD", ArgumentKind::Value}}};
constexpr std::array<ArgumentSpec, 3> kPowerDown = {
    {{"low|high", ArgumentKind::Group, GroupChoices},
     {"normal|1k|100k|three-state", ArgumentKind::Choice, PowerDownChoices},
     {"[CH ...]", ArgumentKind::GroupChannels}}};
constexpr std::array<ArgumentSpec, 2> kGroupChannels = {
    {{"low|high", ArgumentKind::Group, GroupChoices}, {"[CH ...]", ArgumentKind::GroupChannels}}};
constexpr std::array<ArgumentSpec, 2> kReference = {
    {{"low|high", ArgumentKind::Group, GroupChoices},
     {"internal|external", ArgumentKind::Choice, ReferenceChoices}}};
constexpr std::array<ArgumentSpec, 2> kClearCode = {
    {{"low|high", ArgumentKind::Group, GroupChoices},
     {"0x0000|0x0800|0x0FFF", ArgumentKind::Choice, ClearCodeChoices}}};
constexpr std::array<ArgumentSpec, 1> kWord = {{{"WORD", ArgumentKind::Value}}};
constexpr std::array<ArgumentSpec, 1> kFile = {{{"FILE", ArgumentKind::File}}};
constexpr std::array<ArgumentSpec, 1> kScriptFile = {{{"FILE|-", ArgumentKind::File}}};

constexpr std::array<OptionSpec, 3> kLoadOptions = {{
    {.name = "--update", .value = "", .read = text::Update},
    {.name = "--no-pulse", .value = "", .read = text::NoPulse},
    {.name = "--calibration",
     .value = "FILE|auto|none",
     .what = "a calibration FILE, auto or none",
     .examples = "auto none",
     .value_kind = ArgumentKind::File,
     .read = text::LoadCalibration,
     .summary = "the entries in volts through the board's calibration (auto, the default), a "
                "FILE's, or none"},
}};
constexpr std::array<OptionSpec, 3> kConfigureOptions = {{
    {.name = "--range",
     .value = "2xvref|vref",
     .what = "2xvref or vref",
     .choices = RangeChoices,
     .read = text::Range},
    {.name = "--weak", .value = "", .read = text::Weak},
    {.name = "--coding",
     .value = "twos|binary",
     .what = "twos or binary",
     .choices = CodingChoices,
     .volts_only = true,
     .absent = "has no Coding list: leave out --coding",
     .read = text::Coding},
}};
constexpr std::array<OptionSpec, 4> kReadOptions = {{
    {.name = "--reference",
     .value = "VOLTS",
     .what = "the reference in volts",
     .examples = "2.50",
     .volts_only = true,
     .absent = "has no ADC reference: leave out --reference",
     .read = text::ReadReference},
    {.name = "--format",
     .value = "hex|dec|volts",
     .what = "hex, dec or volts",
     .choices = FormatChoices,
     .read = text::Format},
    {.name = "--channel",
     .value = "CH",
     .what = "the channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .read = text::ReadChannel,
     .summary = "one channel only, with the two words that select and read it"},
    {.name = "--calibration",
     .value = "FILE|auto|none",
     .what = "a calibration FILE, auto or none",
     .examples = "auto none",
     .value_kind = ArgumentKind::File,
     .volts_only = true,
     .absent = "shows no ADC voltages: leave out --calibration",
     .read = text::ReadCalibration,
     .summary = "the volts through the board's calibration (auto, the default), a FILE's, or none"},
}};
constexpr std::array<OptionSpec, 3> kCaptureOptions = {{
    {.name = "--metadata",
     .value = "",
     .read = text::Metadata,
     .summary = "FILE.json beside FILE: what the viewer needs to show volts"},
    {.name = "--reference",
     .value = "VOLTS",
     .what = "the reference in volts",
     .examples = "2.50",
     .volts_only = true,
     .read = text::CaptureReference,
     .summary = "the metadata's reference (with --metadata)"},
    {.name = "--calibration",
     .value = "FILE|auto|none",
     .what = "a calibration FILE, auto or none",
     .examples = "auto none",
     .value_kind = ArgumentKind::File,
     .volts_only = true,
     .absent = "shows no ADC voltages: leave out --calibration",
     .read = text::CaptureCalibration,
     .summary = "the calibration the metadata names for the volts (with --metadata; default auto)"},
}};
constexpr std::array<OptionSpec, 8> kLogOptions = {{
    {.name = "--every",
     .value = "INTERVAL",
     .what = "the interval, such as 1s or 100ms",
     .examples = "1s 100ms",
     .required = true,
     .read = text::Every},
    {.name = "--for",
     .value = "DURATION",
     .what = "how long, such as 10h",
     .examples = "10m 1h",
     .read = text::For},
    {.name = "--channels",
     .value = "LIST",
     .what = "channels such as 0,3,8-11, or all",
     .examples = "all 0-3",
     .read = text::Channels},
    {.name = "--average",
     .value = "N",
     .what = "reads per row",
     .examples = "1 10 100",
     .read = text::Average},
    {.name = "--reference",
     .value = "VOLTS",
     .what = "the reference in volts",
     .examples = "2.50",
     .volts_only = true,
     .absent = "has no ADC reference: leave out --reference",
     .read = text::LogReference},
    {.name = "--calibration",
     .value = "FILE|auto|none",
     .what = "a calibration FILE, auto or none",
     .examples = "auto none",
     .value_kind = ArgumentKind::File,
     .volts_only = true,
     .absent = "shows no ADC voltages: leave out --calibration",
     .read = text::LogCalibration,
     .summary = "the calibration of the volts columns (default auto); the codes stay raw"},
    {.name = "--overwrite", .value = "", .read = text::Overwrite},
    {.name = "--quiet", .value = "", .read = text::Quiet},
}};
constexpr std::array<OptionSpec, 7> kHistogramOptions = {{
    {.name = "--channel",
     .value = "CH",
     .what = "the channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .required = true,
     .read = text::HistogramChannel},
    {.name = "--samples",
     .value = "COUNT",
     .what = "the number of conversions, such as 262144",
     .examples = "262144 1048576",
     .required = true,
     .read = text::Samples},
    {.name = "--method",
     .value = "sine|ramp",
     .what = "sine or ramp",
     .choices = MethodChoices,
     .read = text::Method,
     .summary = "the input's shape: a sine a little beyond both ends (default), or a ramp"},
    {.name = "--input",
     .value = "CENTRE:AMPLITUDE",
     .what = "the input's centre and amplitude in volts, such as 1.25:1.27",
     .examples = "1.25:1.27",
     .volts_only = true,
     .absent = "shows no ADC voltages: leave out --input",
     .read = text::HistogramInput,
     .summary = "the input as applied (a ramp: half its span), for the offset and gain error"},
    {.name = "--reference",
     .value = "VOLTS",
     .what = "the ADC reference in volts",
     .examples = "2.50",
     .volts_only = true,
     .absent = "has no ADC reference: leave out --reference",
     .read = text::HistogramReference,
     .summary = "the ADC's reference, for --input (default: the board's 2.5 V)"},
    {.name = "--out",
     .value = "FILE",
     .what = "the FILE for the histogram and the figures",
     .value_kind = ArgumentKind::File,
     .read = text::HistogramOut,
     .summary = "the counts and figures per code as CSV, the metadata in FILE.json beside it"},
    {.name = "--save-calibration",
     .value = "",
     .volts_only = true,
     .absent = "shows no ADC voltages: leave out --save-calibration",
     .read = text::HistogramSaveCalibration,
     .summary = "the offset and gain (with --input) into the board's calibration, on the range "
                "in force"},
}};
constexpr std::array<OptionSpec, 2> kSpectrumOptions = {{
    {.name = "--channel",
     .value = "CH",
     .what = "the channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .read = text::SpectrumChannel,
     .summary = "the channel analysed (default 0)"},
    {.name = "--window",
     .value = "blackman-harris|hann|rectangular",
     .what = "blackman-harris, hann or rectangular",
     .choices = WindowChoices,
     .read = text::SpectrumWindow,
     .summary = "the window before the transform (default blackman-harris)"},
}};
constexpr std::array<OptionSpec, 10> kSweepOptions = {{
    {.name = "--channel",
     .value = "CH",
     .what = "the DAC channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .required = true,
     .read = text::SweepChannel},
    {.name = "--adc-channel",
     .value = "CH",
     .what = "the ADC channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .read = text::SweepAdcChannel,
     .summary = "the ADC channel wired to the DAC's output (default: the DAC's own number)"},
    {.name = "--codes",
     .value = "START:STOP:STEP",
     .what = "the codes, such as 0:4095:1",
     .examples = "0:4095:1 0:4095:16",
     .required = true,
     .read = text::Codes},
    {.name = "--average",
     .value = "K",
     .what = "reads per code",
     .examples = "16 64",
     .required = true,
     .read = text::SweepAverage},
    {.name = "--settle",
     .value = "DURATION",
     .what = "the wait after each code, such as 1ms",
     .examples = "1ms 10ms",
     .read = text::Settle,
     .summary = "wait this long after each code before reading (default: no wait)"},
    {.name = "--adc-linearity",
     .value = "FILE",
     .what = "an adc histogram's --out FILE",
     .value_kind = ArgumentKind::File,
     .read = text::AdcLinearity,
     .summary = "take out the ADC's own INL, offset and gain, from an adc histogram's files"},
    {.name = "--adc-reference",
     .value = "VOLTS",
     .what = "the ADC reference in volts",
     .examples = "2.50",
     .read = text::SweepAdcReference,
     .summary = "the ADC's reference (default: the board's 2.5 V)"},
    {.name = "--dac-reference",
     .value = "VOLTS",
     .what = "the DAC reference in volts",
     .examples = "2.50",
     .read = text::SweepDacReference,
     .summary = "the DAC group's reference (default: the board's 2.5 V, or the internal one where "
                "chosen)"},
    {.name = "--out",
     .value = "FILE",
     .what = "the FILE for the curve and the figures",
     .value_kind = ArgumentKind::File,
     .read = text::SweepOut,
     .summary = "the curve and figures per code as CSV, the metadata in FILE.json beside it"},
    {.name = "--save-calibration",
     .value = "",
     .read = text::SweepSaveCalibration,
     .summary = "the fit line's offset and gain into the board's calibration of the DAC channel"},
}};
constexpr std::array<OptionSpec, 8> kServeOptions = {{
    {.name = "--listen",
     .value = "ADDR:PORT",
     .what = "the address and port",
     .summary = "where to listen (default 127.0.0.1:5025; ADDR may be a host name)"},
    {.name = "--log-folder",
     .value = "DIR",
     .what = "the folder",
     .value_kind = ArgumentKind::Folder,
     .summary = "where LOG:STARt writes its files (default: the working folder)"},
    {.name = "--setup-folder",
     .value = "DIR",
     .what = "the folder",
     .value_kind = ArgumentKind::Folder,
     .summary = "where *SAV and *RCL keep set-up slots 0 to 9 (default: the working folder)"},
    {.name = "--max-clients",
     .value = "N",
     .what = "the number of clients",
     .examples = "64",
     .summary = "at most N clients at once (default 64)"},
    {.name = "--vxi11",
     .value = "",
     .summary = "VXI-11 (TCPIP::host::INSTR) required: no start without it (by default it is "
                "served where the system's portmapper takes its entry, left out where not)"},
    {.name = "--no-vxi11", .value = "", .summary = "the raw socket alone, no portmapper entry"},
    {.name = "--portmapper",
     .value = "ADDR:PORT",
     .what = "the address and port",
     .examples = "127.0.0.1:111",
     .summary = "VXI-11, the server answering the portmapper's GETPORT there itself"},
    {.name = "--calibration",
     .value = "FILE|auto|none",
     .what = "a calibration FILE, auto or none",
     .examples = "auto none",
     .value_kind = ArgumentKind::File,
     .summary = "the calibration of the volt queries and the logs (default auto: the board's "
                "own)"},
}};
constexpr std::array<OptionSpec, 5> kCalibrationSaveOptions = {{
    {.name = "--adc",
     .value = "CH:OFFSET:GAIN",
     .what = "CH:OFFSET:GAIN, such as 3:1.5:-0.2",
     .examples = "0:0:0",
     .read = text::SaveAdc,
     .summary = "an ADC channel's offset (LSB) and gain error (%); again for more channels"},
    {.name = "--range",
     .value = "2xvref|vref",
     .what = "2xvref or vref",
     .choices = RangeChoices,
     .read = text::SaveRange,
     .summary = "the range the --adc entries were measured on (default: the range in force)"},
    {.name = "--dac",
     .value = "CH:OFFSET:GAIN",
     .what = "CH:OFFSET:GAIN, such as 12:-2:0.3",
     .examples = "0:0:0",
     .read = text::SaveDac,
     .summary = "a DAC channel's offset (LSB) and gain error (%); again for more channels"},
    {.name = "--adc-reference",
     .value = "VOLTS",
     .what = "the ADC reference in volts as measured",
     .examples = "2.50",
     .read = text::SaveAdcReference,
     .summary = "the ADC's reference as measured: the volts use it where no --reference is given"},
    {.name = "--dac-reference",
     .value = "low|high:VOLTS",
     .what = "low:VOLTS or high:VOLTS",
     .examples = "low:2.50 high:2.50",
     .read = text::SaveDacReference,
     .summary = "a DAC group's external reference as measured"},
}};
constexpr std::array<OptionSpec, 2> kCalibrationClearOptions = {{
    {.name = "--adc",
     .value = "CH",
     .what = "the ADC channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .read = text::ClearAdc,
     .summary = "that ADC channel's entries (both ranges); again for more channels"},
    {.name = "--dac",
     .value = "CH",
     .what = "the DAC channel number 0-15",
     .examples = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15",
     .read = text::ClearDac,
     .summary = "that DAC channel's entry; again for more channels"},
}};

constexpr std::array<CommandSpec, 28> kCommands = {{
    {"dac", "load", kChannelCodes, kLoadOptions,
     "Load Input Register (--update: Update DAC Register) with the codes, each entry in volts "
     "as its nearest code, then the LDAC pulse (--no-pulse: none)",
     text::DacLoad},
    {"dac", "write", kGroupWord, {}, "the raw DAC write of a group's box", text::DacWrite},
    {"dac",
     "power-down",
     kPowerDown,
     {},
     "program the group's power-down mode for the channels",
     text::DacPowerDown},
    {"dac",
     "ldac-register",
     kGroupChannels,
     {},
     "program the group's LDAC register",
     text::DacLdacRegister},
    {"dac", "reference", kReference, {}, "choose the group's reference", text::DacReference},
    {"dac", "clear-code", kClearCode, {}, "choose the group's clear code", text::DacClearCode},
    {"dac",
     "sweep",
     {},
     kSweepOptions,
     "the DAC's transfer curve through the ADC: offset, gain, INL, DNL, monotonicity, noise",
     text::DacSweep},
    {"line", "clr-high", {}, {}, "the CLR line high", text::LineRequest<Line::ClrHigh>},
    {"line", "clr-low", {}, {}, "the CLR line low", text::LineRequest<Line::ClrLow>},
    {"line", "ldac-high", {}, {}, "the LDAC line high", text::LineRequest<Line::LdacHigh>},
    {"line", "ldac-low", {}, {}, "the LDAC line low", text::LineRequest<Line::LdacLow>},
    {"line", "pulse-ldac", {}, {}, "one LDAC pulse", text::LineRequest<Line::PulseLdac>},
    {"adc",
     "configure",
     {},
     kConfigureOptions,
     "set the ADC's lists (an option left out takes the list's first entry)",
     text::AdcConfigure},
    {"adc", "read", {}, kReadOptions, "Read ADC: the sixteen channels", text::AdcRead},
    {"adc", "write", kWord, {}, "the ADC write of a 16-bit word and its reply", text::AdcWrite},
    {"adc", "capture", kFile, kCaptureOptions, "Read && Save ADC: 512 sample sets into FILE",
     text::AdcCapture},
    {"adc", "capture-channel0", kFile, kCaptureOptions, "1024 replies of channel 0 into FILE",
     text::AdcCaptureChannel0},
    {"adc", "log", kFile, kLogOptions,
     "the data logger: a CSV row per INTERVAL (0.5, 100ms, 1s, 5m) until DURATION (10h, 2d) or "
     "SIGINT/SIGTERM",
     text::AdcLog},
    {"adc",
     "histogram",
     {},
     kHistogramOptions,
     "the code-density test of one channel: DNL, INL, missing codes, the fitted input",
     text::AdcHistogram},
    {"adc",
     "spectrum",
     {},
     kSpectrumOptions,
     "a Read && Save ADC capture's spectrum of one channel: SNR, SINAD, THD, ENOB, SFDR, harmonics",
     text::AdcSpectrum},
    {"setup",
     "save",
     kFile,
     {},
     "save the DAC and ADC settings of this call as a set-up FILE (JSON)",
     text::SetupSave},
    {"setup",
     "load",
     kFile,
     {},
     "reach a set-up FILE's settings with the words the panel would send",
     text::SetupLoad},
    {"calibration",
     "show",
     {},
     {},
     "the board's calibration file: each channel's offset and gain, and where it came from",
     text::CalibrationShow},
    {"calibration",
     "save",
     {},
     kCalibrationSaveOptions,
     "figures entered by hand into the board's calibration file (the other entries stay)",
     text::CalibrationSave},
    {"calibration",
     "clear",
     {},
     kCalibrationClearOptions,
     "remove channels' entries from the board's calibration file, or the whole file",
     text::CalibrationClear},
    {"script", "", kScriptFile, {}, "one command per line, # comments"},
    {"serve",
     "",
     {},
     kServeOptions,
     "the board as a SCPI instrument on the network until SIGINT or SIGTERM"},
    {"list",
     "",
     {},
     {},
     "the boards attached: bus:address, waiting for or running the firmware, USB serial; "
     "nothing is sent to them"},
}};

std::string OptionUsage(const OptionSpec& option) {
  std::string text(option.name);
  if (!option.value.empty()) {
    text += fmt::format(" {}", option.value);
  }
  return option.required ? text : fmt::format("[{}]", text);
}

}  // namespace

std::span<const CommandSpec> CommandTable() {
  return kCommands;
}

const CommandSpec* FindCommand(std::string_view group, std::string_view word) {
  const auto* found = std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandSpec& c) {
    return c.group == group && c.word == word;
  });
  return found == kCommands.end() ? nullptr : found;
}

std::string CommandWords(std::string_view group) {
  std::vector<std::string_view> words;
  for (const CommandSpec& spec : kCommands) {
    if (spec.group == group) {
      words.push_back(spec.word);
    }
  }
  return Listed(words);
}

std::string UsageText(const CommandSpec& spec) {
  std::string text(spec.group);
  if (!spec.word.empty()) {
    text += fmt::format(" {}", spec.word);
  }
  for (const ArgumentSpec& argument : spec.arguments) {
    text += fmt::format(" {}", argument.name);
  }
  // A required option first: it reads as part of the command.
  for (const bool required : {true, false}) {
    for (const OptionSpec& option : spec.options) {
      if (option.required == required) {
        text += " " + OptionUsage(option);
      }
    }
  }
  return text;
}

bool Has(const Edition& edition, const OptionSpec& option) {
  return !option.volts_only || edition.HasVolts();
}

bool Has(const Edition& edition, const CommandSpec& command) {
  return !command.volts_only || edition.HasVolts();
}

const OptionSpec& ReadOption(Cursor& cursor, const std::string& word, const CommandSpec& spec,
                             Action& action, const Edition& edition) {
  const OptionWord split = SplitOption(word);
  const auto option = std::find_if(spec.options.begin(), spec.options.end(),
                                   [&](const OptionSpec& o) { return o.name == split.name; });
  if (option == spec.options.end() || (!Has(edition, *option) && option->absent.empty())) {
    RefuseWord(cursor, word);
  }
  if (!Has(edition, *option)) {
    Refuse(fmt::format("{} {}", edition.program_name, option->absent));
  }
  if (option->value.empty()) {
    RefuseValue(split);
    option->read(action, {}, edition);
  } else {
    option->read(action, OptionValue(cursor, split, option->what), edition);
  }
  return *option;
}

}  // namespace kx::commands
