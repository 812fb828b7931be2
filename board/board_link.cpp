#include "board/board_link.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "board/firmware_path.h"
#include "board/link_requests.h"
#include "board/word_split.h"

namespace kx::board {

BoardLink::BoardLink(std::string program_folder) : program_folder_(std::move(program_folder)) {}

BoardLink::LoadResult BoardLink::LoadUSB() {
  state_.FirmwarePath = MakeFirmwarePath(program_folder_);
  FillPathBuffer(state_.FirmwarePath, state_.FirmwarePathBytes);

  state_.LinkStatus = DownloadFirmware();
  const LoadResult result{state_.LinkStatus, DownloadFailed(state_.LinkStatus)};
  // Sent even after a failed download: the panel carries on as normal and
  // whatever answers gets the post-boot request.
  SendControlRequest(PostBootRequest);
  return result;
}

void BoardLink::WriteDacWord(std::int16_t code, std::int32_t word) {
  const SplitWord split = SplitChipWord(word);
  std::uint8_t unused = 0;
  state_.LinkStatus = Request(code, split.value, split.index, DirectionOut, 0, &unused);
  Keep(static_cast<std::uint8_t>(code), word, false, 0);
}

std::int32_t BoardLink::TransferAdcWord(std::int32_t word) {
  state_.AdcReplyBytes.fill(1);
  const SplitWord split = SplitChipWord(word);
  state_.LinkStatus = Request(AdcTransferRequest, split.value, split.index, DirectionIn,
                              AdcReplyLength, state_.AdcReplyBytes.data());
  const std::int32_t reply = AssembleAdcReply(state_.AdcReplyBytes[0], state_.AdcReplyBytes[1]);
  Keep(AdcTransferRequest, word, true, reply);
  return reply;
}

std::size_t BoardLink::TransferAdcWords(std::span<const std::int32_t> words,
                                        std::span<std::int32_t> replies) {
  std::vector<LinkStep> steps;
  steps.reserve(words.size());
  for (const std::int32_t word : words) {
    steps.push_back({AdcTransferRequest, word});
  }
  return TransferSteps(steps, replies);
}

std::size_t BoardLink::TransferSteps(std::span<const LinkStep> steps,
                                     std::span<std::int32_t> replies) {
  if (steps.empty()) {
    return 0;
  }
  std::vector<SplitWord> fields;
  fields.reserve(steps.size());
  std::vector<std::int16_t> codes;  // stays empty when every step reads
  bool writes = false;
  for (const LinkStep& step : steps) {
    fields.push_back(SplitChipWord(step.word));
    const bool reads = step.code == AdcTransferRequest;
    codes.push_back(reads ? std::int16_t{0} : step.code);
    writes = writes || !reads;
  }
  if (!writes) {
    codes.clear();
  }
  // Preset as TransferAdcWord presets its buffer; a status no library set
  // counts as a failure.
  std::vector<std::uint8_t> bytes(steps.size() * AdcReplyLength, 1);
  std::vector<std::int16_t> statuses(steps.size(), -1);
  const InBatch batch{AdcTransferRequest, AdcReplyLength, fields, bytes, statuses, codes};
  const std::size_t made = std::clamp<std::size_t>(RequestBatch(batch), 1, steps.size());
  std::optional<std::size_t> last_read;
  for (std::size_t n = 0; n < made; ++n) {
    state_.LinkStatus = statuses[n];
    if (steps[n].code != AdcTransferRequest) {
      replies[n] = 0;
      Keep(static_cast<std::uint8_t>(steps[n].code), steps[n].word, false, 0);
      continue;
    }
    replies[n] = AssembleAdcReply(bytes[n * AdcReplyLength], bytes[n * AdcReplyLength + 1]);
    Keep(AdcTransferRequest, steps[n].word, true, replies[n]);
    last_read = n;
  }
  if (last_read) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(*last_read * AdcReplyLength),
                AdcReplyLength, state_.AdcReplyBytes.begin());
  }
  return made;
}

std::size_t BoardLink::RequestBatch(const InBatch& batch) {
  return RunBatchOneByOne(batch, [&](BatchRequest request, std::int32_t value, std::int32_t index,
                                     std::uint8_t* buffer) {
    return Request(request.code, value, index, request.reads ? DirectionIn : DirectionOut,
                   request.reads ? static_cast<std::int16_t>(batch.length) : 0, buffer);
  });
}

void BoardLink::SendControlRequest(std::uint8_t code) {
  std::uint8_t unused = 0;
  state_.LinkStatus = Request(code, 0, 0, DirectionOut, 0, &unused);
  Keep(code, 0, false, 0);
}

std::vector<LinkRecord> BoardLink::TakeSent() {
  return std::exchange(sent_, {});
}

void BoardLink::Keep(std::uint8_t code, std::int32_t word, bool reads, std::int32_t reply) {
  sent_.push_back({code, word, reads, state_.LinkStatus, reply});
}

}  // namespace kx::board
