#pragma once

#include <cstdint>
#include <string>

#include "board/cvn_cyusb_usb4.h"
#include "board/operator_port.h"
#include "board/usb_board_io.h"

namespace kx::board {

// Every call of a library that is not there fails with this status.
inline constexpr std::int16_t LibraryMissingStatus = -1;

// Takes the place of a link library that could not be loaded. At its first
// call it tells the operator once, naming the library and why it is missing;
// from then on it answers like a board that is not attached, so the panel
// goes on as it does without a board.
class MissingLinkLibrary final : public CvnCyusbUsb4, public UsbBoardIo {
 public:
  MissingLinkLibrary(std::string library_name, std::string reason, OperatorPort& port);

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;

  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;

  // The text shown to the operator, also useful on standard error.
  std::string Explanation() const;

 private:
  std::int16_t Fail();

  std::string library_name_;
  std::string reason_;
  OperatorPort& port_;
  bool reported_ = false;
};

}  // namespace kx::board
