#include "commands/text_readers.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "adc/reference_entry.h"
#include "analysis/linearity/linearity_file.h"
#include "board/bounded_file.h"
#include "board/number_text.h"
#include "commands/log_values.h"
#include "dac/hex_entry.h"
#include "session/setup_file.h"

namespace kx::commands::text {

namespace {

int Group(Cursor& cursor) {
  return Take(ChoiceOf(cursor.TakeRequired("the group: low or high"), GroupChoices, "a DAC group"));
}

// The channel numbers up to the next command.
std::vector<int> GroupChannels(Cursor& cursor, int group) {
  std::vector<std::string> words;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (word.starts_with("-")) {
      RefuseWord(cursor, word);
    }
    words.push_back(word);
  }
  return Take(GroupChannelsOf(words, group));
}

// Options only, up to the next command.
void Options(Cursor& cursor, const CommandSpec& spec, Action& action, const Edition& edition) {
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (!word.starts_with("--")) {
      RefuseWord(cursor, word);
    }
    ReadOption(cursor, word, spec, action, edition);
  }
}

// The reference as the "ADC Reference" box holds it once the operator
// leaves it, which happens before "Read ADC" acts: two decimals.
std::string ReferenceText(const std::string& value) {
  CheckVoltsText(value);
  return adc::NormaliseReferenceText(value);
}

template <class T>
T& As(Action& action) {
  return std::get<T>(action);
}

// --calibration FILE|auto|none; a FILE is read once the board is known.
session::CalibrationChoice CalibrationFile(const std::string& value) {
  session::CalibrationChoice choice = Take(CalibrationChoiceOf(value), "--calibration: ");
  if (choice.kind == session::CalibrationChoice::Kind::File) {
    CheckFileName(choice.file);
  }
  return choice;
}

// One more CH:OFFSET:GAIN of a save; a channel is named once.
void AddCorrection(std::vector<ChannelCorrection>& entries, const std::string& value,
                   std::string_view option) {
  const ChannelCorrection entry = Take(ChannelCorrectionOf(value), fmt::format("{}: ", option));
  if (std::any_of(entries.begin(), entries.end(),
                  [&](const ChannelCorrection& e) { return e.channel == entry.channel; })) {
    Refuse(fmt::format("{}: channel {} is named twice", option, entry.channel));
  }
  entries.push_back(entry);
}

void AddChannel(std::vector<int>& channels, const std::string& value, std::string_view option) {
  const int channel = Take(ChannelOf(value), fmt::format("{}: ", option));
  if (std::find(channels.begin(), channels.end(), channel) != channels.end()) {
    Refuse(fmt::format("{}: channel {} is named twice", option, channel));
  }
  channels.push_back(channel);
}

}  // namespace

Action DacLoad(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::DacLoad{};
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (word.starts_with("--")) {
      ReadOption(cursor, word, spec, action, edition);
      continue;
    }
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) {
      Refuse(fmt::format("{} is not CH=CODE or CH=VOLTS", Quote(word)));
    }
    const int channel = Take(ChannelOf(word.substr(0, equals)));
    const std::string_view value = std::string_view(word).substr(equals + 1);
    auto& load = As<commands::DacLoad>(action);
    const std::optional<Fault> fault =
        IsVoltsText(value)
            ? AddVolts(load, channel, Take(DacVoltsOf(value), Quote(word) + ": "), word)
            : AddCode(load, channel, CodeText(word, value), word);
    if (fault) {
      Refuse(fault->text);
    }
  }
  return action;
}

Action DacWrite(Cursor& cursor, const CommandSpec&, const Edition&) {
  const int group = Group(cursor);
  const std::string& text = cursor.TakeRequired("the WORD: up to 8 hex digits");
  // The session hands the text to the panel's raw write, which takes no prefix.
  return commands::DacWrite{group, std::string(WithoutHexPrefix(text)), DacWordText(text)};
}

Action DacPowerDown(Cursor& cursor, const CommandSpec&, const Edition&) {
  const int group = Group(cursor);
  const int mode = Take(ChoiceOf(cursor.TakeRequired("the MODE: normal, 1k, 100k or three-state"),
                                 PowerDownChoices, "a power-down mode"));
  return commands::DacPowerDown{group, mode, GroupChannels(cursor, group)};
}

Action DacLdacRegister(Cursor& cursor, const CommandSpec&, const Edition&) {
  const int group = Group(cursor);
  return commands::DacLdacRegister{group, GroupChannels(cursor, group)};
}

Action DacReference(Cursor& cursor, const CommandSpec&, const Edition&) {
  const int group = Group(cursor);
  const int choice = Take(ChoiceOf(cursor.TakeRequired("the reference: internal or external"),
                                   ReferenceChoices, "a reference"));
  return commands::DacReference{group, choice == 1};
}

Action DacClearCode(Cursor& cursor, const CommandSpec&, const Edition&) {
  const int group = Group(cursor);
  const std::string& code = cursor.TakeRequired("the clear code: 0x0000, 0x0800 or 0x0FFF");
  const dac::HexValue value = dac::ParseHexValue(WithoutHexPrefix(code));
  return commands::DacClearCode{group, Take(ClearCodeOf(value.value, code))};
}

Action AdcConfigure(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::AdcConfigure{};
  Options(cursor, spec, action, edition);
  return action;
}

Action AdcRead(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::AdcRead{};
  Options(cursor, spec, action, edition);
  return action;
}

Action AdcWrite(Cursor& cursor, const CommandSpec&, const Edition&) {
  const std::string& text = cursor.TakeRequired("the WORD: 1 to 4 hex digits");
  return commands::AdcWrite{std::string(WithoutHexPrefix(text)), AdcWordText(text)};
}

namespace {

Action Capture(Cursor& cursor, const CommandSpec& spec, const Edition& edition, bool channel0) {
  const std::string& file = cursor.TakeRequired("the FILE to save the samples to");
  CheckCaptureFile(file, cursor.Checks());
  Action action = commands::AdcCapture{file, channel0};
  bool calibration_given = false;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    calibration_given = ReadOption(cursor, word, spec, action, edition).name == "--calibration" ||
                        calibration_given;
  }
  const commands::AdcCapture& read = As<commands::AdcCapture>(action);
  if (read.reference_given && !read.metadata) {
    Refuse("--reference of a capture goes into its metadata: add --metadata");
  }
  if (calibration_given && !read.metadata) {
    Refuse("--calibration of a capture goes into its metadata: add --metadata");
  }
  return action;
}

}  // namespace

Action AdcCapture(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  return Capture(cursor, spec, edition, false);
}

Action AdcCaptureChannel0(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  return Capture(cursor, spec, edition, true);
}

Action AdcLog(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  commands::AdcLog log;
  log.file = cursor.TakeRequired("the FILE to log to");
  log.channels = ParseChannelList("all").channels;
  Action action = std::move(log);
  bool every_given = false;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    every_given = ReadOption(cursor, word, spec, action, edition).name == "--every" || every_given;
  }
  if (!every_given) {
    Refuse("missing --every: the interval between rows, such as 1s or 100ms");
  }
  const commands::AdcLog& read = As<commands::AdcLog>(action);
  CheckLogFile(read.file, read.overwrite, cursor.Checks());
  return action;
}

namespace {

// The options of `spec` up to the next command; the names of those given.
std::vector<std::string_view> GivenOptions(Cursor& cursor, const CommandSpec& spec, Action& action,
                                           const Edition& edition) {
  std::vector<std::string_view> given;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (!word.starts_with("--")) {
      RefuseWord(cursor, word);
    }
    given.push_back(ReadOption(cursor, word, spec, action, edition).name);
  }
  return given;
}

// Every option the table marks as required must be there.
void RequireOptions(const CommandSpec& spec, const std::vector<std::string_view>& given) {
  for (const OptionSpec& option : spec.options) {
    if (option.required && std::find(given.begin(), given.end(), option.name) == given.end()) {
      Refuse(fmt::format("missing {}: {}", option.name, option.what));
    }
  }
}

constexpr std::size_t kLargestResultFile = std::size_t{1} << 20;

std::string ResultFileText(const std::string& path) {
  const board::BoundedFileText file = board::ReadFileAtMost(path, kLargestResultFile);
  if (file.problem == board::FileReadProblem::TooLarge) {
    Refuse(fmt::format("--adc-linearity {} is larger than 1 MiB", QuotePath(path)));
  }
  if (file.problem != board::FileReadProblem::None) {
    Refuse(fmt::format("--adc-linearity {} cannot be read: {}", QuotePath(path), file.reason));
  }
  return file.text;
}

}  // namespace

Action AdcHistogram(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::AdcHistogram{};
  RequireOptions(spec, GivenOptions(cursor, spec, action, edition));
  const auto& histogram = As<commands::AdcHistogram>(action);
  if (histogram.save_calibration && !histogram.input) {
    Refuse(
        "--save-calibration needs --input CENTRE:AMPLITUDE: the offset and gain exist only "
        "against an input as applied");
  }
  const std::string& file = histogram.file;
  if (!file.empty()) {
    CheckCaptureFile(file, cursor.Checks());
  }
  return action;
}

Action AdcSpectrum(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
#ifndef KX_WITH_SPECTRUM
  Refuse("this build has no spectra (it was made without FFTW)");
#endif
  Action action = commands::AdcSpectrum{};
  GivenOptions(cursor, spec, action, edition);
  return action;
}

Action DacSweep(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::DacSweep{};
  RequireOptions(spec, GivenOptions(cursor, spec, action, edition));
  auto& sweep = As<commands::DacSweep>(action);
  if (!sweep.adc_channel_given) {
    sweep.adc_channel = sweep.channel;  // the board's own wiring
  }
  if (!sweep.file.empty()) {
    CheckCaptureFile(sweep.file, cursor.Checks());
    if (sweep.file == sweep.adc_linearity_file) {
      Refuse("--out would replace the --adc-linearity file: choose another");
    }
  }
  if (!sweep.adc_linearity_file.empty()) {
    const std::string& path = sweep.adc_linearity_file;
    const std::string table = ResultFileText(path);
    linearity::DensityRead read = linearity::ReadDensity(table, ResultFileText(path + ".json"));
    if (!read.result) {
      Refuse(fmt::format("--adc-linearity {}: {}", QuotePath(path), read.error));
    }
    if (read.channel != sweep.adc_channel) {
      Refuse(fmt::format("--adc-linearity {} is of ADC channel {}, the sweep reads channel {}",
                         QuotePath(path), read.channel, sweep.adc_channel));
    }
    sweep.adc_linearity = std::move(read.result);
    sweep.adc_linearity_range = read.range;
    sweep.adc_linearity_coding = read.coding;
  }
  return action;
}

Action SetupSave(Cursor& cursor, const CommandSpec&, const Edition&) {
  const std::string& file = cursor.TakeRequired("the FILE to save the set-up to");
  CheckCaptureFile(file, cursor.Checks());
  return commands::SetupSave{file};
}

Action SetupLoad(Cursor& cursor, const CommandSpec&, const Edition& edition) {
  const std::string& file = cursor.TakeRequired("the set-up FILE");
  CheckFileName(file);
  session::SetupRead read = session::ReadSetupFile(file);
  if (!read.setup) {
    Refuse(read.error);
  }
  if (const std::optional<std::string> refusal = session::SetupRefusal(*read.setup, edition)) {
    Refuse(fmt::format("{}: {}", file, *refusal));
  }
  return commands::SetupLoad{file, *read.setup};
}

Action CalibrationShow(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::CalibrationShow{};
  Options(cursor, spec, action, edition);
  return action;
}

Action CalibrationSave(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::CalibrationSave{};
  Options(cursor, spec, action, edition);
  const auto& save = As<commands::CalibrationSave>(action);
  if (save.adc.empty() && save.dac.empty() && !save.adc_reference && !save.dac_reference[0] &&
      !save.dac_reference[1]) {
    Refuse("nothing to save: give --adc, --dac, --adc-reference or --dac-reference");
  }
  return action;
}

Action CalibrationClear(Cursor& cursor, const CommandSpec& spec, const Edition& edition) {
  Action action = commands::CalibrationClear{};
  Options(cursor, spec, action, edition);
  return action;
}

ServeRequest Serve(Cursor& cursor, const CommandSpec& spec) {
  ServeRequest request;
  std::string max_clients = std::to_string(request.max_clients);
  bool vxi11 = false;
  bool no_vxi11 = false;
  while (!cursor.AtEnd()) {
    const std::string& word = cursor.Take();
    const OptionWord option = SplitOption(word);
    if ((option.name == "--vxi11" || option.name == "--no-vxi11") && !option.value) {
      (option.name == "--vxi11" ? vxi11 : no_vxi11) = true;
      continue;
    }
    const bool known = option.name == "--listen" || option.name == "--log-folder" ||
                       option.name == "--setup-folder" || option.name == "--max-clients" ||
                       option.name == "--portmapper" || option.name == "--calibration";
    if (!known || (!option.value && cursor.AtEnd())) {
      Refuse(fmt::format("unexpected {} (expected {})", Quote(word), UsageText(spec)));
    }
    const std::string value = option.value ? *option.value : cursor.Take();
    if (option.name == "--calibration") {
      request.calibration = Take(CalibrationChoiceOf(value), "--calibration: ");
      continue;
    }
    (option.name == "--listen"         ? request.listen
     : option.name == "--log-folder"   ? request.log_folder
     : option.name == "--setup-folder" ? request.setup_folder
     : option.name == "--portmapper"   ? request.portmapper
                                       : max_clients) = value;
  }
  if (no_vxi11 && (vxi11 || !request.portmapper.empty())) {
    Refuse(
        fmt::format("--no-vxi11 contradicts {}: choose one", vxi11 ? "--vxi11" : "--portmapper"));
  }
  request.vxi11 = no_vxi11                               ? Vxi11Use::Off
                  : vxi11 || !request.portmapper.empty() ? Vxi11Use::Required
                                                         : Vxi11Use::WhereRegistered;
  const std::optional<int> clients = board::WholeNumberText(max_clients);
  if (!clients || *clients < 1 || *clients > MostClients) {
    Refuse(fmt::format("--max-clients {}: a whole number from 1 to {} wanted", Quote(max_clients),
                       MostClients));
  }
  request.max_clients = *clients;
  std::error_code error;
  if (!request.log_folder.empty() && !std::filesystem::is_directory(request.log_folder, error)) {
    Refuse(fmt::format("--log-folder {} is no folder", QuotePath(request.log_folder)));
  }
  if (!request.setup_folder.empty() &&
      !std::filesystem::is_directory(request.setup_folder, error)) {
    Refuse(fmt::format("--setup-folder {} is no folder", QuotePath(request.setup_folder)));
  }
  return request;
}

void Update(Action& action, const std::string&, const Edition&) {
  As<commands::DacLoad>(action).update = true;
}

void NoPulse(Action& action, const std::string&, const Edition&) {
  As<commands::DacLoad>(action).pulse = false;
}

void Range(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcConfigure>(action).vref_range =
      Take(ChoiceOf(value, RangeChoices, "a range")) == 1;
}

void Weak(Action& action, const std::string&, const Edition&) {
  As<commands::AdcConfigure>(action).weak = true;
}

void Coding(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcConfigure>(action).straight_binary =
      Take(ChoiceOf(value, CodingChoices, "a coding")) == 1;
}

void ReadReference(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcRead>(action).reference = ReferenceText(value);
  As<commands::AdcRead>(action).reference_given = true;
}

void Format(Action& action, const std::string& value, const Edition& edition) {
  const int format = Take(ChoiceOf(value, FormatChoices, "a format"));
  if (FormatChoices.at(static_cast<std::size_t>(format)).volts_only && !edition.HasVolts()) {
    Refuse(fmt::format("{} shows no ADC voltages: use --format hex or dec", edition.program_name));
  }
  As<commands::AdcRead>(action).format = static_cast<ReadFormat>(format);
}

void ReadChannel(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcRead>(action).channel = Take(ChannelOf(value), "--channel: ");
}

void Metadata(Action& action, const std::string&, const Edition&) {
  As<commands::AdcCapture>(action).metadata = true;
}

void CaptureReference(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcCapture>(action).reference =
      Take(FileReferenceOf(ReferenceText(value)), "--reference: ");
  As<commands::AdcCapture>(action).reference_given = true;
}

void Every(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).every = Take(IntervalOf(value), "--every: ");
}

void For(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).duration = Take(DurationOf(value), "--for: ");
}

void Channels(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).channels = Take(ChannelListOf(value), "--channels: ");
}

void Average(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).average = Take(AverageOf(value), "--average: ");
}

void LogReference(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).reference =
      Take(FileReferenceOf(ReferenceText(value)), "--reference: ");
  As<commands::AdcLog>(action).reference_given = true;
}

void Overwrite(Action& action, const std::string&, const Edition&) {
  As<commands::AdcLog>(action).overwrite = true;
}

void Quiet(Action& action, const std::string&, const Edition&) {
  As<commands::AdcLog>(action).quiet = true;
}

void HistogramChannel(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).channel = Take(ChannelOf(value), "--channel: ");
}

void Samples(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).samples = Take(SampleCountOf(value), "--samples: ");
}

void Method(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).method =
      static_cast<linearity::DensityMethod>(Take(ChoiceOf(value, MethodChoices, "a method")));
}

void HistogramOut(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).file = value;
}

void SpectrumChannel(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcSpectrum>(action).channel = Take(ChannelOf(value), "--channel: ");
}

void SpectrumWindow(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcSpectrum>(action).window =
      analysis::kWindowKinds[Take(ChoiceOf(value, WindowChoices, "a window"))];
}

void SweepChannel(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).channel = Take(ChannelOf(value), "--channel: ");
}

void SweepAdcChannel(Action& action, const std::string& value, const Edition&) {
  auto& sweep = As<commands::DacSweep>(action);
  sweep.adc_channel = Take(ChannelOf(value), "--adc-channel: ");
  sweep.adc_channel_given = true;
}

void Codes(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).codes = Take(CodeStepsOf(value), "--codes: ");
}

void SweepAverage(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).average = Take(AverageOf(value), "--average: ");
}

void Settle(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).settle = Take(SettleOf(value), "--settle: ");
}

void AdcLinearity(Action& action, const std::string& value, const Edition&) {
  CheckFileName(value);
  As<commands::DacSweep>(action).adc_linearity_file = value;
}

void SweepOut(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).file = value;
}

void HistogramInput(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).input = Take(AppliedVoltsOf(value), "--input: ");
}

void HistogramReference(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcHistogram>(action).reference = Take(ReferenceVoltsOf(value), "--reference: ");
}

void LoadCalibration(Action& action, const std::string& value, const Edition&) {
  As<commands::DacLoad>(action).calibration = CalibrationFile(value);
}

void ReadCalibration(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcRead>(action).calibration = CalibrationFile(value);
}

void CaptureCalibration(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcCapture>(action).calibration = CalibrationFile(value);
}

void LogCalibration(Action& action, const std::string& value, const Edition&) {
  As<commands::AdcLog>(action).calibration = CalibrationFile(value);
}

void HistogramSaveCalibration(Action& action, const std::string&, const Edition&) {
  As<commands::AdcHistogram>(action).save_calibration = true;
}

void SweepSaveCalibration(Action& action, const std::string&, const Edition&) {
  As<commands::DacSweep>(action).save_calibration = true;
}

void SaveAdc(Action& action, const std::string& value, const Edition&) {
  AddCorrection(As<commands::CalibrationSave>(action).adc, value, "--adc");
}

void SaveDac(Action& action, const std::string& value, const Edition&) {
  AddCorrection(As<commands::CalibrationSave>(action).dac, value, "--dac");
}

void SaveRange(Action& action, const std::string& value, const Edition&) {
  As<commands::CalibrationSave>(action).range = Take(ChoiceOf(value, RangeChoices, "a range"));
}

void SaveAdcReference(Action& action, const std::string& value, const Edition&) {
  As<commands::CalibrationSave>(action).adc_reference =
      Take(ReferenceVoltsOf(value), "--adc-reference: ");
}

void SaveDacReference(Action& action, const std::string& value, const Edition&) {
  const GroupVolts group = Take(GroupReferenceOf(value), "--dac-reference: ");
  As<commands::CalibrationSave>(action).dac_reference[static_cast<std::size_t>(group.group)] =
      group.volts;
}

void ClearAdc(Action& action, const std::string& value, const Edition&) {
  AddChannel(As<commands::CalibrationClear>(action).adc, value, "--adc");
}

void ClearDac(Action& action, const std::string& value, const Edition&) {
  AddChannel(As<commands::CalibrationClear>(action).dac, value, "--dac");
}

void SweepAdcReference(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).adc_reference = Take(ReferenceVoltsOf(value), "--adc-reference: ");
}

void SweepDacReference(Action& action, const std::string& value, const Edition&) {
  As<commands::DacSweep>(action).dac_reference = Take(ReferenceVoltsOf(value), "--dac-reference: ");
}

}  // namespace kx::commands::text
