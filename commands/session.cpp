#include "commands/session.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>
#include <thread>
#include <utility>
#include <variant>

#include "adc/adc_display.h"
#include "adc/reference_entry.h"
#include "analysis/linearity/linearity_file.h"
#include "board/board_references.h"
#include "board/link_record.h"
#include "board/status_text.h"
#include "commands/capture_record.h"
#include "commands/linearity_record.h"
#include "commands/volts_codes.h"
#include "session/setup_file.h"

namespace kx::commands {

namespace {

dac::GroupTicks TicksOf(int group, const std::vector<int>& channels) {
  dac::GroupTicks ticks{};
  for (const int channel : channels) {
    ticks[static_cast<std::size_t>(channel - group * dac::ChannelsPerGroup)] = true;
  }
  return ticks;
}

std::string FailureText(const LinkFailure& failure) {
  if (failure.download) {
    return fmt::format("{}: the firmware download failed with status {}", board::NoBoardMessage,
                       failure.status);
  }
  return fmt::format("the board did not answer {} with 0x{:08X}: status {}",
                     board::RequestName(failure.code), static_cast<std::uint32_t>(failure.word),
                     failure.status);
}

using Failed = std::optional<std::string>;

// A refused input is the one failure the watch does not see.
Failed Refused(const board::OperationResult& result) {
  return result.refusal;
}

}  // namespace

Session::Session(const Edition& edition, board::LinkLibraries libraries, ConsolePort& port,
                 std::string program_folder, std::function<std::string()> link_problem,
                 AfterFailure after_failure)
    : port_(port),
      link_problem_(std::move(link_problem)),
      after_failure_(after_failure),
      watch_(libraries),
      directory_(libraries.directory),
      board_(edition, watch_.Libraries(), std::move(program_folder)),
      dac_(board_.Dac()),
      adc_(board_.Adc()) {}

Outcome Session::StartUp() {
  // A failed download is the watch's to report.
  board_.StartUp();
  return Finish({});
}

Outcome Session::Run(const Command& command, const adc::CaptureStop& stop) {
  if (after_failure_ == AfterFailure::Serve) {
    watch_.Rearm();
  }
  return Finish(
      std::visit([&](const auto& action) { return Execute(action, stop); }, command.action));
}

Checked<const session::AppliedCalibration*> Session::DacCalibration(
    const session::CalibrationChoice& choice) {
  const session::CalibrationResolved& resolved = Calibration(choice);
  if (!resolved.error.empty()) {
    return Fault{FaultKind::BoardFailure, resolved.error};
  }
  return resolved.applied ? &*resolved.applied : nullptr;
}

Checked<LoadResult> Session::LoadCodes(const DacLoad& load) {
  const bool volts = std::any_of(load.codes.begin(), load.codes.end(),
                                 [](const ChannelCode& code) { return code.volts.has_value(); });
  // A load of codes alone never fails on a damaged calibration file.
  const Checked<const session::AppliedCalibration*> applied =
      volts ? DacCalibration(load.calibration)
            : Checked<const session::AppliedCalibration*>(nullptr);
  if (!applied.Ok()) {
    return applied.Failure();
  }
  const session::AppliedCalibration* calibration = applied.Value();
  Checked<LoadResult> loaded =
      LoadedCodes(load, dac_, calibration != nullptr ? &calibration->calibration : nullptr);
  if (!loaded.Ok() || calibration == nullptr) {
    return loaded;
  }
  LoadResult result = loaded.Value();
  result.calibration = calibration->path;
  return result;
}

Checked<dac::DacScale> Session::DacScaleNow(int channel, const session::CalibrationChoice& choice) {
  const Checked<const session::AppliedCalibration*> applied = DacCalibration(choice);
  if (!applied.Ok()) {
    return applied.Failure();
  }
  return ChannelScale(channel, dac_,
                      applied.Value() != nullptr ? &applied.Value()->calibration : nullptr);
}

Session::Step Session::Execute(const DacLoad& load, const adc::CaptureStop&) {
  Checked<LoadResult> loaded = LoadCodes(load);
  if (!loaded.Ok()) {
    // An entry beyond its range refuses the whole load: nothing is sent.
    return {LoadResult{}, loaded.Failure().text};
  }
  dac::DacOperations::ChannelTicks ticks{};
  dac::DacOperations::ChannelTexts texts;
  for (const LoadedCode& code : loaded.Value().loaded) {
    ticks[static_cast<std::size_t>(code.channel)] = true;
    texts[static_cast<std::size_t>(code.channel)] = fmt::format("{:X}", code.code);
  }
  return {loaded.Value(),
          Refused(load.update ? dac_.UpdateDacRegisters(ticks, texts, load.pulse)
                              : dac_.LoadInputRegisters(ticks, texts, load.pulse)),
          std::nullopt, loaded.Value().calibration};
}

Session::Step Session::Execute(const DacWrite& write, const adc::CaptureStop&) {
  return {NoResult{}, Refused(dac_.RawWrite(write.group, write.text))};
}

Session::Step Session::Execute(const DacPowerDown& power_down, const adc::CaptureStop&) {
  const auto done = dac_.ProgramPowerDown(
      power_down.group, TicksOf(power_down.group, power_down.channels), power_down.mode);
  return {PowerDownResult{dac_.SavedPowerDownMask()}, Refused(done)};
}

Session::Step Session::Execute(const DacLdacRegister& ldac, const adc::CaptureStop&) {
  return {NoResult{}, Refused(dac_.ProgramLdac(ldac.group, TicksOf(ldac.group, ldac.channels)))};
}

Session::Step Session::Execute(const DacReference& reference, const adc::CaptureStop&) {
  return {NoResult{}, Refused(dac_.ChooseReference(reference.group, reference.internal ? 1 : 0))};
}

Session::Step Session::Execute(const DacClearCode& clear, const adc::CaptureStop&) {
  return {NoResult{}, Refused(dac_.ChooseClearCode(clear.group, clear.select))};
}

Session::Step Session::Execute(const LineRequest& request, const adc::CaptureStop&) {
  switch (request.line) {
    case Line::ClrHigh:
      return {NoResult{}, Refused(dac_.ClrLine(0))};
    case Line::ClrLow:
      return {NoResult{}, Refused(dac_.ClrLine(1))};
    case Line::LdacHigh:
      return {NoResult{}, Refused(dac_.LdacLine(0))};
    case Line::LdacLow:
      return {NoResult{}, Refused(dac_.LdacLine(1))};
    case Line::PulseLdac:
      break;
  }
  return {NoResult{}, Refused(dac_.PulseLdac())};
}

Session::Step Session::Execute(const AdcConfigure& configure, const adc::CaptureStop&) {
  const auto done = adc_.ChooseListEntry(
      {configure.vref_range ? 1 : 0, configure.weak ? 1 : 0, configure.straight_binary ? 1 : 0});
  return {ConfigureResult{adc_.Configuration()}, Refused(done)};
}

Session::Step Session::Execute(const AdcRead& read, const adc::CaptureStop&) {
  // Nothing is sent where the calibration named cannot be applied.
  const CalibrationForVolts calibration =
      CalibrationNoteFor(read.calibration, read.reference_given);
  if (!calibration.error.empty()) {
    return {ReadResult{read.channel, {}, std::nullopt}, calibration.error};
  }
  adc::AdcReading reading =
      read.channel ? adc_.ReadChannel(*read.channel, read.reference) : adc_.ReadAll(read.reference);
  ReadResult result{read.channel, reading.codes, std::move(reading.volts)};
  if (!calibration.note || !result.volts) {
    return {std::move(result), Refused(reading.done)};
  }
  // The panel's own lblVolts stay nominal; this command's volts are
  // calibrated.
  const adc::CalibrationNote& note = *calibration.note;
  const double reference = note.reference_volts.value_or(adc::ReadReferenceNumber(read.reference));
  const float span =
      adc::FullScaleSpan(static_cast<float>(reference), adc_.Configuration().AdcRangeBit);
  for (std::size_t channel = 0; channel < result.codes.size(); ++channel) {
    const auto& correction = note.adc[channel];
    (*result.volts)[channel] = adc::VoltText(adc::CalibratedCodeVolts(
        result.codes[channel], span, !TwosComplement(), correction ? &*correction : nullptr));
  }
  result.reference_volts = note.reference_volts;
  return {std::move(result), Refused(reading.done), std::nullopt, note.path};
}

Session::Step Session::Execute(const AdcWrite& write, const adc::CaptureStop&) {
  return {NoResult{}, Refused(adc_.WriteAdc(write.text).done)};
}

Session::Step Session::Execute(const AdcCapture& capture, const adc::CaptureStop& stop) {
  const session::CaptureKind kind =
      capture.channel0 ? session::CaptureKind::Channel0 : session::CaptureKind::AllChannels;
  if (capture.metadata) {
    // The channel-0 capture reads on its fixed word's range.
    const std::optional<int> range =
        capture.channel0 ? std::optional<int>((adc::FixedChannel0Word & adc::RangeField) != 0)
                         : std::nullopt;
    const CalibrationForVolts calibration =
        CalibrationNoteFor(capture.calibration, capture.reference_given, range);
    if (!calibration.error.empty()) {
      return {CaptureResult{}, calibration.error};
    }
    std::optional<std::string> path;
    if (calibration.note) {
      path = calibration.note->path;
    }
    return {CaptureResult{},
            CaptureWithRecord(board_, kind, capture.file, capture.reference, calibration.note),
            std::nullopt, std::move(path)};
  }
  if (!capture.file.empty()) {
    return {CaptureResult{}, board_.CaptureToFile(kind, capture.file).failure};
  }
  // No file: the samples go back to the caller as the file's text.
  const adc::CaptureSamples samples =
      capture.channel0 ? adc_.TakeChannel0({}, stop) : adc_.TakeAllChannels({}, stop);
  if (samples.stopped) {
    return {CaptureResult{}, samples.stopped->reason};
  }
  return {CaptureResult{session::CaptureFileText(kind, samples)}, std::nullopt};
}

Session::Step Session::Execute(const AdcSpectrum& spectrum, const adc::CaptureStop& stop) {
  const adc::CaptureSamples samples = adc_.TakeAllChannels({}, stop);
  if (samples.stopped) {
    return {NoResult{}, samples.stopped->reason};
  }
  // On a line from the bottom of the range, so that a sine crossing
  // mid-scale in two's complement does not wrap.
  std::vector<double> values;
  values.reserve(samples.sets.size());
  for (const adc::SampleSet& set : samples.sets) {
    values.push_back(
        adc::SignedCode(set[static_cast<std::size_t>(spectrum.channel)], !TwosComplement()));
  }
#ifdef KX_WITH_SPECTRUM
  if (auto figures = analysis::AnalyseSpectrum(values, spectrum.window)) {
    return {SpectrumResult{std::move(*figures)}, std::nullopt};
  }
  return {NoResult{}, fmt::format("no tone above DC in ADC{}'s {} samples: the spectrum needs a "
                                  "sine (or another changing input) on the channel",
                                  spectrum.channel, values.size())};
#else
  return {NoResult{}, "this build has no spectra (it was made without FFTW)"};
#endif
}

Session::Step Session::Execute(const AdcLog& log, const adc::CaptureStop& stop) {
  LogRun run = RunLog(*this, log, stop, log_setup_);
  // Gap rows are the log's to tell; the call goes on.
  watch_.Rearm();
  return {LogResult{run.summary}, std::move(run.failure), std::nullopt, std::move(run.calibration)};
}

void Session::Tell(const std::string& line) const {
  if (log_setup_.progress) {
    log_setup_.progress(line);
  }
}

bool Session::TwosComplement() const {
  return adc_.Configuration().AdcCodingBit == 0;
}

double Session::AdcSpan(std::optional<double> reference) const {
  const double volts = reference.value_or(board::BoardReferenceVolts);
  return adc_.Configuration().AdcRangeBit != 0 ? volts : 2.0 * volts;
}

namespace {

// Progress lines of a long test: one a second at most.
constexpr auto kProgressEvery = std::chrono::seconds(1);

std::string RangeWord(const adc::AdcConfiguration& config) {
  return config.AdcRangeBit != 0 ? "vref" : "2xvref";
}

// As the result files name it; the edition without a Coding list has none.
std::string CodingWord(const Edition& edition, bool twos) {
  if (!edition.HasVolts()) {
    return "";
  }
  return twos ? "twos" : "binary";
}

}  // namespace

Session::Step Session::Execute(const AdcHistogram& histogram, const adc::CaptureStop& stop) {
  if (histogram.save_calibration) {
    if (std::optional<std::string> unwritable = CalibrationUnwritable()) {
      return {HistogramResult{}, std::move(unwritable)};
    }
  }
  linearity::CodeCounts counts;
  const int flip = TwosComplement() ? 0x800 : 0;
  auto next = std::chrono::steady_clock::now() + kProgressEvery;
  std::uint64_t seen = 0;
  const adc::AdcOperations::ChannelRun run = adc_.ReadChannelRepeatedly(
      histogram.channel, histogram.samples,
      [&](std::span<const std::int32_t> codes) {
        for (const std::int32_t code : codes) {
          counts.Add(code ^ flip);
        }
        seen += codes.size();
        watch_.TakeRecords();  // millions of them: counted, not kept
        if (std::chrono::steady_clock::now() >= next) {
          Tell(fmt::format("adc histogram: {} of {} samples", seen, histogram.samples));
          next += kProgressEvery;
        }
      },
      stop);
  HistogramResult result;
  result.transfers = run.transfers;
  result.counts.assign(counts.Counts().begin(), counts.Counts().end());
  const std::string nothing = histogram.file.empty() ? "" : "; nothing was written";
  if (run.stopped) {
    return {std::move(result), fmt::format("{}", run.stopped->reason),
            fmt::format("the test stopped after {} of {} samples{}", run.samples, histogram.samples,
                        nothing)};
  }
  std::optional<linearity::AppliedInput> applied;
  if (histogram.input) {
    const double lsb = AdcSpan(histogram.reference) / linearity::kCodes;
    applied =
        linearity::AppliedInput{histogram.input->centre / lsb, histogram.input->amplitude / lsb};
  }
  result.linearity = linearity::AnalyseCodeDensity(counts.Counts(), histogram.method, applied);
  if (result.linearity.problem != linearity::DensityProblem::None) {
    std::string reason = result.linearity.reason + nothing;
    return {std::move(result), std::move(reason)};
  }
  if (histogram.save_calibration && result.linearity.offset_lsb && result.linearity.gain_percent) {
    if (std::optional<std::string> unsaved = SaveMeasured(
            true, histogram.channel, {*result.linearity.offset_lsb, *result.linearity.gain_percent},
            "adc histogram", histogram.reference.value_or(board::BoardReferenceVolts))) {
      return {std::move(result), std::move(unsaved)};
    }
  }
  if (histogram.file.empty()) {
    return {std::move(result), std::nullopt};
  }
  const linearity::HistogramSetup setup{histogram.channel, RangeWord(adc_.Configuration()),
                                        CodingWord(board_.edition(), flip != 0), run.transfers};
  std::optional<std::string> written =
      WriteResultFiles(histogram.file, linearity::HistogramCsv(counts.Counts(), result.linearity),
                       linearity::HistogramMetadata(setup, result.linearity).dump(2) + "\n");
  return {std::move(result), std::move(written)};
}

std::optional<std::string> Session::SweepMismatch(const DacSweep& sweep) const {
  if (!sweep.adc_linearity) {
    return std::nullopt;
  }
  const auto setting = [](const std::string& range, const std::string& coding) {
    return coding.empty() ? range : range + " " + coding;
  };
  const std::string now =
      setting(RangeWord(adc_.Configuration()), CodingWord(board_.edition(), TwosComplement()));
  const std::string then = setting(sweep.adc_linearity_range, sweep.adc_linearity_coding);
  if (then == now) {
    return std::nullopt;
  }
  // Nothing sent yet: the ADC's INL belongs to the range it was measured on.
  return fmt::format(
      "--adc-linearity {} was measured with the ADC on {}, it is on {}: choose {} with adc "
      "configure first",
      sweep.adc_linearity_file, then, now, then);
}

std::optional<std::string> Session::SweepCodes(
    const DacSweep& sweep, int total,
    const std::function<void(std::span<const std::int32_t>)>& take, const adc::CaptureStop& stop) {
  std::optional<std::string> stopped;
  if (sweep.settle.count() == 0) {
    // Each code's DAC word and LDAC pulse go out in the batch of its reads,
    // several codes to a batch: waiting for their answers would cost each
    // code bus latencies.
    const adc::AdcOperations::PointsRun run = adc_.ReadChannelAtPoints(
        sweep.adc_channel, static_cast<std::size_t>(total), sweep.average,
        [&](std::size_t point) {
          const int code = sweep.codes.start + static_cast<int>(point) * sweep.codes.step;
          const auto steps = dac_.OneChannelWrites(sweep.channel, static_cast<std::uint16_t>(code));
          return std::vector<board::LinkStep>(steps.begin(), steps.end());
        },
        take, stop);
    if (run.stopped) {
      stopped = run.stopped->reason;
    }
  }
  for (int code = sweep.codes.start; sweep.settle.count() > 0 && code <= sweep.codes.stop;
       code += sweep.codes.step) {
    dac_.LoadOneChannel(sweep.channel, static_cast<std::uint16_t>(code));
    if (watch_.Failure()) {
      stopped = "the board did not take the DAC code";
      break;
    }
    std::this_thread::sleep_for(sweep.settle);
    std::vector<std::int32_t> reads;  // a chunk's worth or more
    const adc::AdcOperations::ChannelRun run = adc_.ReadChannelRepeatedly(
        sweep.adc_channel, static_cast<std::uint64_t>(sweep.average),
        [&](std::span<const std::int32_t> codes) {
          reads.insert(reads.end(), codes.begin(), codes.end());
        },
        stop);
    if (run.stopped) {
      stopped = run.stopped->reason;
      break;
    }
    take(reads);
  }
  return stopped;
}

Session::Step Session::Execute(const DacSweep& sweep, const adc::CaptureStop& stop) {
  if (std::optional<std::string> mismatch = SweepMismatch(sweep)) {
    return {SweepResult{}, std::move(mismatch)};
  }
  if (sweep.save_calibration) {
    if (std::optional<std::string> unwritable = CalibrationUnwritable()) {
      return {SweepResult{}, std::move(unwritable)};
    }
  }
  const int flip = TwosComplement() ? 0x800 : 0;
  std::vector<linearity::SweepPoint> points;
  std::uint64_t requests = 0;
  const int total = (sweep.codes.stop - sweep.codes.start) / sweep.codes.step + 1;
  auto next = std::chrono::steady_clock::now() + kProgressEvery;
  // One code's reads, in the order the codes go out.
  const auto take = [&](std::span<const std::int32_t> reads) {
    double sum = 0.0;
    double squares = 0.0;
    for (const std::int32_t read : reads) {
      const double value = read ^ flip;
      sum += value;
      squares += value * value;
    }
    const double mean = sum / sweep.average;
    const double variance = std::max(squares / sweep.average - mean * mean, 0.0);
    const int code = sweep.codes.start + static_cast<int>(points.size()) * sweep.codes.step;
    points.push_back({code, mean, std::sqrt(variance), sweep.average});
    requests += watch_.TakeRecords().size();
    if (std::chrono::steady_clock::now() >= next) {
      Tell(fmt::format("dac sweep: {} of {} codes", points.size(), total));
      next += kProgressEvery;
    }
  };
  const std::optional<std::string> stopped = SweepCodes(sweep, total, take, stop);
  requests += watch_.TakeRecords().size();
  return FinishSweep(sweep, points, requests, stopped);
}

Session::Step Session::FinishSweep(const DacSweep& sweep,
                                   const std::vector<linearity::SweepPoint>& points,
                                   std::uint64_t requests,
                                   const std::optional<std::string>& stopped) {
  const int total = (sweep.codes.stop - sweep.codes.start) / sweep.codes.step + 1;
  SweepResult result;
  result.requests = requests;
  const std::string nothing = sweep.file.empty() ? "" : "; nothing was written";
  if (stopped) {
    return {std::move(result), stopped,
            fmt::format("the sweep stopped after {} of {} codes{}", points.size(), total, nothing)};
  }
  // The DAC's span is its reference.
  const int group = sweep.channel / dac::ChannelsPerGroup;
  const double dac_span =
      sweep.dac_reference.value_or(dac_.InternalReference(group) ? board::DacInternalReferenceVolts
                                                                 : board::BoardReferenceVolts);
  const linearity::SweepScale scale{AdcSpan(sweep.adc_reference) / linearity::kCodes,
                                    dac_span / linearity::kCodes};
  result.linearity =
      linearity::AnalyseSweep(points, scale, sweep.adc_linearity ? &*sweep.adc_linearity : nullptr);
  if (!result.linearity.problem.empty()) {
    std::string reason = result.linearity.problem + nothing;
    return {std::move(result), std::move(reason)};
  }
  // The fit line: every code's mean weighs in, where the endpoint line
  // rests on the two ends alone, whose reads are as noisy as any and where
  // an output near its rail bends first.
  if (sweep.save_calibration) {
    if (std::optional<std::string> unsaved =
            SaveMeasured(false, sweep.channel,
                         {result.linearity.fit_offset_lsb, result.linearity.fit_gain_percent},
                         "dac sweep", dac_span)) {
      return {std::move(result), std::move(unsaved)};
    }
  }
  if (sweep.file.empty()) {
    return {std::move(result), std::nullopt};
  }
  const linearity::SweepSetup setup{sweep.channel,
                                    sweep.adc_channel,
                                    sweep.codes.start,
                                    sweep.codes.stop,
                                    sweep.codes.step,
                                    sweep.average,
                                    std::chrono::duration<double>(sweep.settle).count(),
                                    sweep.adc_linearity_file,
                                    requests};
  std::optional<std::string> written =
      WriteResultFiles(sweep.file, linearity::SweepCsv(result.linearity),
                       linearity::SweepMetadata(setup, result.linearity).dump(2) + "\n");
  return {std::move(result), std::move(written)};
}

Session::Step Session::Execute(const SetupSave& save, const adc::CaptureStop&) {
  // The pulse of this call's last load: kx7312ctl has no menu item for it.
  return {NoResult{},
          session::WriteSetupFile(save.file, session::CurrentSetup(board_, dac_.LastPulse()))};
}

Session::Step Session::Execute(const SetupLoad& load, const adc::CaptureStop&) {
  return {NoResult{}, Refused(session::ApplySetup(board_, load.setup))};
}

Session::Step Session::Execute(const ListBoards&, const adc::CaptureStop&) {
  if (directory_ == nullptr) {
    return {BoardsResult{}, "this link lists no boards"};
  }
  board::AttachedBoards attached = directory_->Attached();
  if (!attached.error.empty()) {
    return {BoardsResult{}, std::move(attached.error)};
  }
  return {BoardsResult{std::move(attached.boards)}, std::nullopt};
}

board::BoardIdentity Session::Identity() const {
  return directory_ != nullptr ? directory_->Identity() : board::BoardIdentity{};
}

const session::CalibrationResolved& Session::Calibration(const session::CalibrationChoice& choice) {
  const auto key = std::make_pair(choice.kind, choice.file);
  auto found = calibrations_.find(key);
  if (found == calibrations_.end()) {
    found = calibrations_.emplace(key, session::ResolveCalibration(choice, Identity())).first;
  }
  return found->second;
}

Outcome Session::ReadAgain(const std::string& reference) {
  watch_.Rearm();
  // The logger's reads want codes only: its volts come from the codes.
  AdcRead read{reference, ReadFormat::Hex, std::nullopt};
  read.calibration.kind = session::CalibrationChoice::Kind::None;
  return Run(Command{"adc read", std::move(read), {}});
}

Outcome Session::Reload() {
  watch_.Rearm();
  board_.ReloadUsb();
  const adc::AdcConfiguration& config = adc_.Configuration();
  const auto done =
      adc_.ChooseListEntry({config.AdcRangeBit != 0 ? 1 : 0, config.AdcWeakTriBit != 0 ? 1 : 0,
                            config.AdcCodingBit != 0 ? 1 : 0});
  return Finish({NoResult{}, Refused(done)});
}

Outcome Session::Finish(Step step) {
  Outcome outcome;
  outcome.result = std::move(step.result);
  outcome.calibration = std::move(step.calibration);
  outcome.requests = watch_.TakeRecords();
  outcome.messages = port_.TakeMessages();
  if (const std::optional<LinkFailure>& link_failure = watch_.Failure()) {
    outcome.error = FailureText(*link_failure);
    outcome.status = link_failure->status;
    if (link_problem_) {
      if (std::string problem = link_problem_(); !problem.empty()) {
        outcome.messages.push_back(std::move(problem));
      }
    }
  } else if (step.failure) {
    // The board answered, but the operation still could not finish: a
    // capture file that could not be written.
    outcome.error = std::move(*step.failure);
  }
  if (step.progress && !outcome.error.empty()) {
    outcome.error += "; " + *step.progress;
  }
  return outcome;
}

}  // namespace kx::commands
