#include "board/trace/link_trace.h"

#include <fmt/format.h>

#include <string>

namespace kx::board::trace {

namespace {

// The request fields common to both libraries, from "code=" to "status=",
// then the buffer as it stands after the call when data came in.
std::string RequestFields(unsigned code, std::int32_t value, std::int32_t index, int direction,
                          int length, const std::uint8_t* buffer, std::int16_t status) {
  std::string line =
      fmt::format("code=0x{:02X} value=0x{:04X} index={} dir={} len={} status={}", code,
                  static_cast<std::uint32_t>(value), index, direction, length, status);
  if (direction == 1) {
    line += " data=";
    if (buffer != nullptr) {
      for (int i = 0; i < length; ++i) {
        line += fmt::format("{:02X}", buffer[i]);
      }
    }
  }
  return line;
}

std::string PathText(const char* path) {
  return path == nullptr ? std::string() : path;
}

}  // namespace

void TraceSink::WriteLine(std::string_view line) {
  if (failed_) {
    return;
  }
  out_ << line << '\n';
  out_.flush();
  failed_ = !out_;
}

std::int16_t TracingCvnCyusbUsb4::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                                    std::int32_t& number, BoardList& list) {
  const std::int16_t result = inner_.Search_For_Boards(vendor, product, number, list);
  sink_.WriteLine(fmt::format("search vendor=0x{:04X} product=0x{:04X} found={}",
                              static_cast<std::uint32_t>(vendor),
                              static_cast<std::uint32_t>(product), list[0]));
  return result;
}

std::int16_t TracingCvnCyusbUsb4::Connect(std::int32_t vendor, std::int32_t product,
                                          std::int32_t board, std::int32_t& handle) {
  const std::int16_t result = inner_.Connect(vendor, product, board, handle);
  sink_.WriteLine(fmt::format("connect vendor=0x{:04X} product=0x{:04X} board={} handle={}",
                              static_cast<std::uint32_t>(vendor),
                              static_cast<std::uint32_t>(product), board, handle));
  return result;
}

std::int16_t TracingCvnCyusbUsb4::Download_Firmware(std::int32_t handle, const char* path) {
  const std::int16_t status = inner_.Download_Firmware(handle, path);
  sink_.WriteLine(
      fmt::format("download handle={} status={} path={}", handle, status, PathText(path)));
  return status;
}

std::int16_t TracingCvnCyusbUsb4::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                                 std::int32_t value, std::int32_t index,
                                                 std::uint8_t direction, std::int32_t length,
                                                 std::uint8_t* buffer) {
  const std::int16_t status =
      inner_.Vendor_Request(handle, request, value, index, direction, length, buffer);
  sink_.WriteLine(
      fmt::format("request handle={} {}", handle,
                  RequestFields(request, value, index, direction, length, buffer, status)));
  return status;
}

std::int16_t TracingUsbBoardIo::LoadFirmWare(const char* path) {
  const std::int16_t status = inner_.LoadFirmWare(path);
  sink_.WriteLine(fmt::format("loadfirmware status={} path={}", status, PathText(path)));
  return status;
}

std::int16_t TracingUsbBoardIo::VendorIORequest(std::int16_t request, std::int32_t value,
                                                std::int32_t index, std::int16_t direction,
                                                std::int16_t length, std::uint8_t* buffer) {
  const std::int16_t status =
      inner_.VendorIORequest(request, value, index, direction, length, buffer);
  sink_.WriteLine("request " + RequestFields(static_cast<std::uint16_t>(request), value, index,
                                             direction, length, buffer, status));
  return status;
}

}  // namespace kx::board::trace
