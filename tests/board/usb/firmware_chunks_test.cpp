#include "board/usb/firmware_chunks.h"

#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

namespace kx::board::usb {
namespace {

std::vector<std::uint8_t> Counting(std::size_t count, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

HexImage Image(std::vector<HexSegment> segments) {
  HexImage image;
  image.segments = std::move(segments);
  return image;
}

// Chunk addresses and sizes, which is what the cases differ in.
std::vector<std::pair<std::uint16_t, std::size_t>> Shape(const FirmwareChunks& chunks) {
  std::vector<std::pair<std::uint16_t, std::size_t>> shape;
  for (const FirmwareChunk& chunk : chunks.chunks) {
    shape.emplace_back(chunk.address, chunk.bytes.size());
  }
  return shape;
}

TEST(SplitIntoChunks, CutsEverySegmentInImageOrder) {
  struct Case {
    const char* what;
    HexImage image;
    std::vector<std::pair<std::uint16_t, std::size_t>> shape;
  };
  const std::vector<Case> cases = {
      {"small", Image({{0x0000, Counting(64)}}), {{0x0000, 64}}},
      {"exactly one chunk", Image({{0x0100, Counting(1024)}}), {{0x0100, 1024}}},
      {"one byte over", Image({{0x0000, Counting(1025)}}), {{0x0000, 1024}, {0x0400, 1}}},
      {"two segments, file order kept",
       Image({{0x3000, Counting(10)}, {0x0000, Counting(2048)}}),
       {{0x3000, 10}, {0x0000, 1024}, {0x0400, 1024}}},
      {"up to the last byte", Image({{0xFC00, Counting(1024)}}), {{0xFC00, 1024}}},
  };
  for (const Case& c : cases) {
    const FirmwareChunks chunks = SplitIntoChunks(c.image);
    EXPECT_TRUE(chunks.error.empty()) << c.what << ": " << chunks.error;
    EXPECT_EQ(Shape(chunks), c.shape) << c.what;
  }
}

TEST(SplitIntoChunks, KeepsEveryByte) {
  const std::vector<std::uint8_t> bytes = Counting(2500, 7);
  const FirmwareChunks chunks = SplitIntoChunks(Image({{0x0010, bytes}}), 1000);
  ASSERT_EQ(chunks.chunks.size(), 3U);
  std::vector<std::uint8_t> joined;
  for (const FirmwareChunk& chunk : chunks.chunks) {
    EXPECT_EQ(chunk.address, 0x0010 + joined.size());
    joined.insert(joined.end(), chunk.bytes.begin(), chunk.bytes.end());
  }
  EXPECT_EQ(joined, bytes);
}

TEST(SplitIntoChunks, RefusesImagesTheLoaderCannotTake) {
  struct Case {
    const char* what;
    HexImage image;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"no segments", Image({}), "the image holds no data"},
      {"empty segment", Image({{0x0000, {}}}), "the image holds no data"},
      {"one byte too far", Image({{0xFC00, Counting(1025)}}),
       "the image has data up to 0x10000, beyond the loader's 64 KiB address space"},
      {"above 64 KiB", Image({{0x0000, Counting(4)}, {0x10000, Counting(2)}}),
       "the image has data up to 0x10001, beyond the loader's 64 KiB address space"},
  };
  for (const Case& c : cases) {
    const FirmwareChunks chunks = SplitIntoChunks(c.image);
    EXPECT_EQ(chunks.error, c.error) << c.what;
    EXPECT_TRUE(chunks.chunks.empty()) << c.what;
  }
}

}  // namespace
}  // namespace kx::board::usb
