#include "ctl/session.h"

#include <fmt/format.h>

#include <utility>
#include <variant>

#include "board/link_record.h"
#include "board/status_text.h"
#include "ctl/capture_record.h"
#include "ctl/overloaded.h"

namespace kx::ctl {

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
  return Finish({}, std::nullopt);
}

Outcome Session::Run(const Command& command, const adc::CaptureStop& stop) {
  if (after_failure_ == AfterFailure::Serve) {
    watch_.Rearm();
  }
  Outcome outcome;
  Failed failure = std::visit(
      Overloaded{
          [&](const DacLoad& load) {
            dac::DacOperations::ChannelTicks ticks{};
            dac::DacOperations::ChannelTexts texts;
            for (const ChannelCode& code : load.codes) {
              ticks[static_cast<std::size_t>(code.channel)] = true;
              texts[static_cast<std::size_t>(code.channel)] = fmt::format("{:X}", code.code);
            }
            return Refused(load.update ? dac_.UpdateDacRegisters(ticks, texts, load.pulse)
                                       : dac_.LoadInputRegisters(ticks, texts, load.pulse));
          },
          [&](const DacWrite& write) { return Refused(dac_.RawWrite(write.group, write.text)); },
          [&](const DacPowerDown& power_down) {
            const auto done = dac_.ProgramPowerDown(
                power_down.group, TicksOf(power_down.group, power_down.channels), power_down.mode);
            outcome.saved_masks = dac_.SavedPowerDownMask();
            return Refused(done);
          },
          [&](const DacLdacRegister& ldac) {
            return Refused(dac_.ProgramLdac(ldac.group, TicksOf(ldac.group, ldac.channels)));
          },
          [&](const DacReference& reference) {
            return Refused(dac_.ChooseReference(reference.group, reference.internal ? 1 : 0));
          },
          [&](const DacClearCode& clear) {
            return Refused(dac_.ChooseClearCode(clear.group, clear.select));
          },
          [&](const LineRequest& request) {
            switch (request.line) {
              case Line::ClrHigh:
                return Refused(dac_.ClrLine(0));
              case Line::ClrLow:
                return Refused(dac_.ClrLine(1));
              case Line::LdacHigh:
                return Refused(dac_.LdacLine(0));
              case Line::LdacLow:
                return Refused(dac_.LdacLine(1));
              case Line::PulseLdac:
                break;
            }
            return Refused(dac_.PulseLdac());
          },
          [&](const AdcConfigure& configure) {
            const auto done =
                adc_.ChooseListEntry({configure.vref_range ? 1 : 0, configure.weak ? 1 : 0,
                                      configure.straight_binary ? 1 : 0});
            outcome.configuration = adc_.Configuration();
            return Refused(done);
          },
          [&](const AdcRead& read) {
            adc::AdcReading reading = adc_.ReadAll(read.reference);
            outcome.codes = reading.codes;
            outcome.volts = std::move(reading.volts);
            return Refused(reading.done);
          },
          [&](const AdcWrite& write) { return Refused(adc_.WriteAdc(write.text).done); },
          [&](const AdcCapture& capture) -> Failed {
            const session::CaptureKind kind = capture.channel0 ? session::CaptureKind::Channel0
                                                               : session::CaptureKind::AllChannels;
            if (capture.metadata) {
              return CaptureWithRecord(board_, kind, capture.file, capture.reference);
            }
            if (!capture.file.empty()) {
              return board_.CaptureToFile(kind, capture.file).failure;
            }
            // No file: the samples go back to the caller as the file's text.
            const adc::CaptureSamples samples =
                capture.channel0 ? adc_.TakeChannel0({}, stop) : adc_.TakeAllChannels({}, stop);
            if (samples.stopped) {
              return samples.stopped->reason;
            }
            outcome.capture_text = session::CaptureFileText(kind, samples);
            return std::nullopt;
          },
          [&](const AdcLog& log) -> Failed {
            LogRun run = RunLog(*this, log, stop, log_setup_);
            outcome.log = run.summary;
            // Gap rows are the log's to tell; the call goes on.
            watch_.Rearm();
            return std::move(run.failure);
          },
      },
      command.action);
  return Finish(std::move(outcome), std::move(failure));
}

Outcome Session::ReadAgain(const std::string& reference) {
  watch_.Rearm();
  return Run(Command{"adc read", AdcRead{reference, ReadFormat::Hex}, {}});
}

Outcome Session::Reload() {
  watch_.Rearm();
  board_.ReloadUsb();
  const adc::AdcConfiguration& config = adc_.Configuration();
  const auto done =
      adc_.ChooseListEntry({config.AdcRangeBit != 0 ? 1 : 0, config.AdcWeakTriBit != 0 ? 1 : 0,
                            config.AdcCodingBit != 0 ? 1 : 0});
  return Finish({}, Refused(done));
}

Outcome Session::Finish(Outcome outcome, Failed failure) {
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
  } else if (failure) {
    // The board answered, but the operation still could not finish: a
    // capture file that could not be written.
    outcome.error = std::move(*failure);
  }
  return outcome;
}

}  // namespace kx::ctl
