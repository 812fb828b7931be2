#include "ctl/session.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>
#include <variant>

#include "board/link_requests.h"
#include "board/status_text.h"
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
                     RequestName(failure.code), static_cast<std::uint32_t>(failure.word),
                     failure.status);
}

}  // namespace

std::string RequestName(std::uint8_t code) {
  switch (code) {
    case board::DacLowRequest:
      return "DacLowRequest";
    case board::DacHighRequest:
      return "DacHighRequest";
    case board::ClrHighRequest:
      return "ClrHighRequest";
    case board::PulseLdacRequest:
      return "PulseLdacRequest";
    case board::ClrLowRequest:
      return "ClrLowRequest";
    case board::PostBootRequest:
      return "PostBootRequest";
    case board::LdacHighRequest:
      return "LdacHighRequest";
    case board::LdacLowRequest:
      return "LdacLowRequest";
    case board::AdcTransferRequest:
      return "AdcTransferRequest";
    default:
      return fmt::format("request 0x{:02X}", code);
  }
}

Session::Session(const Edition& edition, board::LinkLibraries libraries, ConsolePort& port,
                 std::string program_folder, std::function<std::string()> link_problem)
    : port_(port),
      link_problem_(std::move(link_problem)),
      watch_(libraries),
      board_(edition, watch_.Libraries(), port, std::move(program_folder)),
      dac_(board_.Dac()),
      adc_(board_.Adc()) {}

Outcome Session::StartUp() {
  board_.StartUp();
  return Finish({});
}

Outcome Session::Run(const Command& command) {
  Outcome outcome;
  std::visit(
      Overloaded{
          [&](const DacLoad& load) {
            dac::DacOperations::ChannelTicks ticks{};
            dac::DacOperations::ChannelTexts texts;
            for (const ChannelCode& code : load.codes) {
              ticks[static_cast<std::size_t>(code.channel)] = true;
              texts[static_cast<std::size_t>(code.channel)] = fmt::format("{:X}", code.code);
            }
            if (load.update) {
              dac_.UpdateDacRegisters(ticks, texts, load.pulse);
            } else {
              dac_.LoadInputRegisters(ticks, texts, load.pulse);
            }
          },
          [&](const DacWrite& write) { dac_.RawWrite(write.group, write.text); },
          [&](const DacPowerDown& power_down) {
            dac_.ProgramPowerDown(power_down.group, TicksOf(power_down.group, power_down.channels),
                                  power_down.mode);
            outcome.saved_masks = dac_.SavedPowerDownMask();
          },
          [&](const DacLdacRegister& ldac) {
            dac_.ProgramLdac(ldac.group, TicksOf(ldac.group, ldac.channels));
          },
          [&](const DacReference& reference) {
            dac_.ChooseReference(reference.group, reference.internal ? 1 : 0);
          },
          [&](const DacClearCode& clear) { dac_.ChooseClearCode(clear.group, clear.select); },
          [&](const LineRequest& request) {
            switch (request.line) {
              case Line::ClrHigh:
                dac_.ClrLine(0);
                break;
              case Line::ClrLow:
                dac_.ClrLine(1);
                break;
              case Line::LdacHigh:
                dac_.LdacLine(0);
                break;
              case Line::LdacLow:
                dac_.LdacLine(1);
                break;
              case Line::PulseLdac:
                dac_.PulseLdac();
                break;
            }
          },
          [&](const AdcConfigure& configure) {
            adc_.ChooseListEntry({configure.vref_range ? 1 : 0, configure.weak ? 1 : 0,
                                  configure.straight_binary ? 1 : 0});
            outcome.configuration = adc_.Configuration();
          },
          [&](const AdcRead& read) {
            adc_.ReadAll(read.reference);
            outcome.codes = adc_.AdcResults();
            if (board_.HasVolts()) {
              outcome.volts = adc_.VoltTexts();
            }
          },
          [&](const AdcWrite& write) { adc_.WriteAdc(write.text); },
          [&](const AdcCapture& capture) {
            port_.AnswerNextSaveDialog(capture.file);
            if (capture.channel0) {
              adc_.CaptureChannel0();
            } else {
              adc_.CaptureAllChannels();
            }
          },
      },
      command.action);
  return Finish(std::move(outcome));
}

Outcome Session::Finish(Outcome outcome) {
  outcome.requests = watch_.TakeRecords();
  outcome.messages = port_.TakeMessages();
  if (const std::optional<LinkFailure>& failure = watch_.Failure()) {
    outcome.error = FailureText(*failure);
    outcome.status = failure->status;
    // These only say again what the failure says.
    const std::string no_answer = adc::BoardNoAnswerText(failure->status);
    std::erase_if(outcome.messages, [&](const std::string& message) {
      return message == board::NoBoardMessage || message == no_answer;
    });
    if (link_problem_) {
      if (std::string problem = link_problem_(); !problem.empty()) {
        outcome.messages.push_back(std::move(problem));
      }
    }
  } else if (!outcome.messages.empty()) {
    // The board answered, but the operation still could not finish: a
    // capture file that could not be written.
    outcome.error = outcome.messages.front();
    outcome.messages.erase(outcome.messages.begin());
  }
  return outcome;
}

}  // namespace kx::ctl
