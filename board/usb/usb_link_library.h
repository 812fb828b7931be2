#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/board_directory.h"
#include "board/cvn_cyusb_usb4.h"
#include "board/operator_port.h"
#include "board/usb/usb_context.h"
#include "board/usb/usb_device.h"
#include "board/usb/usb_options.h"
#include "board/usb_board_io.h"

namespace kx::board::usb {

// Names the backend when the programs fall back to MissingLinkLibrary.
inline constexpr const char* UsbLibraryName = "libusb-1.0";

// Both link libraries on libusb, for a board on a USB port of this machine.
// Statuses are in usb_status.h.
//
// Search_For_Boards looks for the identifiers in the options, not the ones it
// is passed: the panel always passes the board's default identifier, and the
// options may name another. It fills the list as follows and returns the
// number of boards found (negative when the bus cannot be listed):
//   byte 0      number of the board Connect will open: 1, or 0 for none
//   byte 1      how many boards are described below (at most 31)
//   bytes 4n..  board n (1 to 31): bus, address, state (1 running its
//               firmware, 2 waiting for firmware), 0
// Connect opens board `board` of the latest search and hands out a new
// handle every call; the handle before it is closed and no longer accepted.
// Download_Firmware and LoadFirmWare load an Intel HEX image through the
// microcontroller's loader and follow the board while it re-enumerates with
// the running identifier. LoadFirmWare searches and connects by itself;
// VendorIORequest goes to the board it left open.
//
// A board found that this user may not open is told to the operator once,
// with the udev rule that fixes it.
//
// As a directory it lists every board with either identifier, whatever the
// options choose, and names the serial of the board it connected, read once
// the device is open.
class UsbLinkLibrary final : public CvnCyusbUsb4, public UsbBoardIo, public BoardDirectory {
 public:
  UsbLinkLibrary(std::unique_ptr<UsbContext> context, UsbOptions options, OperatorPort& port);
  ~UsbLinkLibrary() override;
  UsbLinkLibrary(const UsbLinkLibrary&) = delete;
  UsbLinkLibrary& operator=(const UsbLinkLibrary&) = delete;

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;

  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;

  // Queued: up to options.transfer_window requests in flight at once (see
  // queued_control.h); the statuses are those of the single calls.
  std::size_t Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) override;
  std::size_t VendorIORequestBatch(const InBatch& batch) override;

  AttachedBoards Attached() override;
  std::optional<std::string> ConnectedSerial() const override;

  // What went wrong in the latest failed search, connect or download, in one
  // line (empty after a success): for a log or the command-line tool.
  const std::string& LastProblem() const { return last_problem_; }

  const UsbOptions& Options() const { return options_; }
  // For a benchmark that compares windows on one board.
  void SetTransferWindow(int window) { options_.transfer_window = window; }

 private:
  // What the latest handle points at.
  struct Session {
    std::optional<FoundBoard> board;  // none: the handle names no board
    OpenDevice device;                // closed when it could not be opened or went away
    std::int16_t closed_reason = 0;   // the request status while `device` is closed
  };

  std::int16_t Search(std::int32_t& number, BoardList* list);
  std::string NoSuchSerial();
  std::int16_t ConnectTo(std::int32_t board);
  std::int16_t OpenSessionBoard();
  std::int16_t Download(const char* path);
  std::optional<FoundBoard> AwaitReturn(const FoundBoard& before);
  std::int16_t Request(int request, std::int32_t value, std::int32_t index, int direction,
                       int length, std::uint8_t* buffer);
  std::size_t RequestBatch(const InBatch& batch);
  void DropDevice(std::int16_t reason);
  void TellNoAccess(const UsbBusAddress& at);

  std::unique_ptr<UsbContext> context_;
  UsbOptions options_;
  OperatorPort& port_;
  std::vector<FoundBoard> found_;
  std::int32_t next_handle_ = 1;
  std::int32_t current_handle_ = 0;  // 0: Connect was never called
  Session session_;
  std::optional<PortPlace> followed_;  // where a board re-enumerated under our hands
  bool access_told_ = false;
  std::string last_problem_;
};

// The backend, or why libusb could not start; the programs then use
// MissingLinkLibrary(UsbLibraryName, error, port).
struct OpenedUsbLinkLibrary {
  std::unique_ptr<UsbLinkLibrary> library;
  std::string error;
};

OpenedUsbLinkLibrary OpenUsbLinkLibrary(const UsbOptions& options, OperatorPort& port);

}  // namespace kx::board::usb
