#include "commands/session.h"

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "board/link_record.h"
#include "board/status_text.h"
#include "commands/capture_record.h"

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

Session::Step Session::Execute(const DacLoad& load, const adc::CaptureStop&) {
  dac::DacOperations::ChannelTicks ticks{};
  dac::DacOperations::ChannelTexts texts;
  for (const ChannelCode& code : load.codes) {
    ticks[static_cast<std::size_t>(code.channel)] = true;
    texts[static_cast<std::size_t>(code.channel)] = fmt::format("{:X}", code.code);
  }
  return {NoResult{}, Refused(load.update ? dac_.UpdateDacRegisters(ticks, texts, load.pulse)
                                          : dac_.LoadInputRegisters(ticks, texts, load.pulse))};
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
  adc::AdcReading reading =
      read.channel ? adc_.ReadChannel(*read.channel, read.reference) : adc_.ReadAll(read.reference);
  return {ReadResult{read.channel, reading.codes, std::move(reading.volts)}, Refused(reading.done)};
}

Session::Step Session::Execute(const AdcWrite& write, const adc::CaptureStop&) {
  return {NoResult{}, Refused(adc_.WriteAdc(write.text).done)};
}

Session::Step Session::Execute(const AdcCapture& capture, const adc::CaptureStop& stop) {
  const session::CaptureKind kind =
      capture.channel0 ? session::CaptureKind::Channel0 : session::CaptureKind::AllChannels;
  if (capture.metadata) {
    return {CaptureResult{}, CaptureWithRecord(board_, kind, capture.file, capture.reference)};
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

Session::Step Session::Execute(const AdcLog& log, const adc::CaptureStop& stop) {
  LogRun run = RunLog(*this, log, stop, log_setup_);
  // Gap rows are the log's to tell; the call goes on.
  watch_.Rearm();
  return {LogResult{run.summary}, std::move(run.failure)};
}

Outcome Session::ReadAgain(const std::string& reference) {
  watch_.Rearm();
  return Run(Command{"adc read", AdcRead{reference, ReadFormat::Hex, std::nullopt}, {}});
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
  return outcome;
}

}  // namespace kx::commands
