#pragma once

#include "board/board_link.h"
#include "board/usb_board_io.h"

namespace kx::board {

// The board reached through UsbBoardIo (the earlier KX7312 program): one
// firmware call, requests without a handle, negative statuses are failures.
class UsbBoardIoLink final : public BoardLink {
 public:
  UsbBoardIoLink(UsbBoardIo& library, std::string program_folder);

 protected:
  std::int16_t DownloadFirmware() override;
  bool DownloadFailed(std::int16_t status) const override { return status < 0; }
  std::int16_t Request(std::int16_t code, std::int32_t value, std::int32_t index,
                       std::uint8_t direction, std::int16_t length, std::uint8_t* buffer) override;
  std::size_t RequestBatch(const InBatch& batch) override;

 private:
  UsbBoardIo& library_;
};

}  // namespace kx::board
