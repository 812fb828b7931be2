#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <random>

namespace kx::testing {

TempFolder::TempFolder() {
  // The test's name keeps leftovers readable; the random part keeps test
  // programs running side by side (several builds at once) apart.
  static std::atomic<int> counter{0};
  static const unsigned run = std::random_device{}();
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "kx7312";
  if (test != nullptr) {
    name += std::string("-") + test->test_suite_name() + "-" + test->name();
  }
  std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
  path_ = std::filesystem::temp_directory_path() /
          (name + "-" + std::to_string(run) + "-" + std::to_string(counter++));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> TempFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace kx::testing
