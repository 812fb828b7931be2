#include "board/usb/usb_device.h"

#include <fmt/format.h>
#include <libusb.h>

#include <algorithm>
#include <array>
#include <optional>
#include <tuple>
#include <utility>

namespace kx::board::usb {
namespace {

// USB 3 allows hub chains seven deep.
constexpr int kMaxPortDepth = 7;

struct DeviceList {
  libusb_device** devices = nullptr;
  ~DeviceList() {
    if (devices != nullptr) {
      libusb_free_device_list(devices, 1);
    }
  }
  DeviceList() = default;
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
};

std::optional<BoardState> StateOf(const libusb_device_descriptor& descriptor,
                                  const UsbOptions& options) {
  const UsbId id{descriptor.idVendor, descriptor.idProduct};
  if (id == options.running) {
    return BoardState::Running;
  }
  if (id == options.loader) {
    return BoardState::Loader;
  }
  return std::nullopt;
}

PortPlace PlaceOf(libusb_device* device) {
  std::array<std::uint8_t, kMaxPortDepth> ports{};
  const int depth = libusb_get_port_numbers(device, ports.data(), kMaxPortDepth);
  PortPlace place;
  place.bus = libusb_get_bus_number(device);
  if (depth > 0) {
    place.ports.assign(ports.begin(), ports.begin() + depth);
  }
  return place;
}

bool Wanted(FoundBoard& board, const UsbOptions& options, const PortPlace* followed) {
  const bool at_followed = followed != nullptr && board.place == *followed;
  if (options.bus_address && board.at != *options.bus_address && !at_followed) {
    return false;
  }
  if (!options.serial) {
    return true;
  }
  board.serial = ReadSerial(board);
  if (board.serial->serial) {
    return *board.serial->serial == *options.serial;
  }
  return at_followed && board.serial->problem.empty();
}

}  // namespace

SerialRead ReadSerial(libusb_device_handle* handle, std::uint8_t serial_index) {
  if (serial_index == 0) {
    return {};
  }
  // A string descriptor holds at most 126 characters; libusb makes them ASCII.
  std::array<unsigned char, 128> text{};
  const int length = libusb_get_string_descriptor_ascii(handle, serial_index, text.data(),
                                                        static_cast<int>(text.size()));
  if (length < 0) {
    return {std::nullopt, fmt::format("reading it failed: {}", libusb_strerror(length))};
  }
  return {std::string(text.begin(), text.begin() + length), {}};
}

SerialRead ReadSerial(const FoundBoard& board) {
  if (board.serial_index == 0) {
    return {};
  }
  libusb_device_handle* handle = nullptr;
  if (const int opened = libusb_open(board.device.Get(), &handle); opened != LIBUSB_SUCCESS) {
    return {std::nullopt, fmt::format("opening it failed: {}", libusb_strerror(opened))};
  }
  SerialRead read = ReadSerial(handle, board.serial_index);
  libusb_close(handle);
  return read;
}

DeviceRef::DeviceRef(libusb_device* device)
    : device_(device == nullptr ? nullptr : libusb_ref_device(device)) {}

DeviceRef::DeviceRef(const DeviceRef& other) : DeviceRef(other.Get()) {}

DeviceRef& DeviceRef::operator=(const DeviceRef& other) {
  if (this != &other) {
    device_.reset(other.Get() == nullptr ? nullptr : libusb_ref_device(other.Get()));
  }
  return *this;
}

void DeviceRef::Unref::operator()(libusb_device* device) const {
  libusb_unref_device(device);
}

BoardSearch FindBoards(libusb_context* context, const UsbOptions& options,
                       const PortPlace* followed) {
  BoardSearch search;
  DeviceList list;
  const ssize_t count = libusb_get_device_list(context, &list.devices);
  if (count < 0) {
    search.libusb_error = static_cast<int>(count);
    return search;
  }
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = list.devices[i];
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
      continue;
    }
    const std::optional<BoardState> state = StateOf(descriptor, options);
    if (!state) {
      continue;
    }
    FoundBoard board{DeviceRef(device),
                     {libusb_get_bus_number(device), libusb_get_device_address(device)},
                     PlaceOf(device),
                     *state,
                     descriptor.iSerialNumber,
                     std::nullopt};
    if (!Wanted(board, options, followed)) {
      continue;
    }
    search.boards.push_back(std::move(board));
  }
  std::sort(search.boards.begin(), search.boards.end(),
            [](const FoundBoard& a, const FoundBoard& b) {
              return std::tie(a.at.bus, a.at.address) < std::tie(b.at.bus, b.at.address);
            });
  return search;
}

OpenDevice::OpenDevice(OpenDevice&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      claimed_(std::exchange(other.claimed_, false)) {}

OpenDevice& OpenDevice::operator=(OpenDevice&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
    claimed_ = std::exchange(other.claimed_, false);
  }
  return *this;
}

OpenDevice::~OpenDevice() {
  Close();
}

void OpenDevice::Close() {
  if (handle_ == nullptr) {
    return;
  }
  if (claimed_) {
    libusb_release_interface(handle_, 0);
  }
  libusb_close(handle_);
  handle_ = nullptr;
  claimed_ = false;
}

int OpenDevice::Open(const DeviceRef& device, OpenDevice& out) {
  out.Close();
  libusb_device_handle* handle = nullptr;
  const int result = libusb_open(device.Get(), &handle);
  if (result != LIBUSB_SUCCESS) {
    return result;
  }
  // A kernel driver bound to the board would fight us over it; libusb gives
  // it back when the interface is released.
  libusb_set_auto_detach_kernel_driver(handle, 1);
  out.handle_ = handle;
  out.claimed_ = libusb_claim_interface(handle, 0) == LIBUSB_SUCCESS;
  return LIBUSB_SUCCESS;
}

}  // namespace kx::board::usb
