#include "board/board_link_factory.h"

#include <stdexcept>
#include <utility>

#include "board/cvn_board_link.h"
#include "board/usb_board_io_link.h"

namespace kx::board {

std::unique_ptr<BoardLink> MakeBoardLink(LinkKind kind, const LinkLibraries& libraries,
                                         std::string program_folder) {
  if (kind == LinkKind::CvnCyusbUsb4) {
    if (libraries.cvn == nullptr) {
      throw std::invalid_argument("no CVN_CYUSB_USB4 library offered");
    }
    return std::make_unique<CvnBoardLink>(*libraries.cvn, std::move(program_folder));
  }
  if (libraries.io == nullptr) {
    throw std::invalid_argument("no UsbBoardIo library offered");
  }
  return std::make_unique<UsbBoardIoLink>(*libraries.io, std::move(program_folder));
}

}  // namespace kx::board
