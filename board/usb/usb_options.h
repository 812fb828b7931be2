#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_model.h"

namespace kx::board::usb {

using board::UsbId;

// Where a device sits right now: bus number and device address, as lsusb
// shows them ("Bus 001 Device 005" is 1:5).
struct UsbBusAddress {
  std::uint8_t bus = 0;
  std::uint8_t address = 0;
  friend bool operator==(const UsbBusAddress&, const UsbBusAddress&) = default;
};

// The board answers with the loader's identifier while its microcontroller
// still waits for firmware; once the firmware runs it comes back with the
// running one.
inline constexpr UsbId DefaultRunningId = KX7312Board.running_id;
inline constexpr UsbId DefaultLoaderId = KX7312Board.loader_id;

// How long the backend waits for the board. Fixed for the programs; tests
// shorten the waits for a board that never comes back.
struct UsbTimings {
  std::chrono::milliseconds request_timeout{1000};
  std::chrono::milliseconds chunk_timeout{1000};
  int chunk_attempts = 3;                       // per firmware chunk, retried on time-out only
  std::chrono::milliseconds return_wait{3000};  // for the board to come back after the download
  std::chrono::milliseconds poll_interval{20};
};

// ADC transfers of a capture kept in flight at once on the control pipe
// (see the README, "Real board on Linux"). 1 or less sends them one at a
// time, each a synchronous request as a single transfer is.
inline constexpr int DefaultTransferWindow = 16;

struct UsbOptions {
  UsbId running = DefaultRunningId;
  UsbId loader = DefaultLoaderId;
  // Only the board at this place (and, after its download, wherever it comes
  // back on the same port); none: the first board found.
  std::optional<UsbBusAddress> bus_address;
  // Only the board that reports this USB serial number (and, after its
  // download, wherever it comes back on the same port, where its loader
  // reports none); none: any.
  std::optional<std::string> serial;
  UsbTimings timings;
  int transfer_window = DefaultTransferWindow;
};

// The command-line options of the backend, for the programs' option parser.
inline constexpr std::string_view UsbIdOption = "--usb-id";
inline constexpr std::string_view UsbLoaderIdOption = "--usb-loader-id";
inline constexpr std::string_view UsbBusOption = "--usb-bus";
inline constexpr std::string_view UsbSerialOption = "--usb-serial";

struct UsbOptionHelp {
  std::string_view option;
  std::string_view value_name;
  std::string_view text;
};

inline constexpr std::array<UsbOptionHelp, 4> UsbOptionHelps = {{
    {UsbIdOption, "VID:PID",
     "USB identifier of the board running its firmware, in hexadecimal (default 1234:7312)"},
    {UsbLoaderIdOption, "VID:PID",
     "USB identifier of the board waiting for its firmware, in hexadecimal (default 1234:7310)"},
    {UsbBusOption, "BUS:ADDR",
     "use only the board at this USB bus and device address, in decimal as lsusb shows them"},
    {UsbSerialOption, "TEXT",
     "use only the board with this USB serial number, as kx7312ctl list shows it"},
}};

// The longest serial number a board can report: a string descriptor holds
// at most 126 UTF-16 characters.
inline constexpr std::size_t LongestUsbSerial = 126;

// Either a value or a one-line reason that names the option and the text.
template <typename T>
struct UsbOptionParse {
  std::optional<T> value;
  std::string error;
};

// "1234:7312", "0x1234:0x7312": two hexadecimal numbers of 1 to 4 digits.
// `option` only names the option in the error text.
UsbOptionParse<UsbId> ParseUsbId(std::string_view text, std::string_view option = UsbIdOption);

// "1:5": bus 1 to 255 and address 1 to 127, decimal.
UsbOptionParse<UsbBusAddress> ParseUsbBusAddress(std::string_view text,
                                                 std::string_view option = UsbBusOption);

// Printable ASCII, 1 to LongestUsbSerial characters: what libusb's ASCII
// reading of a serial can give.
UsbOptionParse<std::string> ParseUsbSerial(std::string_view text,
                                           std::string_view option = UsbSerialOption);

bool IsUsbOption(std::string_view option);

// Parses `text` as the value of one of the options and stores it in
// `options`. Returns the error text, empty on success; `options` is left
// unchanged on error.
std::string ApplyUsbOption(UsbOptions& options, std::string_view option, std::string_view text);

}  // namespace kx::board::usb
