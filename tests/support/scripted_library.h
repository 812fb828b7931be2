#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/cvn_cyusb_usb4.h"
#include "board/usb_board_io.h"

namespace kx::testing {

// A link library whose answers a test sets by hand: a given download status,
// given reply bytes (or none written), and a record of the paths it was given.
class ScriptedLibrary final : public board::CvnCyusbUsb4, public board::UsbBoardIo {
 public:
  std::int16_t download_status = 0;
  std::int16_t request_status = 0;
  bool write_reply = true;
  std::array<std::uint8_t, 3> reply{};
  std::int32_t next_handle = 7;
  std::vector<std::string> paths;

  std::int16_t Search_For_Boards(std::int32_t, std::int32_t, std::int32_t&,
                                 board::BoardList& list) override {
    list[0] = 1;
    return 0;
  }
  std::int16_t Connect(std::int32_t, std::int32_t, std::int32_t, std::int32_t& handle) override {
    handle = next_handle++;
    return 0;
  }
  std::int16_t Download_Firmware(std::int32_t, const char* path) override {
    paths.emplace_back(path);
    return download_status;
  }
  std::int16_t Vendor_Request(std::int32_t, std::uint8_t, std::int32_t, std::int32_t,
                              std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override {
    Fill(direction, length, buffer);
    return request_status;
  }
  std::int16_t LoadFirmWare(const char* path) override {
    paths.emplace_back(path);
    return download_status;
  }
  std::int16_t VendorIORequest(std::int16_t, std::int32_t, std::int32_t, std::int16_t direction,
                               std::int16_t length, std::uint8_t* buffer) override {
    Fill(direction, length, buffer);
    return request_status;
  }

 private:
  void Fill(int direction, int length, std::uint8_t* buffer) const {
    if (direction == 1 && write_reply) {
      for (int i = 0; i < length && i < 3; ++i) {
        buffer[i] = reply[static_cast<std::size_t>(i)];
      }
    }
  }
};

}  // namespace kx::testing
