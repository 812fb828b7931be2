#include "programs/link_backend.h"

#include <cerrno>
#include <cstring>

#include "board/sim/sim_settings.h"

namespace kx::programs {

namespace {

const char* LibraryName(const Edition& edition) {
  return edition.link == LinkKind::CvnCyusbUsb4 ? "CVN_CYUSB_USB4" : "UsbBoardIo";
}

}  // namespace

std::variant<std::unique_ptr<LinkBackend>, std::string> LinkBackend::Create(
    const Edition& edition, const ProgramOptions& options, board::OperatorPort& port) {
  std::unique_ptr<LinkBackend> backend(new LinkBackend());

  if (options.simulate) {
    board::sim::SimSettings settings;
    if (options.sim_settings) {
      board::sim::SimSettingsResult loaded = board::sim::LoadSimSettingsFile(*options.sim_settings);
      if (!loaded.settings) {
        return loaded.error;
      }
      settings = *loaded.settings;
    }
    backend->sim_ = std::make_unique<board::sim::SimBoard>(settings);
    backend->libraries_ = {&backend->sim_->Cvn(), &backend->sim_->Io()};
  } else {
    backend->missing_ = std::make_unique<board::MissingLinkLibrary>(
        LibraryName(edition),
        "this build has no backend for a real board on this system; start the program with "
        "--simulate to use the simulated board",
        port);
    backend->libraries_ = {backend->missing_.get(), backend->missing_.get()};
  }

  if (options.trace) {
    backend->trace_file_ = std::make_unique<std::ofstream>(*options.trace, std::ios::app);
    if (!*backend->trace_file_) {
      return "cannot open trace file " + *options.trace + ": " + std::strerror(errno);
    }
    backend->sink_ = std::make_unique<board::trace::TraceSink>(*backend->trace_file_);
    backend->cvn_tracer_ = std::make_unique<board::trace::TracingCvnCyusbUsb4>(
        *backend->libraries_.cvn, *backend->sink_);
    backend->io_tracer_ =
        std::make_unique<board::trace::TracingUsbBoardIo>(*backend->libraries_.io, *backend->sink_);
    backend->libraries_ = {backend->cvn_tracer_.get(), backend->io_tracer_.get()};
  }
  return backend;
}

}  // namespace kx::programs
