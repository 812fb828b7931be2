#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace kx::analysis {

// What a gap row holds in a log's columns: no logged code is this low, and
// no mean is NaN.
inline constexpr std::int16_t kGapCode = std::numeric_limits<std::int16_t>::min();
inline bool IsGapValue(std::int16_t value) {
  return value == kGapCode;
}
inline bool IsGapValue(float value) {
  return std::isnan(value);
}

// The lowest and the highest of a column over buckets of 2^k rows, for each
// k from kFirstShift up to one bucket for the whole column. Any stretch of
// rows then has its extremes, and the rows that hold them, in a few dozen
// steps: a plot of a million rows draws a thousand buckets, not a million
// points. The column is given at each call (the log owns it); the lowest
// comes from `lows`, the highest from `highs` (the same column for a line,
// the minima and maxima for a band). Gap rows count in neither.
template <typename T>
class MinMaxPyramid {
 public:
  // Eight rows per bucket at the finest level: all levels together take a
  // quarter of the column's size, and the finer steps are the rows themselves.
  static constexpr int kFirstShift = 3;

  struct Extremes {
    T low = std::numeric_limits<T>::max();
    T high = std::numeric_limits<T>::lowest();
    std::size_t low_row = 0;
    std::size_t high_row = 0;
    bool Empty() const { return low > high; }
  };

  // Brings the levels up to the column's rows after rows were appended; the
  // cost follows the new rows, not the column's length.
  void Extend(const std::vector<T>& lows, const std::vector<T>& highs) {
    const std::size_t rows = lows.size();
    const std::size_t before = rows_;
    rows_ = rows;
    for (std::size_t level = 0; level == 0 || levels_[level - 1].low.size() > 1; ++level) {
      if (level == levels_.size()) {
        levels_.emplace_back();
      }
      const int shift = kFirstShift + static_cast<int>(level);
      Level& here = levels_[level];
      const std::size_t first = std::min(before >> shift, here.low.size());
      const std::size_t count = (rows + (std::size_t{1} << shift) - 1) >> shift;
      here.low.resize(count);
      here.high.resize(count);
      for (std::size_t b = first; b < count; ++b) {
        Extremes e;
        if (level == 0) {
          const std::size_t end = std::min(rows, (b + 1) << kFirstShift);
          for (std::size_t r = b << kFirstShift; r < end; ++r) {
            TakeRow(lows, highs, r, e);
          }
        } else {
          const Level& below = levels_[level - 1];
          for (const std::size_t child : {2 * b, 2 * b + 1}) {
            if (child < below.low.size()) {
              e.low = std::min(e.low, below.low[child]);
              e.high = std::max(e.high, below.high[child]);
            }
          }
        }
        here.low[b] = e.low;
        here.high[b] = e.high;
      }
      if (count <= 1) {
        levels_.resize(level + 1);
        break;
      }
    }
  }

  // The extremes of rows [from, to) and the first row holding each.
  Extremes Over(const std::vector<T>& lows, const std::vector<T>& highs, std::size_t from,
                std::size_t to) const {
    Extremes e;
    std::optional<Block> low_block;
    std::optional<Block> high_block;
    std::size_t r = from;
    to = std::min(to, rows_);
    while (r < to) {
      if ((r & kFirstMask) != 0 || r + kFirstRows > to || levels_.empty()) {
        const T low_before = e.low;
        const T high_before = e.high;
        TakeRow(lows, highs, r, e);
        low_block = e.low != low_before ? std::nullopt : low_block;
        high_block = e.high != high_before ? std::nullopt : high_block;
        ++r;
        continue;
      }
      // The largest bucket that starts here and ends within the stretch.
      std::size_t level = 0;
      while (level + 1 < levels_.size()) {
        const std::size_t size = std::size_t{1} << (kFirstShift + level + 1);
        if ((r & (size - 1)) != 0 || r + size > to) {
          break;
        }
        ++level;
      }
      const int shift = kFirstShift + static_cast<int>(level);
      const std::size_t bucket = r >> shift;
      if (levels_[level].low[bucket] < e.low) {
        e.low = levels_[level].low[bucket];
        low_block = Block{level, bucket};
      }
      if (levels_[level].high[bucket] > e.high) {
        e.high = levels_[level].high[bucket];
        high_block = Block{level, bucket};
      }
      r += std::size_t{1} << shift;
    }
    if (low_block) {
      e.low_row = Locate(lows, *low_block, e.low, true);
    }
    if (high_block) {
      e.high_row = Locate(highs, *high_block, e.high, false);
    }
    return e;
  }

  std::size_t Levels() const { return levels_.size(); }
  std::size_t Bytes() const {
    std::size_t bytes = 0;
    for (const Level& level : levels_) {
      bytes += 2 * level.low.capacity() * sizeof(T);
    }
    return bytes;
  }

 private:
  static constexpr std::size_t kFirstRows = std::size_t{1} << kFirstShift;
  static constexpr std::size_t kFirstMask = kFirstRows - 1;

  struct Level {
    std::vector<T> low;
    std::vector<T> high;
  };
  struct Block {
    std::size_t level;
    std::size_t bucket;
  };

  static void TakeRow(const std::vector<T>& lows, const std::vector<T>& highs, std::size_t r,
                      Extremes& e) {
    if (IsGapValue(lows[r])) {
      return;
    }
    if (lows[r] < e.low) {
      e.low = lows[r];
      e.low_row = r;
    }
    if (highs[r] > e.high) {
      e.high = highs[r];
      e.high_row = r;
    }
  }

  // The first row of the block holding `value`, found by going down the
  // levels to the child that holds it.
  std::size_t Locate(const std::vector<T>& column, Block block, T value, bool low) const {
    while (block.level > 0) {
      const Level& below = levels_[block.level - 1];
      const std::size_t left = 2 * block.bucket;
      const bool in_left = (low ? below.low[left] : below.high[left]) == value;
      block = {block.level - 1, in_left ? left : left + 1};
    }
    const std::size_t end = std::min(rows_, (block.bucket + 1) << kFirstShift);
    for (std::size_t r = block.bucket << kFirstShift; r < end; ++r) {
      if (column[r] == value) {
        return r;
      }
    }
    return block.bucket << kFirstShift;
  }

  std::vector<Level> levels_;
  std::size_t rows_ = 0;
};

}  // namespace kx::analysis
