#pragma once

#include <string>
#include <string_view>

namespace kx::board::win {

// A stand-in library of the build as this program sees it (under Wine, the
// build folder is on drive Z:). Forward slashes on purpose: the binding must
// turn them into backslashes.
inline std::string StandIn(std::string_view folder, std::string_view file) {
  return KX_STANDIN_DIR "/" + std::string(folder) + "/" + std::string(file);
}

inline std::string CvnStandIn(std::string_view folder) {
  return StandIn(folder, "CVN_CYUSB_USB4.dll");
}

inline std::string UsbBoardIoStandIn(std::string_view folder) {
  return StandIn(folder, "UsbBoardIo.dll");
}

}  // namespace kx::board::win
