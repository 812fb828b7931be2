#include "board/firmware_path.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "board/link_requests.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

namespace kx::board {

namespace {

// The installed data folder relative to the programs' folder, as the build
// configured it.
#ifdef KX_INSTALLED_FIRMWARE_FOLDER
constexpr std::string_view kInstalledFirmwareFolder = KX_INSTALLED_FIRMWARE_FOLDER;
#else
constexpr std::string_view kInstalledFirmwareFolder = "../share/kx7312";
#endif

}  // namespace

std::string ProgramFolder() {
#ifdef _WIN32
  // The executable's path in the ANSI code page, the text the link library
  // is given; a root keeps its separator ("C:\").
  std::string exe(MAX_PATH, '\0');
  DWORD length = 0;
  while ((length = GetModuleFileNameA(nullptr, exe.data(), static_cast<DWORD>(exe.size()))) ==
         exe.size()) {
    exe.resize(exe.size() * 2);
  }
  exe.resize(length);
  const std::size_t separator = exe.find_last_of('\\');
  if (separator != std::string::npos) {
    const bool at_root = separator == 2 && exe[1] == ':';
    exe.erase(at_root ? separator + 1 : separator);
  }
  return exe;
#else
  std::error_code error;
  // Linux names the running executable here; elsewhere fall back to the
  // working folder, which is where a program started by hand usually lives.
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && exe.has_parent_path()) {
    return exe.parent_path().string();
  }
  return std::filesystem::current_path(error).string();
#endif
}

std::string FirmwareFolder() {
  return FirmwareFolderOf(ProgramFolder(), kInstalledFirmwareFolder);
}

std::string FirmwareFolderOf(std::string_view program_folder, std::string_view installed) {
  std::string beside(program_folder);
#ifndef _WIN32
  std::error_code error;
  if (!std::filesystem::exists(MakeFirmwarePath(beside), error) && !installed.empty()) {
    const std::filesystem::path data =
        (std::filesystem::path(beside) / std::filesystem::path(installed)).lexically_normal();
    if (std::filesystem::exists(data / FirmwareFileName, error)) {
      std::string folder = data.string();
      if (folder.size() > 1 && folder.back() == PathSeparator) {
        folder.pop_back();
      }
      return folder;
    }
  }
#else
  (void)installed;
#endif
  return beside;
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
