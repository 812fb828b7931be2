#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "board/link_batch.h"
#include "board/link_record.h"
#include "board/link_state.h"

namespace kx::board {

// A request of a mixed batch: an ADC word (AdcTransferRequest), which reads
// its reply, or a request without data: a DAC word with its group's request
// code, a control request with word 0.
struct LinkStep {
  std::int16_t code = 0;
  std::int32_t word = 0;
};

// The board as every panel operation reaches it: start-up, the two chip-access
// routines and the data-less control-line requests. The routines are the same
// for both link libraries; a subclass supplies the library's download and
// request calls and its rule for a failed download.
class BoardLink {
 public:
  explicit BoardLink(std::string program_folder);
  virtual ~BoardLink() = default;
  BoardLink(const BoardLink&) = delete;
  BoardLink& operator=(const BoardLink&) = delete;

  // What LoadUSB did: the download's status, and whether the link library
  // counts it as failed ("No Evaluation Board Found").
  struct LoadResult {
    std::int16_t status;
    bool failed;
  };

  // Builds the firmware path, boots the board, and sends the post-boot
  // request whatever happened.
  LoadResult LoadUSB();

  // One DAC command word to the group named by `code` (DacLowRequest or
  // DacHighRequest).
  void WriteDacWord(std::int16_t code, std::int32_t word);

  // One ADC control word out, the 16-bit word the board clocked back in. The
  // reply bytes are preset to 1, so a library that writes nothing gives 0x0101.
  std::int32_t TransferAdcWord(std::int32_t word);

  // TransferAdcWord for each word in order, handed to the library as one
  // batch so that one that can queue requests need not wait for each reply.
  // The first failed transfer ends it. Fills `replies` (as long as `words`)
  // for the transfers made and returns how many were made, the failed one
  // included; each is kept for TakeSent, and LinkStatus and the reply bytes
  // are then as after the last of them.
  std::size_t TransferAdcWords(std::span<const std::int32_t> words,
                               std::span<std::int32_t> replies);
  // The steps in order as one batch: what the single calls one after another
  // do, but a library that queues need not wait for a step's answer before
  // the next goes out. Returns the steps made, the failed one included;
  // `replies` (as long as `steps`) gets each ADC word's reply and 0 for the
  // other steps.
  std::size_t TransferSteps(std::span<const LinkStep> steps, std::span<std::int32_t> replies);

  // CLR, LDAC and the LDAC pulse: no data, no echo on the status line.
  void SendControlRequest(std::uint8_t code);

  const LinkState& State() const { return state_; }

  // The requests made since the last call, in order.
  std::vector<LinkRecord> TakeSent();

 protected:
  // Hands FirmwarePathBytes to the library and returns its status.
  virtual std::int16_t DownloadFirmware() = 0;
  virtual bool DownloadFailed(std::int16_t status) const = 0;
  virtual std::int16_t Request(std::int16_t code, std::int32_t value, std::int32_t index,
                               std::uint8_t direction, std::int16_t length,
                               std::uint8_t* buffer) = 0;
  // The library's batch call; by default one Request after another.
  virtual std::size_t RequestBatch(const InBatch& batch);

  LinkState state_;

 private:
  void Keep(std::uint8_t code, std::int32_t word, bool reads, std::int32_t reply);

  std::string program_folder_;
  std::vector<LinkRecord> sent_;
};

}  // namespace kx::board
