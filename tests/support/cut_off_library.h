#pragma once

#include <cstdint>
#include <optional>

#include "board/cvn_cyusb_usb4.h"
#include "board/sim/sim_settings.h"
#include "board/usb_board_io.h"

namespace kx::testing {

inline constexpr std::int16_t CutOffStatus = -5;

// Passes every call on to the board until `answers_left` vendor requests
// have been made; after that each request fails with CutOffStatus and leaves
// the buffer as it was, like a board pulled off the cable.
class CutOffLibrary final : public board::CvnCyusbUsb4, public board::UsbBoardIo {
 public:
  CutOffLibrary(board::CvnCyusbUsb4& cvn, board::UsbBoardIo& io) : cvn_(cvn), io_(io) {}

  std::optional<int> answers_left;  // none: never cut off
  int requests_failed = 0;

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 board::BoardList& list) override;
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

 private:
  bool CutNow();

  board::CvnCyusbUsb4& cvn_;
  board::UsbBoardIo& io_;
};

// Settings of a board that is not there: nothing answers.
board::sim::SimSettings AbsentBoard();

}  // namespace kx::testing
