#include "board/board_link.h"

#include <utility>

#include "board/firmware_path.h"
#include "board/link_requests.h"
#include "board/status_text.h"
#include "board/word_split.h"

namespace kx::board {

BoardLink::BoardLink(OperatorPort& port, std::string program_folder)
    : port_(port), program_folder_(std::move(program_folder)) {}

void BoardLink::LoadUSB() {
  state_.FirmwarePath = MakeFirmwarePath(program_folder_);
  FillPathBuffer(state_.FirmwarePath, state_.FirmwarePathBytes);

  state_.LinkStatus = DownloadFirmware();
  if (DownloadFailed(state_.LinkStatus)) {
    port_.ShowMessage(NoBoardMessage, NoBoardTitle(state_.LinkStatus), MessageIcon::Exclamation);
  }
  // Sent even after a failed download: the panel carries on as normal and
  // whatever answers gets the post-boot request.
  SendControlRequest(PostBootRequest);
}

void BoardLink::WriteDacWord(std::int16_t code, std::int32_t word) {
  const SplitWord split = SplitChipWord(word);
  std::uint8_t unused = 0;
  state_.LinkStatus = Request(code, split.value, split.index, DirectionOut, 0, &unused);
  port_.SetStatusLine(DacWriteStatus(word));
}

std::int32_t BoardLink::TransferAdcWord(std::int32_t word) {
  state_.AdcReplyBytes.fill(1);
  const SplitWord split = SplitChipWord(word);
  state_.LinkStatus = Request(AdcTransferRequest, split.value, split.index, DirectionIn,
                              AdcReplyLength, state_.AdcReplyBytes.data());
  const std::int32_t reply = AssembleAdcReply(state_.AdcReplyBytes[0], state_.AdcReplyBytes[1]);
  port_.SetStatusLine(AdcWriteStatus(word));
  return reply;
}

void BoardLink::SendControlRequest(std::uint8_t code) {
  std::uint8_t unused = 0;
  state_.LinkStatus = Request(code, 0, 0, DirectionOut, 0, &unused);
}

}  // namespace kx::board
