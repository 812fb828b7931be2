#pragma once

namespace kx {

// Which link library a program binds.
enum class LinkKind { CvnCyusbUsb4, UsbBoardIo };

}  // namespace kx
