#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kx::analysis {

// NumPy's own file formats, enough for `numpy.load`: an array as `.npy`
// (version 1.0: the magic, a header dict padded to 64 bytes, then the data
// in C order) and several as `.npz` (a zip of `NAME.npy` members, stored
// uncompressed). Little-endian throughout.

// One field of a record, or an array's only type: a NumPy type string such
// as "<f8", "<i2", "<f4" or "|b1".
struct NpyField {
  std::string name;
  std::string type;
};

// The header of an array of `shape` whose elements are `type`, or records
// of `fields` (then `type` is unused), to be followed by the data.
std::string NpyHeader(std::string_view type, const std::vector<std::size_t>& shape);
std::string NpyRecordHeader(const std::vector<NpyField>& fields, std::size_t rows);

// A zip of `.npy` members built one member at a time, so that only the zip
// and the member at hand are held. The whole stays below 4 GiB (no zip64):
// `Fits` says whether it would.
class NpzBuilder {
 public:
  static bool Fits(std::size_t bytes) { return bytes < (std::size_t{1} << 32) - (1U << 20); }
  // `npy`: a whole .npy, header and data; `name` without ".npy".
  void Add(const std::string& name, std::string_view npy);
  std::string Finish();

 private:
  std::string zip_;
  std::string directory_;
  std::size_t members_ = 0;
};

// The zip's checksum (CRC-32, as zlib computes it).
unsigned long Crc32(std::string_view bytes);

}  // namespace kx::analysis
