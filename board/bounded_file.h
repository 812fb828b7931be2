#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kx::board {

enum class FileReadProblem { None, CannotOpen, TooLarge, ReadError };

struct BoundedFileText {
  std::string text;
  FileReadProblem problem = FileReadProblem::None;
  // Why, in a few words, for CannotOpen and ReadError: the system's text
  // ("No such file or directory") or what the path is instead of a regular
  // file ("it is a FIFO, not a regular file").
  std::string reason;
};

// Reads a whole regular file of at most `limit` bytes. Anything else named
// by the path (a folder, a FIFO, a device, a socket) is refused before it is
// opened, and the file is opened so that nothing swapped in meanwhile can
// block the program: a FIFO would wait in open() for a writer that never
// comes, and a device could feed us for ever. The read stops one byte past
// the limit, so a file that grows while it is read is refused too.
BoundedFileText ReadFileAtMost(const std::string& path, std::size_t limit);

// The same checks for a file too large to hold whole: from `offset` on, its
// bytes are handed to `each` a block at a time (each block at most
// `block_bytes`), until the end or until `each` returns false. A file larger
// than `limit` is refused before a byte is read. `reason` as above.
FileReadProblem ReadFileBlocks(const std::string& path, std::uintmax_t offset, std::uintmax_t limit,
                               std::size_t block_bytes,
                               const std::function<bool(std::string_view)>& each,
                               std::string& reason);

}  // namespace kx::board
