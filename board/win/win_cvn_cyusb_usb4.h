#pragma once

#include <string>

#include "board/cvn_cyusb_usb4.h"
#include "board/operator_port.h"
#include "board/win/link_dll.h"

namespace kx::board::win {

// Where the vendor installs the library of KX7312(version2).
inline constexpr const char* CvnLibraryPath =
    "c:/Program Files/Corvane/USB Drivers/CVN_CYUSB_USB4.dll";

// CVN_CYUSB_USB4 bound on Windows: the DLL is loaded from its path at the
// first call, each of its four functions is looked up by its plain name at
// its own first call. All four are stdcall.
class WinCvnCyusbUsb4 final : public CvnCyusbUsb4 {
 public:
  explicit WinCvnCyusbUsb4(OperatorPort& port, std::string path = CvnLibraryPath);

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;

  const LinkDll& Dll() const { return dll_; }

 private:
  LinkDll dll_;
  LinkDll::Slot search_;
  LinkDll::Slot connect_;
  LinkDll::Slot download_;
  LinkDll::Slot request_;
};

}  // namespace kx::board::win
