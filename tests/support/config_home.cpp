#include "support/config_home.h"

#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): mkdtemp, setenv

#include <stdexcept>
#include <string>
#include <system_error>

namespace kx::testing {

namespace {

class ConfigHome {
 public:
  ConfigHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kx7312-home-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      throw std::runtime_error("cannot make a private home folder in " + pattern);
    }
    path_ = pattern;
    ::setenv("HOME", path_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (path_ / ".config").c_str(), 1);
  }
  ~ConfigHome() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

const std::filesystem::path& PrivateConfigHome() {
  static const ConfigHome home;
  return home.Path();
}

}  // namespace kx::testing
