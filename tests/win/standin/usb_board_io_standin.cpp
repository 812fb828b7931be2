// A stand-in for UsbBoardIo: its two functions, stdcall, answering from the
// simulated board. The build exports them under decorated or plain names
// through a definition file.
#include <windows.h>

#include <cstdint>

#include "standin_board.h"

extern "C" {

std::int16_t WINAPI StandInLoadFirmWare(const char* path) {
  return kx::standin::Board().Io().LoadFirmWare(path);
}

std::int16_t WINAPI StandInVendorIORequest(std::int16_t request, std::int32_t value,
                                           std::int32_t index, std::int16_t direction,
                                           std::int16_t length, std::uint8_t* buffer) {
  return kx::standin::Board().Io().VendorIORequest(request, value, index, direction, length,
                                                   buffer);
}

}  // extern "C"
