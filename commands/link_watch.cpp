#include "commands/link_watch.h"

#include <utility>

#include "board/link_requests.h"
#include "board/word_split.h"

namespace kx::commands {

namespace {

// Requests fail with a negative status on both libraries.
bool RequestFailed(std::int16_t status) {
  return status < 0;
}

}  // namespace

// Negative, so that both libraries' rules and every caller that looks at
// LinkStatus see a failure; a failed download's positive status is not.
std::int16_t LinkWatch::BlockedStatus() const {
  return failure_->status < 0 ? failure_->status : std::int16_t{-1};
}

std::vector<LinkRecord> LinkWatch::TakeRecords() {
  return std::exchange(records_, {});
}

std::int16_t LinkWatch::Downloaded(std::int16_t status, bool failed) {
  if (failed) {
    failure_ = LinkFailure{true, status};
  }
  return status;
}

std::int16_t LinkWatch::Requested(std::uint8_t code, std::int32_t value, std::int32_t index,
                                  bool reads, std::int16_t status, const std::uint8_t* buffer) {
  const auto word = static_cast<std::int32_t>((static_cast<std::uint32_t>(index) << 16U) |
                                              (static_cast<std::uint32_t>(value) & 0xFFFFU));
  const std::int32_t reply = reads ? board::AssembleAdcReply(buffer[0], buffer[1]) : 0;
  records_.push_back({code, word, reads, status, reply});
  if (RequestFailed(status)) {
    failure_ = LinkFailure{false, status, code, word};
  }
  return status;
}

// Search and connect report nothing the start-up looks at; the download that
// follows tells whether a board is there.
std::int16_t LinkWatch::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                          std::int32_t& number, board::BoardList& list) {
  if (failure_) {
    return BlockedStatus();
  }
  return ForwardingCvnCyusbUsb4::Search_For_Boards(vendor, product, number, list);
}

std::int16_t LinkWatch::Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                                std::int32_t& handle) {
  if (failure_) {
    return BlockedStatus();
  }
  return ForwardingCvnCyusbUsb4::Connect(vendor, product, board, handle);
}

std::int16_t LinkWatch::Download_Firmware(std::int32_t handle, const char* path) {
  if (failure_) {
    return BlockedStatus();
  }
  const std::int16_t status = ForwardingCvnCyusbUsb4::Download_Firmware(handle, path);
  return Downloaded(status, status != 0);
}

std::int16_t LinkWatch::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                       std::int32_t value, std::int32_t index,
                                       std::uint8_t direction, std::int32_t length,
                                       std::uint8_t* buffer) {
  if (failure_) {
    return BlockedStatus();
  }
  const std::int16_t status = ForwardingCvnCyusbUsb4::Vendor_Request(handle, request, value, index,
                                                                     direction, length, buffer);
  return Requested(request, value, index, direction == board::DirectionIn, status, buffer);
}

std::int16_t LinkWatch::LoadFirmWare(const char* path) {
  if (failure_) {
    return BlockedStatus();
  }
  const std::int16_t status = ForwardingUsbBoardIo::LoadFirmWare(path);
  return Downloaded(status, status < 0);
}

std::int16_t LinkWatch::VendorIORequest(std::int16_t request, std::int32_t value,
                                        std::int32_t index, std::int16_t direction,
                                        std::int16_t length, std::uint8_t* buffer) {
  if (failure_) {
    return BlockedStatus();
  }
  const std::int16_t status =
      ForwardingUsbBoardIo::VendorIORequest(request, value, index, direction, length, buffer);
  // The panel's codes all fit one byte, whichever library carries them.
  return Requested(static_cast<std::uint8_t>(request), value, index,
                   direction == board::DirectionIn, status, buffer);
}

// A blocked watch fails the batch's first request, as it fails a single one.
template <typename Pass>
std::size_t LinkWatch::Batched(const board::InBatch& batch, Pass&& pass) {
  if (batch.fields.empty()) {
    return 0;
  }
  if (failure_) {
    batch.statuses[0] = BlockedStatus();
    return 1;
  }
  const std::size_t made = pass();
  const auto length = static_cast<std::size_t>(batch.length);
  for (std::size_t n = 0; n < made; ++n) {
    const board::BatchRequest request = board::RequestOf(batch, n);
    Requested(static_cast<std::uint8_t>(request.code), batch.fields[n].value, batch.fields[n].index,
              request.reads, batch.statuses[n], batch.replies.data() + n * length);
  }
  return made;
}

std::size_t LinkWatch::Vendor_Request_Batch(std::int32_t handle, const board::InBatch& batch) {
  return Batched(batch,
                 [&] { return ForwardingCvnCyusbUsb4::Vendor_Request_Batch(handle, batch); });
}

std::size_t LinkWatch::VendorIORequestBatch(const board::InBatch& batch) {
  return Batched(batch, [&] { return ForwardingUsbBoardIo::VendorIORequestBatch(batch); });
}

}  // namespace kx::commands
