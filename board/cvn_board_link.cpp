#include "board/cvn_board_link.h"

#include <utility>

#include "board/link_requests.h"

namespace kx::board {

CvnBoardLink::CvnBoardLink(CvnCyusbUsb4& library, std::string program_folder)
    : BoardLink(std::move(program_folder)), library_(library) {}

std::int16_t CvnBoardLink::FindAndBootBoard() {
  BoardList list{};
  std::int32_t number = 0;  // filled by the library, of no use to the panel
  library_.Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  // Connect whatever the search found: an empty list leaves byte 0 at 0 and
  // the download below reports the failure.
  library_.Connect(BoardVendorId, BoardProductId, list[0], state_.BoardHandle);
  return library_.Download_Firmware(state_.BoardHandle,
                                    reinterpret_cast<const char*>(state_.FirmwarePathBytes.data()));
}

std::int16_t CvnBoardLink::Request(std::int16_t code, std::int32_t value, std::int32_t index,
                                   std::uint8_t direction, std::int16_t length,
                                   std::uint8_t* buffer) {
  // This library takes the request code as one byte.
  return library_.Vendor_Request(state_.BoardHandle, static_cast<std::uint8_t>(code), value, index,
                                 direction, length, buffer);
}

std::size_t CvnBoardLink::RequestBatch(const InBatch& batch) {
  return library_.Vendor_Request_Batch(state_.BoardHandle, batch);
}

}  // namespace kx::board
