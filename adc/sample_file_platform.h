#pragma once

// The few file-system calls a capture file needs that the standard library
// does not offer: descriptors we can flush to disk, an exclusive create, a
// rename that replaces, the owner and mode of a file. One implementation per
// platform: sample_file_posix.cpp and sample_file_windows.cpp. Only
// sample_file.cpp uses this header.

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace kx::adc::platform {

// What the capture needs to know about the file it is to replace.
struct FileFacts {
  bool exists = false;
  bool directory = false;
  bool regular = false;
  // We may write it. Beyond the platform's own access check, a file without
  // any write permission bit counts as read-only even for a process that
  // could write it anyway (root on POSIX): the bits are how a user marks a
  // file as not to be overwritten.
  bool writable = false;
  // POSIX only: what a replacement must get back.
  std::uint32_t mode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
};

// The facts of `path`, following links. A path that does not exist (or runs
// through a plain file) is no error: `exists` stays false.
std::error_code Inspect(const std::filesystem::path& path, FileFacts& facts);

// A new file opened for writing; fails with file_exists when the name is
// taken. The mode is what any new file gets (0666 less the umask on POSIX).
int CreateNew(const std::filesystem::path& path, std::error_code& error);
// An existing file opened for writing, its contents left as they are.
int OpenExisting(const std::filesystem::path& path, std::error_code& error);

// Takes the lock a data logger holds on its file, so that a capture never
// replaces a log that is being written. The descriptor that holds it, or -1:
// with resource_unavailable_try_again while another program holds it, and
// with no error when there is no file to lock (or the platform keeps a
// written file from being replaced by itself).
int LockExisting(const std::filesystem::path& path, std::error_code& error);

std::error_code WriteAll(int descriptor, std::string_view bytes);
std::error_code TruncateToZero(int descriptor);
// Returns once the file's data is on the disk.
std::error_code SyncFile(int descriptor);
std::error_code Close(int descriptor);

// Gives the file open at `descriptor` the owner, group and mode in `facts`.
// An owner the process may not give is left as it is.
std::error_code KeepOwnerAndMode(int descriptor, const FileFacts& facts);

// Renames `from` over `to` in one step: at no moment is `to` missing. (Not
// "ReplaceFile": windows.h makes that name a macro.)
std::error_code RenameOver(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes a rename in `folder` last through a power cut where the platform
// needs a separate step for that; best effort.
void SyncFolder(const std::filesystem::path& folder);

}  // namespace kx::adc::platform
