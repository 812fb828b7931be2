// A stand-in for CVN_CYUSB_USB4: the four functions, stdcall, answering from
// the simulated board. The build gives them their exported names through a
// definition file (plain names, or some left out). Built as the helper DLL
// of a split library, it exports them under these internal names instead.
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "standin_board.h"

#ifdef KX_STANDIN_MODEL
#define KX_STANDIN_API __declspec(dllexport)
#else
#define KX_STANDIN_API
#endif

namespace {

kx::board::CvnCyusbUsb4& Library() {
  return kx::standin::Board().Cvn();
}

}  // namespace

extern "C" {

KX_STANDIN_API std::int16_t WINAPI StandInSearch_For_Boards(std::int32_t vendor,
                                                            std::int32_t product,
                                                            std::int32_t* number,
                                                            std::uint8_t* list) {
  kx::board::BoardList copy{};
  std::copy_n(list, copy.size(), copy.begin());
  const std::int16_t result = Library().Search_For_Boards(vendor, product, *number, copy);
  std::copy(copy.begin(), copy.end(), list);
  return result;
}

KX_STANDIN_API std::int16_t WINAPI StandInConnect(std::int32_t vendor, std::int32_t product,
                                                  std::int32_t board, std::int32_t* handle) {
  return Library().Connect(vendor, product, board, *handle);
}

KX_STANDIN_API std::int16_t WINAPI StandInDownload_Firmware(std::int32_t handle, const char* path) {
  return Library().Download_Firmware(handle, path);
}

KX_STANDIN_API std::int16_t WINAPI StandInVendor_Request(std::int32_t handle, std::uint8_t request,
                                                         std::int32_t value, std::int32_t index,
                                                         std::uint8_t direction,
                                                         std::int32_t length,
                                                         std::uint8_t* buffer) {
  return Library().Vendor_Request(handle, request, value, index, direction, length, buffer);
}

}  // extern "C"
