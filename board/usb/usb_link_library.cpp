#include "board/usb/usb_link_library.h"

#include <fmt/format.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <span>
#include <thread>
#include <utility>

#include "board/intel_hex.h"
#include "board/link_requests.h"
#include "board/usb/access_message.h"
#include "board/usb/firmware_chunks.h"
#include "board/usb/firmware_loader.h"
#include "board/usb/queued_control.h"
#include "board/usb/usb_status.h"
#include "board/usb/vendor_control.h"

namespace kx::board::usb {
namespace {

constexpr std::size_t kListHeader = 4;
constexpr std::size_t kListEntry = 4;
constexpr std::size_t kListEntries = (sizeof(BoardList) - kListHeader) / kListEntry;

void FillList(const std::vector<FoundBoard>& boards, BoardList& list) {
  list.fill(0);
  const std::size_t described = std::min(boards.size(), kListEntries);
  list[0] = boards.empty() ? 0 : 1;
  list[1] = static_cast<std::uint8_t>(described);
  for (std::size_t n = 1; n <= described; ++n) {
    const FoundBoard& board = boards[n - 1];
    list[n * kListEntry] = board.at.bus;
    list[n * kListEntry + 1] = board.at.address;
    list[n * kListEntry + 2] = static_cast<std::uint8_t>(board.state);
  }
}

std::int16_t DownloadStatusFor(std::int16_t request_status) {
  return request_status == RequestNoAccess ? DownloadNoAccess : DownloadNoBoard;
}

// The board that came back, not the one that is still leaving: a board that
// was running already re-enumerates at a new address.
bool IsReturned(const FoundBoard& candidate, const FoundBoard& before) {
  if (candidate.state != BoardState::Running || candidate.place != before.place) {
    return false;
  }
  return before.state != BoardState::Running || candidate.at != before.at;
}

}  // namespace

UsbLinkLibrary::UsbLinkLibrary(std::unique_ptr<UsbContext> context, UsbOptions options,
                               OperatorPort& port)
    : context_(std::move(context)), options_(std::move(options)), port_(port) {}

// The session and the devices found hold libusb objects, so they must go
// before the context does.
UsbLinkLibrary::~UsbLinkLibrary() {
  session_ = Session{};
  found_.clear();
}

std::int16_t UsbLinkLibrary::Search(std::int32_t& number, BoardList* list) {
  BoardSearch search = FindBoards(context_->Get(), options_, followed_ ? &*followed_ : nullptr);
  found_ = std::move(search.boards);
  number = static_cast<std::int32_t>(found_.size());
  if (list != nullptr) {
    FillList(found_, *list);
  }
  if (search.libusb_error != 0) {
    last_problem_ =
        fmt::format("listing the USB devices failed: {}", libusb_strerror(search.libusb_error));
    return RequestIoError;
  }
  if (!found_.empty()) {
    last_problem_.clear();
  } else {
    last_problem_ = options_.serial ? NoSuchSerial() : "no board found";
  }
  return static_cast<std::int16_t>(
      std::min<std::size_t>(found_.size(), std::numeric_limits<std::int16_t>::max()));
}

// Names the serial asked for and what every board attached reports.
std::string UsbLinkLibrary::NoSuchSerial() {
  const AttachedBoards attached = Attached();
  std::vector<std::string> seen;
  for (const AttachedBoard& board : attached.boards) {
    const std::string place = fmt::format("{}:{}", *board.bus, *board.address);
    if (board.serial) {
      seen.push_back(fmt::format("\"{}\" at {}", *board.serial, place));
    } else if (!board.serial_problem.empty()) {
      seen.push_back(fmt::format("one at {} whose serial could not be read ({})", place,
                                 board.serial_problem));
    } else {
      seen.push_back(fmt::format("one at {} reporting no serial{}", place,
                                 board.running ? "" : " (waiting for its firmware)"));
    }
  }
  std::string boards;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    boards += (i == 0 ? "" : i + 1 == seen.size() ? " and " : ", ") + seen[i];
  }
  return fmt::format("no board with USB serial \"{}\"; {}", *options_.serial,
                     seen.empty() ? "no board is attached" : "attached: " + boards);
}

AttachedBoards UsbLinkLibrary::Attached() {
  UsbOptions any = options_;
  any.bus_address.reset();
  any.serial.reset();
  BoardSearch search = FindBoards(context_->Get(), any, nullptr);
  AttachedBoards attached;
  if (search.libusb_error != 0) {
    attached.error =
        fmt::format("listing the USB devices failed: {}", libusb_strerror(search.libusb_error));
    return attached;
  }
  for (FoundBoard& board : search.boards) {
    // The board this library holds open is not opened a second time.
    const bool open = session_.device && session_.board && session_.board->at == board.at &&
                      session_.board->serial;
    const SerialRead serial = open ? *session_.board->serial : ReadSerial(board);
    attached.boards.push_back({board.at.bus, board.at.address, board.state == BoardState::Running,
                               options_.loader, options_.running, serial.serial, serial.problem});
  }
  return attached;
}

std::optional<std::string> UsbLinkLibrary::ConnectedSerial() const {
  if (!session_.board || !session_.board->serial) {
    return std::nullopt;
  }
  return session_.board->serial->serial;
}

std::int16_t UsbLinkLibrary::Search_For_Boards(std::int32_t, std::int32_t, std::int32_t& number,
                                               BoardList& list) {
  return Search(number, &list);
}

std::int16_t UsbLinkLibrary::ConnectTo(std::int32_t board) {
  current_handle_ = next_handle_;
  next_handle_ = next_handle_ == std::numeric_limits<std::int32_t>::max() ? 1 : next_handle_ + 1;
  session_ = Session{};
  if (board < 1 || static_cast<std::size_t>(board) > found_.size()) {
    session_.closed_reason = RequestNoBoard;
    // After a search that found none, why it found none says more.
    if (!found_.empty() || last_problem_.empty()) {
      last_problem_ = fmt::format("no board number {} in the latest search", board);
    }
    return RequestNoBoard;
  }
  session_.board = found_[static_cast<std::size_t>(board) - 1];
  return OpenSessionBoard();
}

std::int16_t UsbLinkLibrary::OpenSessionBoard() {
  const int opened = OpenDevice::Open(session_.board->device, session_.device);
  if (opened == LIBUSB_SUCCESS) {
    if (!session_.board->serial) {
      session_.board->serial = ReadSerial(session_.device.Get(), session_.board->serial_index);
    }
    session_.closed_reason = 0;
    last_problem_.clear();
    return 0;
  }
  session_.closed_reason = RequestStatusFromLibusb(opened);
  last_problem_ = fmt::format("opening the board at {}:{} failed: {}", session_.board->at.bus,
                              session_.board->at.address, libusb_strerror(opened));
  if (session_.closed_reason == RequestNoAccess) {
    TellNoAccess(session_.board->at);
  }
  return session_.closed_reason;
}

std::int16_t UsbLinkLibrary::Connect(std::int32_t, std::int32_t, std::int32_t board,
                                     std::int32_t& handle) {
  const std::int16_t status = ConnectTo(board);
  handle = current_handle_;
  return status;
}

std::int16_t UsbLinkLibrary::Download_Firmware(std::int32_t handle, const char* path) {
  if (current_handle_ == 0 || handle != current_handle_) {
    last_problem_ = fmt::format("handle {} was not handed out by the latest Connect", handle);
    return DownloadBadHandle;
  }
  return Download(path);
}

std::int16_t UsbLinkLibrary::LoadFirmWare(const char* path) {
  std::int32_t number = 0;
  Search(number, nullptr);
  if (found_.empty()) {
    ConnectTo(0);
    return LoadFirmWareStatus(DownloadNoBoard);
  }
  if (const std::int16_t connected = ConnectTo(1); connected < 0) {
    return LoadFirmWareStatus(DownloadStatusFor(connected));
  }
  return LoadFirmWareStatus(Download(path));
}

std::int16_t UsbLinkLibrary::Download(const char* path) {
  if (!session_.board) {
    return DownloadNoBoard;
  }
  if (!session_.device) {
    return DownloadStatusFor(session_.closed_reason);
  }
  // Everything about the image is checked before the board is touched.
  const HexParseResult image = LoadIntelHexFile(path == nullptr ? std::string() : path);
  if (!image.image) {
    last_problem_ = image.error;
    return DownloadBadImage;
  }
  FirmwareChunks chunks = SplitIntoChunks(*image.image);
  if (!chunks.error.empty()) {
    last_problem_ = fmt::format("{}: {}", path, chunks.error);
    return DownloadBadImage;
  }

  const LoaderOutcome written =
      WriteFirmware(session_.device.Get(), chunks.chunks, options_.timings);
  if (written.status != DownloadOk) {
    last_problem_ = written.problem;
    if (written.status == DownloadNoBoard) {
      DropDevice(RequestNoBoard);
    }
    return written.status;
  }

  // The old handle dies with the old device; the board comes back as a new
  // device on the same port.
  const FoundBoard before = *session_.board;
  DropDevice(RequestNoBoard);
  std::optional<FoundBoard> returned = AwaitReturn(before);
  if (!returned) {
    session_.board.reset();
    last_problem_ = fmt::format("the board did not come back running its firmware within {} ms",
                                options_.timings.return_wait.count());
    return DownloadNoReturn;
  }
  session_.board = std::move(returned);
  followed_ = before.place;
  const std::int16_t reopened = OpenSessionBoard();
  if (reopened == RequestNoAccess) {
    return DownloadNoAccess;
  }
  return reopened < 0 ? DownloadReopenFailed : DownloadOk;
}

std::optional<FoundBoard> UsbLinkLibrary::AwaitReturn(const FoundBoard& before) {
  const auto deadline = std::chrono::steady_clock::now() + options_.timings.return_wait;
  // Looked for by place alone: the options' bus:address named the board as
  // it was before it re-enumerated, and its loader may report no serial.
  UsbOptions any_place = options_;
  any_place.bus_address.reset();
  any_place.serial.reset();
  while (true) {
    BoardSearch search = FindBoards(context_->Get(), any_place, nullptr);
    for (FoundBoard& candidate : search.boards) {
      if (IsReturned(candidate, before)) {
        return std::move(candidate);
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return std::nullopt;
    }
    std::this_thread::sleep_for(options_.timings.poll_interval);
  }
}

void UsbLinkLibrary::DropDevice(std::int16_t reason) {
  session_.device = OpenDevice{};
  session_.closed_reason = reason;
}

std::int16_t UsbLinkLibrary::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                            std::int32_t value, std::int32_t index,
                                            std::uint8_t direction, std::int32_t length,
                                            std::uint8_t* buffer) {
  if (current_handle_ == 0 || handle != current_handle_) {
    return RequestBadHandle;
  }
  return Request(request, value, index, direction, length, buffer);
}

std::int16_t UsbLinkLibrary::VendorIORequest(std::int16_t request, std::int32_t value,
                                             std::int32_t index, std::int16_t direction,
                                             std::int16_t length, std::uint8_t* buffer) {
  if (current_handle_ == 0) {
    return RequestNoBoard;
  }
  return Request(request, value, index, direction, length, buffer);
}

std::int16_t UsbLinkLibrary::Request(int request, std::int32_t value, std::int32_t index,
                                     int direction, int length, std::uint8_t* buffer) {
  const bool in = direction == DirectionIn;
  if (request < 0 || request > 0xFF || (!in && direction != DirectionOut) ||
      (in && (length < 0 || length > MaxRequestLength || (length > 0 && buffer == nullptr)))) {
    return RequestBadArgument;
  }
  if (!session_.board) {
    return RequestNoBoard;
  }
  if (!session_.device) {
    return session_.closed_reason;
  }
  if (session_.board->state == BoardState::Loader) {
    return RequestNotBooted;
  }
  // The setup packet carries the low halves; the board puts a DAC or ADC
  // word back together from them.
  const auto code = static_cast<std::uint8_t>(request);
  const auto setup_value = static_cast<std::uint16_t>(value & 0xFFFF);
  const auto setup_index = static_cast<std::uint16_t>(index & 0xFFFF);
  const int result =
      in ? VendorIn(session_.device.Get(), code, setup_value, setup_index,
                    std::span<std::uint8_t>(buffer, static_cast<std::size_t>(length)),
                    options_.timings.request_timeout)
         : VendorOut(session_.device.Get(), code, setup_value, setup_index, {},
                     options_.timings.request_timeout);
  if (result == RequestNoBoard) {
    // Unplugged: later requests fail at once instead of asking libusb again.
    DropDevice(RequestNoBoard);
  }
  return static_cast<std::int16_t>(result);
}

std::size_t UsbLinkLibrary::Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) {
  if (batch.fields.empty()) {
    return 0;
  }
  if (current_handle_ == 0 || handle != current_handle_) {
    batch.statuses[0] = RequestBadHandle;
    return 1;
  }
  return RequestBatch(batch);
}

std::size_t UsbLinkLibrary::VendorIORequestBatch(const InBatch& batch) {
  if (batch.fields.empty()) {
    return 0;
  }
  if (current_handle_ == 0) {
    batch.statuses[0] = RequestNoBoard;
    return 1;
  }
  return RequestBatch(batch);
}

// Whatever keeps the queue from starting fails the first request, with the
// status the single call would give.
std::size_t UsbLinkLibrary::RequestBatch(const InBatch& batch) {
  const auto refuse = [&](std::int16_t status) {
    batch.statuses[0] = status;
    return std::size_t{1};
  };
  const bool codes_fit = std::all_of(batch.writes.begin(), batch.writes.end(),
                                     [](std::int16_t code) { return code >= 0 && code <= 0xFF; });
  if (!BatchFits(batch) || batch.request < 0 || batch.request > 0xFF || !codes_fit ||
      batch.length > MaxRequestLength) {
    return batch.statuses.empty() ? 0 : refuse(RequestBadArgument);
  }
  if (!session_.board) {
    return refuse(RequestNoBoard);
  }
  if (!session_.device) {
    return refuse(session_.closed_reason);
  }
  if (session_.board->state == BoardState::Loader) {
    return refuse(RequestNotBooted);
  }
  const std::size_t made =
      options_.transfer_window <= 1
          ? RunBatchOneByOne(batch,
                             [&](BatchRequest request, std::int32_t value, std::int32_t index,
                                 std::uint8_t* buffer) {
                               return Request(request.code, value, index,
                                              request.reads ? DirectionIn : DirectionOut,
                                              request.reads ? batch.length : 0, buffer);
                             })
          : VendorInQueued(context_->Get(), session_.device.Get(), batch, options_.transfer_window,
                           options_.timings.request_timeout);
  if (made > 0 && batch.statuses[made - 1] == RequestNoBoard) {
    // Unplugged: later requests fail at once instead of asking libusb again.
    // Every transfer on the device was reaped before the queue returned.
    DropDevice(RequestNoBoard);
  }
  return made;
}

void UsbLinkLibrary::TellNoAccess(const UsbBusAddress& at) {
  if (access_told_) {
    return;
  }
  access_told_ = true;
  port_.ShowMessage(NoAccessMessage(at), NoAccessTitle, MessageIcon::Exclamation);
}

OpenedUsbLinkLibrary OpenUsbLinkLibrary(const UsbOptions& options, OperatorPort& port) {
  UsbContext::Created created = UsbContext::Create();
  OpenedUsbLinkLibrary opened;
  if (!created.context) {
    opened.error = std::move(created.error);
    return opened;
  }
  opened.library = std::make_unique<UsbLinkLibrary>(std::move(created.context), options, port);
  return opened;
}

}  // namespace kx::board::usb
