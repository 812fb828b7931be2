#include "support/bad_log_files.h"

#ifndef _WIN32

#include <sys/stat.h>

#include "support/fifo_guard.h"
#include "support/temp_folder.h"

namespace kx::testing {

namespace fs = std::filesystem;

const std::vector<BadLogFile>& BadLogFiles() {
  static const std::vector<BadLogFile> files = {
      {"a FIFO", "fifo", true, false,
       [](const fs::path& logs, const fs::path&) { MakeFifo((logs / "fifo").string()); }},
      {"a device behind a link", "null", true, false,
       [](const fs::path& logs, const fs::path&) {
         fs::create_symlink("/dev/null", logs / "null");
       }},
      {"a read-only file", "kept.csv", true, false,
       [](const fs::path& logs, const fs::path&) {
         WriteBytes((logs / "kept.csv").string(), "last week's run\n");
         fs::permissions(logs / "kept.csv", fs::perms::owner_read | fs::perms::group_read);
       }},
      {"a dangling link", "dangling", false, false,
       [](const fs::path& logs, const fs::path&) {
         fs::create_symlink("../outside/newfile.csv", logs / "dangling");
       }},
      {"a linked folder", "subdir/x.csv", false, true,
       [](const fs::path& logs, const fs::path&) {
         fs::create_directory_symlink("../outside", logs / "subdir");
       }},
      {"a link to a file outside", "evil", true, true,
       [](const fs::path& logs, const fs::path& outside) {
         WriteBytes((outside / "victim.txt").string(), "keep me\n");
         fs::create_symlink("../outside/victim.txt", logs / "evil");
       }},
      {"a name through \"..\"", "sub/../../outside/up.csv", false, true,
       [](const fs::path& logs, const fs::path&) { fs::create_directory(logs / "sub"); }},
  };
  return files;
}

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) {
      contents[fs::relative(entry.path(), folder).string()] = ReadBytes(entry.path().string());
    }
  }
  return contents;
}

}  // namespace kx::testing

#endif
