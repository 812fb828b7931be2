#pragma once

#include <string>

#include "board/operator_port.h"
#include "board/usb_board_io.h"
#include "board/win/link_dll.h"

namespace kx::board::win {

// The library of the earlier KX7312 program, named without a folder.
inline constexpr const char* UsbBoardIoFileName = "UsbBoardIo.dll";

// UsbBoardIo bound on Windows: the DLL is found by the standard library
// search at the first call, each function is looked up at its own first
// call under the decorated names of usb_board_io_names.h. Both are stdcall.
class WinUsbBoardIo final : public UsbBoardIo {
 public:
  // A file name is searched for; a path (tests) is loaded from there.
  explicit WinUsbBoardIo(OperatorPort& port, std::string file = UsbBoardIoFileName);

  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;

  const LinkDll& Dll() const { return dll_; }

 private:
  LinkDll dll_;
  LinkDll::Slot load_;
  LinkDll::Slot request_;
};

}  // namespace kx::board::win
