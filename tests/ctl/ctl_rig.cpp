#include "ctl_rig.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>

#include "ctl/run_ctl.h"
#include "ctl/script.h"

namespace kx::ctl::testing {

namespace {

// "... code=0xD9 value=0x0001 index=2048 ..." -> "0xD9 0x08000001".
std::optional<std::string> RequestOfLine(const std::string& line) {
  if (!line.starts_with("request ")) {
    return std::nullopt;
  }
  const std::size_t code_at = line.find("code=0x");
  const std::size_t value_at = line.find("value=0x");
  const std::size_t index_at = line.find("index=");
  const auto code = static_cast<std::uint8_t>(std::stoul(line.substr(code_at + 7), nullptr, 16));
  const auto value = static_cast<std::uint32_t>(std::stoul(line.substr(value_at + 8), nullptr, 16));
  const int index = std::stoi(line.substr(index_at + 6));
  return RequestText(code, (static_cast<std::uint32_t>(index) << 16U) | value);
}

// Requests of a start-up: the post-boot request and the four ADC words.
constexpr std::size_t kStartUpRequests = 5;

}  // namespace

bool CutOff::CutNow() {
  if (!answers_left) {
    return false;
  }
  if (*answers_left == 0) {
    return true;
  }
  --*answers_left;
  return false;
}

std::string RequestText(std::uint8_t code, std::uint32_t word) {
  return fmt::format("0x{:02X} 0x{:08X}", code, word);
}

CtlRig::CtlRig(const Edition& edition_, board::sim::SimSettings settings)
    : edition(edition_), board(std::move(settings)) {}

int CtlRig::Run(const std::string& command_line, bool json, const std::string& input) {
  std::istringstream words_in(command_line);
  const std::vector<std::string> words{std::istream_iterator<std::string>(words_in),
                                       std::istream_iterator<std::string>()};
  std::istringstream standard_input(input);
  const CommandList list = ReadCommands(words, edition, standard_input);
  if (!list.error.empty()) {
    out.clear();
    err = list.error;
    trace_start_ = trace_.str().size();
    return ExitUsage;
  }
  return Run(list.commands, json);
}

int CtlRig::Run(const std::vector<Command>& commands, bool json) {
  trace_start_ = trace_.str().size();
  std::ostringstream out_stream;
  std::ostringstream err_stream;
  LinkSetup link{{&cvn_, &io_}, port_, FirmwareFolder(), {}};
  const int status = RunCommands(edition, link, commands, json, out_stream, err_stream);
  out = out_stream.str();
  err = err_stream.str();
  return status;
}

std::vector<std::string> CtlRig::TraceLines() const {
  return SplitLines(trace_.str().substr(trace_start_));
}

std::vector<std::string> CtlRig::Requests() const {
  std::vector<std::string> requests;
  for (const std::string& line : TraceLines()) {
    if (std::optional<std::string> request = RequestOfLine(line)) {
      requests.push_back(*request);
    }
  }
  requests.erase(requests.begin(), requests.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                          kStartUpRequests, requests.size())));
  return requests;
}

board::sim::SimSettings AbsentBoard() {
  board::sim::SimSettings settings;
  settings.present = false;
  return settings;
}

TempFolder::TempFolder() {
  // Random, so that test programs running side by side never share a folder.
  std::random_device random;
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? test->name() : "test";
  std::replace(name.begin(), name.end(), '/', '_');  // parameterised tests
  path_ = std::filesystem::temp_directory_path() / fmt::format("kx_ctl_{}_{:08x}", name, random());
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return lines;
}

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

}  // namespace kx::ctl::testing
