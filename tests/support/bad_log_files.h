#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kx::testing {

// A file a log must not write as it stands, made in a log folder `logs`
// beside a folder `outside` that a client on the network must never reach.
// POSIX only: links and FIFOs.
struct BadLogFile {
  std::string what;
  std::string name;  // as given, relative to `logs`
  bool overwrite;
  // The command-line logger follows links, as its user chose the path; the
  // server's folder never leads out.
  bool operator_path_taken;
  std::function<void(const std::filesystem::path& logs, const std::filesystem::path& outside)> make;
};
const std::vector<BadLogFile>& BadLogFiles();

// Every file under `folder` with its bytes, to show that nothing changed.
std::map<std::string, std::string> FolderContents(const std::filesystem::path& folder);

}  // namespace kx::testing
