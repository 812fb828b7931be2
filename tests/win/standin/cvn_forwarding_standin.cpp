// A CVN_CYUSB_USB4 stand-in that holds no board of its own: it passes every
// call to the helper DLL beside it, which Windows must find in the library's
// own folder when the library is loaded.
#include <windows.h>

#include <cstdint>

extern "C" {

__declspec(dllimport) std::int16_t WINAPI
    StandInSearch_For_Boards(std::int32_t, std::int32_t, std::int32_t*, std::uint8_t*);
__declspec(dllimport) std::int16_t WINAPI
    StandInConnect(std::int32_t, std::int32_t, std::int32_t, std::int32_t*);
__declspec(dllimport) std::int16_t WINAPI StandInDownload_Firmware(std::int32_t, const char*);
__declspec(dllimport) std::int16_t WINAPI
    StandInVendor_Request(std::int32_t, std::uint8_t, std::int32_t, std::int32_t, std::uint8_t,
                          std::int32_t, std::uint8_t*);

std::int16_t WINAPI ForwardSearch_For_Boards(std::int32_t vendor, std::int32_t product,
                                             std::int32_t* number, std::uint8_t* list) {
  return StandInSearch_For_Boards(vendor, product, number, list);
}

std::int16_t WINAPI ForwardConnect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                                   std::int32_t* handle) {
  return StandInConnect(vendor, product, board, handle);
}

std::int16_t WINAPI ForwardDownload_Firmware(std::int32_t handle, const char* path) {
  return StandInDownload_Firmware(handle, path);
}

std::int16_t WINAPI ForwardVendor_Request(std::int32_t handle, std::uint8_t request,
                                          std::int32_t value, std::int32_t index,
                                          std::uint8_t direction, std::int32_t length,
                                          std::uint8_t* buffer) {
  return StandInVendor_Request(handle, request, value, index, direction, length, buffer);
}

}  // extern "C"
