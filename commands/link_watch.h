#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "board/board_link_factory.h"
#include "board/forwarding_library.h"
#include "board/link_record.h"

namespace kx::commands {

using board::LinkRecord;

// The first call the board failed: a firmware download or a vendor request.
struct LinkFailure {
  bool download;
  std::int16_t status;
  std::uint8_t code = 0;  // the request's, when not a download
  std::int32_t word = 0;
};

// Stands between the board link and the link library of either program. It
// records every vendor request for the tool's output, and it is the fuse
// that keeps a script from going on believing a board answered: from the
// first failed download or request on, no call reaches the library any more
// and each one fails with a negative status, so the operation running at the
// time ends without touching the board, and the tool stops.
class LinkWatch final : public board::ForwardingCvnCyusbUsb4, public board::ForwardingUsbBoardIo {
 public:
  explicit LinkWatch(board::LinkLibraries inner)
      : ForwardingCvnCyusbUsb4(inner.cvn), ForwardingUsbBoardIo(inner.io) {}

  board::LinkLibraries Libraries() { return {this, this}; }

  const std::optional<LinkFailure>& Failure() const { return failure_; }
  // Lets calls through again after a failure, for a front end that reports
  // a failure and serves the next request.
  void Rearm() { failure_.reset(); }
  // The requests made since the last call.
  std::vector<LinkRecord> TakeRecords();

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

  // Passed on whole, each request made recorded; the library ends a batch at
  // its first failure, so nothing after it reaches the board either.
  std::size_t Vendor_Request_Batch(std::int32_t handle, const board::InBatch& batch) override;
  std::size_t VendorIORequestBatch(const board::InBatch& batch) override;

 private:
  template <typename Pass>
  std::size_t Batched(const board::InBatch& batch, Pass&& pass);
  std::int16_t BlockedStatus() const;
  std::int16_t Downloaded(std::int16_t status, bool failed);
  std::int16_t Requested(std::uint8_t code, std::int32_t value, std::int32_t index, bool reads,
                         std::int16_t status, const std::uint8_t* buffer);

  std::optional<LinkFailure> failure_;
  std::vector<LinkRecord> records_;
};

}  // namespace kx::commands
