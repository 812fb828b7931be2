#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "board/usb/usb_options.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;

namespace kx::board::usb {

// A counted reference to a device seen on the bus; it stays valid after the
// device list it came from is freed, even once the device is unplugged.
class DeviceRef {
 public:
  DeviceRef() = default;
  explicit DeviceRef(libusb_device* device);  // takes a new reference
  DeviceRef(const DeviceRef& other);
  DeviceRef& operator=(const DeviceRef& other);
  DeviceRef(DeviceRef&&) noexcept = default;
  DeviceRef& operator=(DeviceRef&&) noexcept = default;
  ~DeviceRef() = default;

  libusb_device* Get() const { return device_.get(); }

 private:
  struct Unref {
    void operator()(libusb_device* device) const;
  };
  std::unique_ptr<libusb_device, Unref> device_;
};

// The physical place of a device: its bus and the chain of hub ports leading
// to it. Unlike the address, it stays the same when the board re-enumerates.
struct PortPlace {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> ports;
  friend bool operator==(const PortPlace&, const PortPlace&) = default;
};

enum class BoardState : std::uint8_t { Running = 1, Loader = 2 };

// A board's USB serial number string: none where its device descriptor
// names none, or where it could not be read (`problem` says why).
struct SerialRead {
  std::optional<std::string> serial;
  std::string problem;
};

struct FoundBoard {
  DeviceRef device;
  UsbBusAddress at;
  PortPlace place;
  BoardState state = BoardState::Running;
  std::uint8_t serial_index = 0;     // iSerialNumber: 0 when it reports none
  std::optional<SerialRead> serial;  // none: not read yet
};

struct BoardSearch {
  std::vector<FoundBoard> boards;  // by bus, then address
  int libusb_error = 0;            // listing the bus failed
};

// Every device with the running or the loader identifier. With a bus:address
// in the options only the device there, or the one at `followed` (the place
// of a board that re-enumerated under this library's hands). With a serial
// only the device reporting it, or a device at `followed` reporting none
// (a loader after the board's firmware was lost); the serial of every
// candidate is read then, opening it for a moment.
BoardSearch FindBoards(libusb_context* context, const UsbOptions& options,
                       const PortPlace* followed);

// Opens the device for a moment to read its serial.
SerialRead ReadSerial(const FoundBoard& board);
// The serial read on a device already open.
SerialRead ReadSerial(libusb_device_handle* handle, std::uint8_t serial_index);

// An open device, closed (its interface released) when the object goes.
class OpenDevice {
 public:
  OpenDevice() = default;
  OpenDevice(OpenDevice&& other) noexcept;
  OpenDevice& operator=(OpenDevice&& other) noexcept;
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;
  ~OpenDevice();

  libusb_device_handle* Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

  // Opens the device and claims interface 0 if it can; the board's vendor
  // requests go to the device itself and work without the claim. Returns the
  // libusb error on failure, leaving `out` closed.
  static int Open(const DeviceRef& device, OpenDevice& out);

 private:
  void Close();

  libusb_device_handle* handle_ = nullptr;
  bool claimed_ = false;
};

}  // namespace kx::board::usb
