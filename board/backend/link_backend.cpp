#include "board/backend/link_backend.h"

#include <utility>

#include "board/board_identity.h"
#include "board/sim/sim_settings.h"

// The one place that knows which hardware backend this build has; the build
// sets KX_HAVE_USB_BACKEND to 1 or 0.
#if KX_HAVE_USB_BACKEND

#include <fmt/format.h>

#include <array>
#include <string_view>
#include <utility>

#include "board/usb/usb_link_library.h"
#include "board/usb/usb_options.h"

namespace kx::board {

bool LinkBackend::HasUsbBackend() {
  return true;
}

std::string LinkBackend::OpenHardware(LinkKind /*kind*/, const LinkOptions& options,
                                      board::OperatorPort& port) {
  // Every option is checked before libusb is touched.
  namespace usb = board::usb;
  usb::UsbOptions usb_options;
  const std::array<std::pair<std::string_view, const std::optional<std::string>*>, 4> given = {{
      {usb::UsbIdOption, &options.usb_id},
      {usb::UsbLoaderIdOption, &options.usb_loader_id},
      {usb::UsbBusOption, &options.usb_bus},
      {usb::UsbSerialOption, &options.usb_serial},
  }};
  for (const auto& [option, text] : given) {
    if (*text) {
      if (std::string error = usb::ApplyUsbOption(usb_options, option, **text); !error.empty()) {
        return error;
      }
    }
  }

  usb::OpenedUsbLinkLibrary opened = usb::OpenUsbLinkLibrary(usb_options, port);
  if (!opened.library) {
    why_no_listing_ = fmt::format("{} could not start: {}", usb::UsbLibraryName, opened.error);
    missing_ = std::make_unique<board::MissingLinkLibrary>(usb::UsbLibraryName,
                                                           std::move(opened.error), port);
    libraries_ = {missing_.get(), missing_.get()};
    return {};
  }
  usb::UsbLinkLibrary* library = opened.library.get();
  libraries_ = {library, library, library};
  last_problem_ = [library] { return library->LastProblem(); };
  hardware_ = std::move(opened.library);
  return {};
}

}  // namespace kx::board

#elif defined(_WIN32)

#include <utility>

#include "board/win/win_link_libraries.h"

namespace kx::board {

bool LinkBackend::HasUsbBackend() {
  return false;
}

// Windows: the vendor's own link libraries, each loaded at its first call.
std::string LinkBackend::OpenHardware(LinkKind /*kind*/, const LinkOptions& options,
                                      board::OperatorPort& port) {
  if (options.usb_id || options.usb_loader_id || options.usb_bus || options.usb_serial) {
    return "the USB options are for the libusb backend; on Windows the board is reached "
           "through the vendor's link library";
  }
  auto libraries = std::make_shared<board::win::WinLinkLibraries>(port);
  libraries_ = libraries->Libraries();
  why_no_listing_ =
      "the vendor's link library lists no serial numbers: kx7312ctl list needs the "
      "libusb backend or --simulate";
  hardware_ = std::move(libraries);
  return {};
}

}  // namespace kx::board

#else

namespace kx::board {

bool LinkBackend::HasUsbBackend() {
  return false;
}

std::string LinkBackend::OpenHardware(LinkKind kind, const LinkOptions& /*options*/,
                                      board::OperatorPort& port) {
  missing_ = std::make_unique<board::MissingLinkLibrary>(
      kind == LinkKind::CvnCyusbUsb4 ? "CVN_CYUSB_USB4" : "UsbBoardIo",
      "this build has no backend for a real board on this system; start the program with "
      "--simulate to use the simulated board",
      port);
  libraries_ = {missing_.get(), missing_.get()};
  why_no_listing_ =
      "this build has no backend for a real board on this system: list with --simulate";
  return {};
}

}  // namespace kx::board

#endif

namespace kx::board {

std::variant<std::unique_ptr<LinkBackend>, std::string> LinkBackend::Create(
    LinkKind kind, const LinkOptions& options, OperatorPort& port) {
  std::unique_ptr<LinkBackend> backend(new LinkBackend());
  if (options.board_name) {
    if (std::string error = CheckBoardName(*options.board_name); !error.empty()) {
      return error;
    }
  }

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
    backend->libraries_ = {&backend->sim_->Cvn(), &backend->sim_->Io(),
                           &backend->sim_->Directory()};
    // A bad image is named with its reason on the simulated board as on a
    // real one.
    backend->last_problem_ = [sim = backend->sim_.get()] { return sim->LastFirmwareError(); };
  } else if (std::string error = backend->OpenHardware(kind, options, port); !error.empty()) {
    return error;
  }

  backend->directory_ = std::make_unique<NamedDirectory>(
      backend->libraries_.directory, options.board_name.value_or(""), backend->why_no_listing_);
  backend->libraries_.directory = backend->directory_.get();

  if (options.trace) {
    auto opened = board::trace::FileTraceWriter::Open(*options.trace);
    if (const auto* error = std::get_if<std::string>(&opened)) {
      return "cannot open trace file " + *options.trace + ": " + *error;
    }
    backend->trace_path_ = *options.trace;
    backend->trace_file_ =
        std::move(std::get<std::unique_ptr<board::trace::FileTraceWriter>>(opened));
    backend->sink_ = std::make_unique<board::trace::TraceSink>(*backend->trace_file_);
    backend->cvn_tracer_ = std::make_unique<board::trace::TracingCvnCyusbUsb4>(
        *backend->libraries_.cvn, *backend->sink_);
    backend->io_tracer_ =
        std::make_unique<board::trace::TracingUsbBoardIo>(*backend->libraries_.io, *backend->sink_);
    backend->libraries_ = {backend->cvn_tracer_.get(), backend->io_tracer_.get(),
                           backend->directory_.get()};
  }
  return backend;
}

std::string LinkBackend::TraceProblem() const {
  if (!sink_ || !sink_->Failed()) {
    return {};
  }
  return "the trace file " + trace_path_ + " could not be written (" + sink_->Problem() +
         "): it ends before the first call it could not record";
}

void LinkBackend::OnTraceFailure(std::function<void(const std::string&)> report) {
  if (!sink_) {
    return;
  }
  sink_->OnFailure(
      [this, report = std::move(report)](const std::string&) { report(TraceProblem()); });
}

}  // namespace kx::board
