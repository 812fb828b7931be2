#pragma once

#include "board/board_link_factory.h"
#include "board/operator_port.h"
#include "board/win/win_cvn_cyusb_usb4.h"
#include "board/win/win_usb_board_io.h"

namespace kx::board::win {

// Both vendor libraries as the Windows programs bind them. Neither is
// touched before its first call, so a program only ever loads its own.
class WinLinkLibraries {
 public:
  explicit WinLinkLibraries(OperatorPort& port) : cvn_(port), io_(port) {}

  LinkLibraries Libraries() { return {&cvn_, &io_}; }

 private:
  WinCvnCyusbUsb4 cvn_;
  WinUsbBoardIo io_;
};

}  // namespace kx::board::win
