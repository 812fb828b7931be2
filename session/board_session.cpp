#include "session/board_session.h"

#include <utility>

#include "adc/sample_file.h"

namespace kx::session {

BoardSession::BoardSession(const Edition& edition, const board::LinkLibraries& libraries,
                           std::string program_folder)
    : edition_(edition),
      link_(board::MakeBoardLink(edition.link, libraries, std::move(program_folder))),
      dac_(*link_),
      adc_(*link_, edition.adc_rules) {}

StartUpResult BoardSession::StartUp() {
  StartUpResult result{link_->LoadUSB(), {}};
  adc_.ResetResults();
  result.done = adc_.SendStartupWords();
  return result;
}

StartUpResult BoardSession::ReloadUsb() {
  const board::BoardLink::LoadResult download = link_->LoadUSB();
  return {download, {link_->TakeSent(), std::nullopt}};
}

CaptureReport BoardSession::CaptureToFile(CaptureKind kind, const std::string& path,
                                          const adc::CaptureProgress& progress,
                                          const adc::CaptureStop& stop) {
  return session::CaptureToFile(adc_, kind, path, progress, stop);
}

CaptureReport CaptureToFile(adc::AdcOperations& adc, CaptureKind kind, const std::string& path,
                            const adc::CaptureProgress& progress, const adc::CaptureStop& stop) {
  CaptureReport report;
  // A file that cannot be saved is found before the first transfer: the
  // board's time and the operator's wait are not spent on samples that would
  // only be thrown away.
  adc::SampleFileWriter file(path);
  if (std::optional<std::string> failure = file.Prepare()) {
    report.failure = std::move(failure);
    return report;
  }
  report.transfers_made = true;
  report.samples = kind == CaptureKind::AllChannels ? adc.TakeAllChannels(progress, stop)
                                                    : adc.TakeChannel0(progress, stop);
  if (const auto& stopped = report.samples.stopped) {
    report.failure = stopped->status < 0 ? adc::BoardNoAnswerText(stopped->status)
                                         : "The capture was stopped. No samples were saved.";
    return report;
  }
  report.failure = file.Save(CaptureFileText(kind, report.samples));
  return report;
}

std::string CaptureFileText(CaptureKind kind, const adc::CaptureSamples& samples) {
  return kind == CaptureKind::AllChannels ? adc::AllChannelsFileText(samples.sets)
                                          : adc::Channel0FileText(samples.replies);
}

}  // namespace kx::session
