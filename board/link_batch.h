#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "board/word_split.h"

namespace kx::board {

// A run of device-to-host vendor requests that share one request code and one
// reply length and differ only in value and index: the words of an ADC
// capture, all known before the first goes out. A library that can keep
// several requests in flight sends them back to back; the others send them
// one at a time. Either way they go out in order, and the first that fails
// ends the run.
struct InBatch {
  std::int16_t request = 0;
  std::int32_t length = 0;  // reply bytes per request, 1 or more
  std::span<const SplitWord> fields;
  // fields.size() * length bytes: reply n at n * length, written as the
  // single request would write its buffer (left alone where it writes none).
  std::span<std::uint8_t> replies;
  std::span<std::int16_t> statuses;  // one per request
};

// Whether the batch's spans fit together; a library refuses one that does not.
inline bool BatchFits(const InBatch& batch) {
  return batch.length > 0 && batch.statuses.size() == batch.fields.size() &&
         batch.replies.size() == batch.fields.size() * static_cast<std::size_t>(batch.length);
}

// The batch one request at a time through `single(value, index, buffer)`, up
// to and including the first failure. Returns the requests made; their
// statuses are in batch.statuses, the rest are left as they were.
template <typename Single>
std::size_t RunBatchOneByOne(const InBatch& batch, Single&& single) {
  const auto length = static_cast<std::size_t>(batch.length);
  for (std::size_t n = 0; n < batch.fields.size(); ++n) {
    const std::int16_t status =
        single(batch.fields[n].value, batch.fields[n].index, batch.replies.data() + n * length);
    batch.statuses[n] = status;
    if (status < 0) {
      return n + 1;
    }
  }
  return batch.fields.size();
}

}  // namespace kx::board
