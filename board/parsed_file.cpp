#include "board/parsed_file.h"

#include <fmt/format.h>

#include "board/bounded_file.h"

namespace kx::board {

std::string SizeText(std::size_t bytes) {
  constexpr std::size_t kKiB = 1024;
  if (bytes > 0 && bytes % (kKiB * kKiB) == 0) {
    return fmt::format("{} MiB", bytes / (kKiB * kKiB));
  }
  if (bytes > 0 && bytes % kKiB == 0) {
    return fmt::format("{} KiB", bytes / kKiB);
  }
  return fmt::format("{} bytes", bytes);
}

std::string ParseFileAtMost(const std::string& path, std::size_t limit, const FileWords& words,
                            const std::function<std::string(std::string_view)>& parse) {
  const BoundedFileText read = ReadFileAtMost(path, limit);
  const bool too_large = read.problem == FileReadProblem::TooLarge;
  if (read.problem != FileReadProblem::None && words.after_path) {
    return too_large ? fmt::format("{}: {}larger than {}: not {}", path, words.about,
                                   SizeText(limit), words.kind)
                     : fmt::format("{}: {}cannot read it: {}", path, words.about, read.reason);
  }
  if (too_large) {
    return fmt::format("{}: larger than {}, not {}", path, SizeText(limit), words.kind);
  }
  if (read.problem != FileReadProblem::None) {
    return fmt::format("cannot read {}: {}", path, read.reason);
  }
  const std::string problem = parse(read.text);
  return problem.empty() ? problem : fmt::format("{}: {}", path, problem);
}

}  // namespace kx::board
