#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "board/word_split.h"

namespace kx::board {

// A run of vendor requests, all known before the first goes out: the words of
// an ADC capture, which share one request code and one reply length and
// differ only in value and index, and, where `writes` says so, host-to-device
// requests without data among them (a DAC word, the LDAC pulse), so that the
// reads after such a write need not wait for its answer. A library that can
// keep several requests in flight sends them back to back; the others send
// them one at a time. Either way they go out in order, and the first that
// fails ends the run.
struct InBatch {
  std::int16_t request = 0;
  std::int32_t length = 0;  // reply bytes per read, 1 or more
  std::span<const SplitWord> fields;
  // fields.size() * length bytes: reply n at n * length, written as the
  // single request would write its buffer (left alone where it writes none,
  // and for a write).
  std::span<std::uint8_t> replies;
  std::span<std::int16_t> statuses;  // one per request
  // Empty when every request is the read; otherwise one per request: 0 for
  // the read, or the code of the write that goes out in its place.
  std::span<const std::int16_t> writes = {};
};

// Request n of a batch: its code, and whether it is the batch's read.
struct BatchRequest {
  std::int16_t code = 0;
  bool reads = true;
};

inline BatchRequest RequestOf(const InBatch& batch, std::size_t n) {
  if (batch.writes.empty() || batch.writes[n] == 0) {
    return {batch.request, true};
  }
  return {batch.writes[n], false};
}

// Whether the batch's spans fit together; a library refuses one that does not.
inline bool BatchFits(const InBatch& batch) {
  return batch.length > 0 && batch.statuses.size() == batch.fields.size() &&
         batch.replies.size() == batch.fields.size() * static_cast<std::size_t>(batch.length) &&
         (batch.writes.empty() || batch.writes.size() == batch.fields.size());
}

// The batch one request at a time through `single(request, value, index,
// buffer)`, up to and including the first failure; a write gets a buffer of
// its own that nothing reads. Returns the requests made; their statuses are
// in batch.statuses, the rest are left as they were.
template <typename Single>
std::size_t RunBatchOneByOne(const InBatch& batch, Single&& single) {
  const auto length = static_cast<std::size_t>(batch.length);
  for (std::size_t n = 0; n < batch.fields.size(); ++n) {
    const BatchRequest request = RequestOf(batch, n);
    std::uint8_t unused = 0;
    const std::int16_t status = single(request, batch.fields[n].value, batch.fields[n].index,
                                       request.reads ? batch.replies.data() + n * length : &unused);
    batch.statuses[n] = status;
    if (status < 0) {
      return n + 1;
    }
  }
  return batch.fields.size();
}

}  // namespace kx::board
