#include "board/usb_board_io_link.h"

#include <utility>

namespace kx::board {

UsbBoardIoLink::UsbBoardIoLink(UsbBoardIo& library, std::string program_folder)
    : BoardLink(std::move(program_folder)), library_(library) {}

std::int16_t UsbBoardIoLink::DownloadFirmware() {
  return library_.LoadFirmWare(reinterpret_cast<const char*>(state_.FirmwarePathBytes.data()));
}

std::int16_t UsbBoardIoLink::Request(std::int16_t code, std::int32_t value, std::int32_t index,
                                     std::uint8_t direction, std::int16_t length,
                                     std::uint8_t* buffer) {
  // The code goes through as the 16-bit request number it was given.
  return library_.VendorIORequest(code, value, index, direction, length, buffer);
}

std::size_t UsbBoardIoLink::RequestBatch(const InBatch& batch) {
  return library_.VendorIORequestBatch(batch);
}

}  // namespace kx::board
