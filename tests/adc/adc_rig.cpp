#include "adc_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "board/cvn_board_link.h"
#include "board/link_requests.h"
#include "board/usb_board_io_link.h"
#include "support/trace_requests.h"

namespace kx::adc::testing {

namespace {

const std::string kFirmwareFolder = std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();

std::unique_ptr<board::BoardLink> MakeLink(AdcWordRules rules, AdcRig& rig) {
  if (rules == AdcWordRules::Version2) {
    return std::make_unique<board::CvnBoardLink>(rig.cvn, kFirmwareFolder);
  }
  return std::make_unique<board::UsbBoardIoLink>(rig.io, kFirmwareFolder);
}

}  // namespace

AdcRig::AdcRig(AdcWordRules word_rules, board::sim::SimSettings settings)
    : rules(word_rules),
      board(std::move(settings)),
      link(MakeLink(word_rules, *this)),
      core(*link, word_rules) {
  port.ShowLoad(link->LoadUSB());
  link->TakeSent();
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
  for (const kx::testing::SentRequest& request : kx::testing::Requests(TakeLines())) {
    if (request.code == board::AdcTransferRequest) {
      words.push_back(request.word);
    }
  }
  return words;
}

std::string RulesName(const ::testing::TestParamInfo<AdcWordRules>& info) {
  return info.param == AdcWordRules::Version2 ? "Version2" : "Classic";
}

board::sim::SimSettings StaircaseInputs() {
  board::sim::SimSettings settings;
  for (int channel = 0; channel < AdcChannels; ++channel) {
    settings.inputs[channel] = channel * 0.3125;
  }
  return settings;
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
