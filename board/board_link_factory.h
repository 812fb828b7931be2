#pragma once

#include <memory>
#include <string>

#include "board/board_directory.h"
#include "board/board_link.h"
#include "board/cvn_cyusb_usb4.h"
#include "board/link_kind.h"
#include "board/usb_board_io.h"

namespace kx::board {

// The link libraries a backend offers; a backend may offer both. A backend
// that can list its boards and name the one connected offers a directory.
struct LinkLibraries {
  CvnCyusbUsb4* cvn = nullptr;
  UsbBoardIo* io = nullptr;
  BoardDirectory* directory = nullptr;
};

// The board link of the given kind over the matching library, which must be
// offered.
std::unique_ptr<BoardLink> MakeBoardLink(LinkKind kind, const LinkLibraries& libraries,
                                         std::string program_folder);

}  // namespace kx::board
