#pragma once

#include <cstddef>
#include <string>

namespace kx::board {

enum class FileReadProblem { None, CannotOpen, TooLarge, ReadError };

struct BoundedFileText {
  std::string text;
  FileReadProblem problem = FileReadProblem::None;
};

// Reads a whole file of at most `limit` bytes. A directory cannot be opened;
// the read stops one byte past the limit, so a device, a pipe or a file that
// grows while it is read can never make us swallow unbounded input.
BoundedFileText ReadFileAtMost(const std::string& path, std::size_t limit);

}  // namespace kx::board
