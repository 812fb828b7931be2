#include "adc_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <utility>

#include "board/cvn_board_link.h"
#include "board/usb_board_io_link.h"

namespace kx::adc::testing {

namespace {

const std::string kFirmwareFolder = std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();

std::unique_ptr<board::BoardLink> MakeLink(AdcWordRules rules, AdcRig& rig) {
  if (rules == AdcWordRules::Version2) {
    return std::make_unique<board::CvnBoardLink>(rig.cvn, rig.port, kFirmwareFolder);
  }
  return std::make_unique<board::UsbBoardIoLink>(rig.io, rig.port, kFirmwareFolder);
}

// "... value=0x8390 index=-1 ..." -> 0xFFFF8390.
std::uint32_t WordOf(const std::string& line) {
  const std::size_t value_at = line.find("value=0x");
  const std::size_t index_at = line.find("index=");
  const auto value = static_cast<std::uint32_t>(std::stoul(line.substr(value_at + 8), nullptr, 16));
  const int index = std::stoi(line.substr(index_at + 6));
  return (static_cast<std::uint32_t>(index) << 16) | value;
}

}  // namespace

bool Unplugging::Unplugged() {
  if (!answers_left) {
    return false;
  }
  if (*answers_left == 0) {
    return true;
  }
  --*answers_left;
  return false;
}

std::int16_t Unplugging::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                           std::int32_t& number, board::BoardList& list) {
  return cvn_.Search_For_Boards(vendor, product, number, list);
}

std::int16_t Unplugging::Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                                 std::int32_t& handle) {
  return cvn_.Connect(vendor, product, board, handle);
}

std::int16_t Unplugging::Download_Firmware(std::int32_t handle, const char* path) {
  return cvn_.Download_Firmware(handle, path);
}

std::int16_t Unplugging::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                        std::int32_t value, std::int32_t index,
                                        std::uint8_t direction, std::int32_t length,
                                        std::uint8_t* buffer) {
  if (Unplugged()) {
    return UnpluggedStatus;
  }
  return cvn_.Vendor_Request(handle, request, value, index, direction, length, buffer);
}

std::int16_t Unplugging::LoadFirmWare(const char* path) {
  return io_.LoadFirmWare(path);
}

std::int16_t Unplugging::VendorIORequest(std::int16_t request, std::int32_t value,
                                         std::int32_t index, std::int16_t direction,
                                         std::int16_t length, std::uint8_t* buffer) {
  if (Unplugged()) {
    return UnpluggedStatus;
  }
  return io_.VendorIORequest(request, value, index, direction, length, buffer);
}

AdcRig::AdcRig(AdcWordRules word_rules, board::sim::SimSettings settings)
    : rules(word_rules),
      board(std::move(settings)),
      link(MakeLink(word_rules, *this)),
      ops(*link, port, word_rules) {
  link->LoadUSB();
  out.str("");
  port.messages.clear();
  port.status_lines.clear();
}

std::vector<std::string> AdcRig::TakeLines() {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  out.str("");
  return lines;
}

std::vector<std::uint32_t> AdcRig::TakeAdcWords() {
  std::vector<std::uint32_t> words;
  for (const std::string& line : TakeLines()) {
    if (line.find("code=0xE4 ") != std::string::npos) {
      words.push_back(WordOf(line));
    }
  }
  return words;
}

std::string RulesName(const ::testing::TestParamInfo<AdcWordRules>& info) {
  return info.param == AdcWordRules::Version2 ? "Version2" : "Classic";
}

board::sim::SimSettings AbsentBoard() {
  board::sim::SimSettings settings;
  settings.present = false;
  return settings;
}

board::sim::SimSettings StaircaseInputs() {
  board::sim::SimSettings settings;
  for (int channel = 0; channel < AdcChannels; ++channel) {
    settings.inputs[channel] = channel * 0.3125;
  }
  return settings;
}

TempFolder::TempFolder() {
  static std::atomic<int> counter{0};
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = "kx7312-adc";
  if (test != nullptr) {
    name += std::string("-") + test->test_suite_name() + "-" + test->name();
  }
  std::replace(name.begin(), name.end(), '/', '_');
  path_ = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(counter++));
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
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> CrLfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the last line has no CR LF";
      break;
    }
    std::string line = bytes.substr(start, end - start);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "stray CR or LF in a line";
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

}  // namespace kx::adc::testing
