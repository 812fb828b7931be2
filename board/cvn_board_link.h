#pragma once

#include "board/board_link.h"
#include "board/cvn_cyusb_usb4.h"

namespace kx::board {

// The board reached through CVN_CYUSB_USB4 (KX7312(version2)): search,
// connect, download on the handle, every request on BoardHandle.
class CvnBoardLink final : public BoardLink {
 public:
  CvnBoardLink(CvnCyusbUsb4& library, std::string program_folder);

  // Finds the board, connects to it and downloads the firmware; returns the
  // download status (0 is success).
  std::int16_t FindAndBootBoard();

 protected:
  std::int16_t DownloadFirmware() override { return FindAndBootBoard(); }
  bool DownloadFailed(std::int16_t status) const override { return status != 0; }
  std::int16_t Request(std::int16_t code, std::int32_t value, std::int32_t index,
                       std::uint8_t direction, std::int16_t length, std::uint8_t* buffer) override;
  std::size_t RequestBatch(const InBatch& batch) override;

 private:
  CvnCyusbUsb4& library_;
};

}  // namespace kx::board
