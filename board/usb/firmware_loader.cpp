#include "board/usb/firmware_loader.h"

#include <fmt/format.h>

#include <array>

#include "board/usb/usb_status.h"
#include "board/usb/vendor_control.h"

namespace kx::board::usb {
namespace {

int WriteCpuControl(libusb_device_handle* handle, std::uint8_t value, const UsbTimings& timings) {
  const std::array<std::uint8_t, 1> data = {value};
  return VendorOut(handle, LoaderRequest, CpuControlRegister, 0, data, timings.request_timeout);
}

// A chunk is retried only when the board did not answer in time: a refusal
// or a vanished board will not change its mind.
int WriteChunk(libusb_device_handle* handle, const FirmwareChunk& chunk,
               const UsbTimings& timings) {
  int result = RequestTimedOut;
  for (int attempt = 0; attempt < timings.chunk_attempts && result == RequestTimedOut; ++attempt) {
    result = VendorOut(handle, LoaderRequest, chunk.address, 0, chunk.bytes, timings.chunk_timeout);
  }
  if (result >= 0 && static_cast<std::size_t>(result) != chunk.bytes.size()) {
    result = RequestIoError;  // the board took only part of the chunk
  }
  return result;
}

LoaderOutcome Failed(int request_status, std::int16_t step_status, std::string what) {
  const auto status = static_cast<std::int16_t>(request_status);
  return {status == RequestNoBoard ? DownloadNoBoard : step_status,
          fmt::format("{}: {}", what, RequestStatusMeaning(status))};
}

}  // namespace

LoaderOutcome WriteFirmware(libusb_device_handle* handle, const std::vector<FirmwareChunk>& chunks,
                            const UsbTimings& timings) {
  if (const int held = WriteCpuControl(handle, CpuHoldInReset, timings); held < 0) {
    return Failed(held, DownloadResetFailed, "holding the CPU in reset failed");
  }
  for (const FirmwareChunk& chunk : chunks) {
    if (const int written = WriteChunk(handle, chunk, timings); written < 0) {
      return Failed(
          written, DownloadWriteFailed,
          fmt::format("writing {} bytes at 0x{:04X} failed", chunk.bytes.size(), chunk.address));
    }
  }
  WriteCpuControl(handle, CpuRun, timings);
  return {};
}

}  // namespace kx::board::usb
