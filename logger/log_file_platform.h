#pragma once

// The few system calls a log file needs beyond the standard library: an
// open that never blocks, never touches a device and keeps a second writer
// out, a folder that names stay inside, whole writes and cutting back. One
// implementation per platform: log_file_posix.cpp and log_file_windows.cpp.
// Only log_file.cpp uses this header.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace kx::logger::platform {

// A log's file opened for writing, emptied, and locked against a second
// writer; or why not. `exists` tells a refusal that only overwriting would
// lift.
struct Opening {
  int descriptor = -1;
  bool exists = false;
  bool creating = false;  // the refusal came while creating a new file
  std::string refusal;
};

// `path` as the operator gave it: a link to a regular file is followed, but
// the target of a dangling link is never created.
Opening OpenFollowing(const std::filesystem::path& path, bool overwrite);
// `name` beneath the folder open at `folder`: no link, no "..", no absolute
// name leads out of it, and the file itself is never a link.
Opening OpenBeneath(int folder, const std::filesystem::path& folder_path, const std::string& name,
                    bool overwrite);

// The folder opened for OpenBeneath; -1 and the reason when it cannot be.
int OpenFolder(const std::filesystem::path& path, std::error_code& error);
void CloseFolder(int folder);

std::error_code WriteAll(int descriptor, std::string_view bytes);
// Back to `size` bytes, the next write going at the end.
void CutBack(int descriptor, std::uintmax_t size);
std::error_code Close(int descriptor);

}  // namespace kx::logger::platform
