#include "board/win/win_usb_board_io.h"

#include <windows.h>

#include <utility>

#include "board/win/usb_board_io_names.h"

namespace kx::board::win {

namespace {

using LoadFirmWareFunction = std::int16_t(WINAPI*)(const char* path);
using VendorIORequestFunction = std::int16_t(WINAPI*)(std::int16_t request, std::int32_t value,
                                                      std::int32_t index, std::int16_t direction,
                                                      std::int16_t length, std::uint8_t* buffer);

}  // namespace

WinUsbBoardIo::WinUsbBoardIo(OperatorPort& port, std::string file)
    : dll_(std::move(file), DllSearch::ByName, port) {}

std::int16_t WinUsbBoardIo::LoadFirmWare(const char* path) {
  if (auto function = dll_.Bind<LoadFirmWareFunction>(load_, "LoadFirmWare", LoadFirmWareNames())) {
    return function(path);
  }
  return dll_.Missing().LoadFirmWare(path);
}

std::int16_t WinUsbBoardIo::VendorIORequest(std::int16_t request, std::int32_t value,
                                            std::int32_t index, std::int16_t direction,
                                            std::int16_t length, std::uint8_t* buffer) {
  if (auto function =
          dll_.Bind<VendorIORequestFunction>(request_, "VendorIORequest", VendorIORequestNames())) {
    return function(request, value, index, direction, length, buffer);
  }
  return dll_.Missing().VendorIORequest(request, value, index, direction, length, buffer);
}

}  // namespace kx::board::win
