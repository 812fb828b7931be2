#pragma once

#include <cstddef>
#include <cstdint>

#include "board/cvn_cyusb_usb4.h"
#include "board/usb_board_io.h"

namespace kx::board {

// A link library that passes every call on to another one unchanged, batches
// whole so that the inner library may queue them. The base of the wrappers
// that look at the calls on their way (the traffic trace, kx7312ctl's link
// watch): each overrides the calls it looks at and passes them on through
// this class.
class ForwardingCvnCyusbUsb4 : public CvnCyusbUsb4 {
 public:
  // `inner` may be null where a program offers only the other library; it
  // is then never called.
  explicit ForwardingCvnCyusbUsb4(CvnCyusbUsb4* inner) : inner_(inner) {}

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override {
    return inner_->Search_For_Boards(vendor, product, number, list);
  }
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override {
    return inner_->Connect(vendor, product, board, handle);
  }
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override {
    return inner_->Download_Firmware(handle, path);
  }
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override {
    return inner_->Vendor_Request(handle, request, value, index, direction, length, buffer);
  }
  std::size_t Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) override {
    return inner_->Vendor_Request_Batch(handle, batch);
  }

 private:
  CvnCyusbUsb4* inner_;
};

// The same for a UsbBoardIo library.
class ForwardingUsbBoardIo : public UsbBoardIo {
 public:
  explicit ForwardingUsbBoardIo(UsbBoardIo* inner) : inner_(inner) {}

  std::int16_t LoadFirmWare(const char* path) override { return inner_->LoadFirmWare(path); }
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override {
    return inner_->VendorIORequest(request, value, index, direction, length, buffer);
  }
  std::size_t VendorIORequestBatch(const InBatch& batch) override {
    return inner_->VendorIORequestBatch(batch);
  }

 private:
  UsbBoardIo* inner_;
};

}  // namespace kx::board
