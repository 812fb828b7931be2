#include "support/shown_operations.h"

#include "session/board_session.h"

namespace kx::testing {

std::optional<std::string> ShownAdc::WriteAdc(std::string_view text2) {
  adc::AdcWriteResult result = ops_.WriteAdc(text2);
  port_.Show(result.done);
  return std::move(result.reply_text);
}

// As the window does it: the dialog, "Taking Samples" once the file is
// found writable, the progress, then the end of both and any message.
void ShownAdc::Capture(bool all_channels) {
  const std::optional<std::string> path = port_.AskSavePath(adc::SampleFileFilter);
  if (!path || path->empty()) {
    return;
  }
  const session::CaptureReport report = session::CaptureToFile(
      ops_, all_channels ? session::CaptureKind::AllChannels : session::CaptureKind::Channel0,
      *path, [&](int done, int total) {
        if (done == 0 && all_channels) {
          port_.SetCaptureStatus(adc::TakingSamplesText);
        }
        port_.SetCaptureProgress(done, total);
      });
  port_.Show({report.samples.sent, std::nullopt});
  if (report.transfers_made) {
    if (all_channels) {
      port_.SetCaptureStatus("");
    }
    port_.SetCaptureProgress(0, 0);
  }
  if (report.failure) {
    port_.ShowMessage(*report.failure, adc::AdcErrorTitle, board::MessageIcon::Exclamation);
  }
}

}  // namespace kx::testing
