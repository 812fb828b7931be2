#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "board/cvn_cyusb_usb4.h"
#include "board/usb_board_io.h"

namespace kx::board::trace {

// Where trace lines go: one line per link call, flushed at once so that a
// trace survives a crash or a killed program up to the last call.
class TraceSink {
 public:
  explicit TraceSink(std::ostream& out) : out_(out) {}
  void WriteLine(std::string_view line);
  // True once a write has failed (disk full, closed pipe); the link itself is
  // never held up by its trace.
  bool Failed() const { return failed_; }

 private:
  std::ostream& out_;
  bool failed_ = false;
};

// Records every call of a CVN_CYUSB_USB4 library and passes it on unchanged:
//   search vendor=0x1234 product=0x7312 found=1
//   connect vendor=0x1234 product=0x7312 board=1 handle=1
//   download handle=1 status=0 path=/opt/kx7312/KX7312FW.hex
//   request handle=1 code=0xE4 value=0x8390 index=-1 dir=1 len=3 status=0 data=341200
class TracingCvnCyusbUsb4 final : public CvnCyusbUsb4 {
 public:
  TracingCvnCyusbUsb4(CvnCyusbUsb4& inner, TraceSink& sink) : inner_(inner), sink_(sink) {}

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;

 private:
  CvnCyusbUsb4& inner_;
  TraceSink& sink_;
};

// The same for a UsbBoardIo library, whose lines carry no handle:
//   loadfirmware status=0 path=/opt/kx7312/KX7312FW.hex
//   request code=0xD9 value=0x0001 index=2048 dir=0 len=0 status=0
class TracingUsbBoardIo final : public UsbBoardIo {
 public:
  TracingUsbBoardIo(UsbBoardIo& inner, TraceSink& sink) : inner_(inner), sink_(sink) {}

  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;

 private:
  UsbBoardIo& inner_;
  TraceSink& sink_;
};

}  // namespace kx::board::trace
