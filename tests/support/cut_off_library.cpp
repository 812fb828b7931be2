#include "support/cut_off_library.h"

namespace kx::testing {

bool CutOffLibrary::CutNow() {
  if (!answers_left) {
    return false;
  }
  if (*answers_left == 0) {
    ++requests_failed;
    return true;
  }
  --*answers_left;
  return false;
}

std::int16_t CutOffLibrary::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                              std::int32_t& number, board::BoardList& list) {
  return cvn_.Search_For_Boards(vendor, product, number, list);
}

std::int16_t CutOffLibrary::Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                                    std::int32_t& handle) {
  return cvn_.Connect(vendor, product, board, handle);
}

std::int16_t CutOffLibrary::Download_Firmware(std::int32_t handle, const char* path) {
  return cvn_.Download_Firmware(handle, path);
}

std::int16_t CutOffLibrary::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                           std::int32_t value, std::int32_t index,
                                           std::uint8_t direction, std::int32_t length,
                                           std::uint8_t* buffer) {
  return CutNow() ? CutOffStatus
                  : cvn_.Vendor_Request(handle, request, value, index, direction, length, buffer);
}

std::int16_t CutOffLibrary::LoadFirmWare(const char* path) {
  return io_.LoadFirmWare(path);
}

std::int16_t CutOffLibrary::VendorIORequest(std::int16_t request, std::int32_t value,
                                            std::int32_t index, std::int16_t direction,
                                            std::int16_t length, std::uint8_t* buffer) {
  return CutNow() ? CutOffStatus
                  : io_.VendorIORequest(request, value, index, direction, length, buffer);
}

board::sim::SimSettings AbsentBoard() {
  board::sim::SimSettings settings;
  settings.present = false;
  return settings;
}

}  // namespace kx::testing
