#include "board/firmware_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "board/link_requests.h"

namespace kx::board {

std::string ProgramFolder() {
  std::error_code error;
  // Linux names the running executable here; elsewhere fall back to the
  // working folder, which is where a program started by hand usually lives.
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && exe.has_parent_path()) {
    return exe.parent_path().string();
  }
  return std::filesystem::current_path(error).string();
}

std::string MakeFirmwarePath(std::string_view folder, char separator) {
  std::string path(folder);
  path += separator;
  path += FirmwareFileName;
  return path;
}

void FillPathBuffer(std::string_view text, std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kLibraryBufferSize = 513;
  bytes.assign(std::max(kLibraryBufferSize, text.size() + 1), 0);
  std::copy(text.begin(), text.end(), bytes.begin());
}

}  // namespace kx::board
