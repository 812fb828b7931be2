#include "board/usb/vendor_control.h"

#include <libusb.h>

#include <algorithm>
#include <vector>

#include "board/usb/usb_status.h"

namespace kx::board::usb {
namespace {

constexpr std::uint8_t RequestType(unsigned direction) {
  return static_cast<std::uint8_t>(direction | unsigned{LIBUSB_REQUEST_TYPE_VENDOR} |
                                   unsigned{LIBUSB_RECIPIENT_DEVICE});
}

constexpr std::uint8_t kVendorToDevice = RequestType(LIBUSB_ENDPOINT_OUT);
constexpr std::uint8_t kVendorFromDevice = RequestType(LIBUSB_ENDPOINT_IN);

unsigned TimeoutMs(std::chrono::milliseconds timeout) {
  // libusb takes 0 as "wait for ever"; a request must always end.
  return static_cast<unsigned>(std::max<std::chrono::milliseconds::rep>(timeout.count(), 1));
}

}  // namespace

std::int16_t RequestStatusFromLibusb(int libusb_error) {
  switch (libusb_error) {
    case LIBUSB_ERROR_PIPE:
      return RequestStalled;
    case LIBUSB_ERROR_TIMEOUT:
      return RequestTimedOut;
    case LIBUSB_ERROR_NO_DEVICE:
      return RequestNoBoard;
    case LIBUSB_ERROR_ACCESS:
      return RequestNoAccess;
    default:
      return RequestIoError;
  }
}

int VendorOut(libusb_device_handle* handle, std::uint8_t request, std::uint16_t value,
              std::uint16_t index, std::span<const std::uint8_t> data,
              std::chrono::milliseconds timeout) {
  // libusb wants a mutable buffer even for data it only sends.
  std::vector<std::uint8_t> stage(data.begin(), data.end());
  const int result = libusb_control_transfer(
      handle, kVendorToDevice, request, value, index, stage.empty() ? nullptr : stage.data(),
      static_cast<std::uint16_t>(stage.size()), TimeoutMs(timeout));
  return result < 0 ? RequestStatusFromLibusb(result) : result;
}

int VendorIn(libusb_device_handle* handle, std::uint8_t request, std::uint16_t value,
             std::uint16_t index, std::span<std::uint8_t> reply,
             std::chrono::milliseconds timeout) {
  // libusb copies whatever arrived, even for a failed transfer; the caller's
  // buffer only sees a complete answer.
  std::vector<std::uint8_t> stage(reply.size());
  const int result = libusb_control_transfer(
      handle, kVendorFromDevice, request, value, index, stage.empty() ? nullptr : stage.data(),
      static_cast<std::uint16_t>(stage.size()), TimeoutMs(timeout));
  if (result < 0) {
    return RequestStatusFromLibusb(result);
  }
  // libusb takes a short answer as a good one; the reply's missing bytes
  // would then be whatever the caller left in its buffer.
  if (static_cast<std::size_t>(result) < reply.size()) {
    return RequestShortReply;
  }
  std::copy_n(stage.begin(), result, reply.begin());
  return result;
}

}  // namespace kx::board::usb
