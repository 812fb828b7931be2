#include "support/config_home.h"

#include <cstdlib>
#include <random>
#include <string>
#include <system_error>

namespace kx::testing {

namespace {

void SetVariable(const char* name, const std::filesystem::path& value) {
#ifdef _WIN32
  _putenv_s(name, value.string().c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

class ConfigHome {
 public:
  ConfigHome()
      : home_(std::filesystem::temp_directory_path() /
              ("kx7312-home-" + std::to_string(std::random_device{}()))) {
    std::filesystem::remove_all(home_);
    std::filesystem::create_directories(home_ / ".config");
    SetVariable("HOME", home_);
    UseConfigFolder(home_ / ".config");
  }
  ~ConfigHome() {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }
  ConfigHome(const ConfigHome&) = delete;
  ConfigHome& operator=(const ConfigHome&) = delete;

  std::filesystem::path Config() const { return home_ / ".config"; }

 private:
  std::filesystem::path home_;
};

}  // namespace

void UseConfigFolder(const std::filesystem::path& config) {
  SetVariable("XDG_CONFIG_HOME", config);
#ifdef _WIN32
  SetVariable("APPDATA", config);
#endif
}

const std::filesystem::path& PrivateConfigHome() {
  static const ConfigHome home;
  static const std::filesystem::path config = home.Config();
  return config;
}

}  // namespace kx::testing
