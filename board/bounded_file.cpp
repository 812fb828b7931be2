#include "board/bounded_file.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kx::board {

BoundedFileText ReadFileAtMost(const std::string& path, std::size_t limit) {
  BoundedFileText result;
  std::error_code ec;
  // Opening a directory succeeds on Linux and only the first read fails, which
  // would look like an I/O error rather than the plain mistake it is.
  if (std::filesystem::is_directory(path, ec)) {
    result.problem = FileReadProblem::CannotOpen;
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.problem = FileReadProblem::CannotOpen;
    return result;
  }
  std::array<char, std::size_t{64} * 1024> chunk{};
  while (result.text.size() <= limit) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    result.text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (!in) {
      break;
    }
  }
  if (in.bad()) {
    result.problem = FileReadProblem::ReadError;
  } else if (result.text.size() > limit) {
    result.problem = FileReadProblem::TooLarge;
  }
  if (result.problem != FileReadProblem::None) {
    result.text.clear();
  }
  return result;
}

}  // namespace kx::board
