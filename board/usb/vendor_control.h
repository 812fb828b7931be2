#pragma once

#include <chrono>
#include <cstdint>
#include <span>

struct libusb_device_handle;

namespace kx::board::usb {

// The longest answer a request may ask for; usbfs takes control transfers of
// up to one page everywhere.
inline constexpr int MaxRequestLength = 4096;

// One vendor request to the device itself, host to device. `data` is the
// data stage; empty means none. Returns the bytes sent, or a negative request
// status (usb_status.h).
int VendorOut(libusb_device_handle* handle, std::uint8_t request, std::uint16_t value,
              std::uint16_t index, std::span<const std::uint8_t> data,
              std::chrono::milliseconds timeout);

// One vendor request to the device itself, device to host, of `reply.size()`
// bytes. Returns the bytes received, which is all of them, or a negative
// request status (RequestShortReply when the device sent fewer); `reply` is
// written only on success.
int VendorIn(libusb_device_handle* handle, std::uint8_t request, std::uint16_t value,
             std::uint16_t index, std::span<std::uint8_t> reply, std::chrono::milliseconds timeout);

// The request status for a libusb error code.
std::int16_t RequestStatusFromLibusb(int libusb_error);

}  // namespace kx::board::usb
