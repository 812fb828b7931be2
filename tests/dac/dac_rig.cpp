#include "dac_rig.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <istream>

#include "board/cvn_board_link.h"
#include "board/usb_board_io_link.h"

namespace kx::dac::rig {

namespace {

const std::string kFirmwareFolder = std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();

// The number after `key` in a trace line, in the base given.
std::int64_t Field(const std::string& line, const std::string& key, int base) {
  const std::size_t at = line.find(key);
  if (at == std::string::npos) {
    ADD_FAILURE() << "no " << key << " in: " << line;
    return 0;
  }
  return std::stoll(line.substr(at + key.size()), nullptr, base);
}

}  // namespace

std::string LinkName(LinkKind kind) {
  return kind == LinkKind::Cvn ? "Cvn" : "Io";
}

std::string LinkParamName(const ::testing::TestParamInfo<LinkKind>& param) {
  return LinkName(param.param);
}

void PrintTo(const Sent& sent, std::ostream* out) {
  *out << std::hex << std::uppercase << "{0x" << sent.code << ", 0x"
       << static_cast<std::uint32_t>(sent.word) << "}";
}

DacRig::DacRig(LinkKind link_kind, board::sim::SimSettings settings)
    : kind(link_kind), board(std::move(settings)) {
  if (kind == LinkKind::Cvn) {
    cvn_tracer = std::make_unique<board::trace::TracingCvnCyusbUsb4>(board.Cvn(), sink);
    link = std::make_unique<board::CvnBoardLink>(*cvn_tracer, kFirmwareFolder);
  } else {
    io_tracer = std::make_unique<board::trace::TracingUsbBoardIo>(board.Io(), sink);
    link = std::make_unique<board::UsbBoardIoLink>(*io_tracer, kFirmwareFolder);
  }
  port.ShowLoad(link->LoadUSB());
  link->TakeSent();
  core = std::make_unique<DacOperations>(*link);
  ops = std::make_unique<kx::testing::ShownDac>(*core, port);
  Mark();
}

std::vector<std::string> DacRig::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(mark_));
  return lines;
}

std::vector<Sent> DacRig::Requests() const {
  std::vector<Sent> sent;
  for (const std::string& line : Lines()) {
    EXPECT_EQ(line.rfind("request ", 0), 0U) << line;
    // Every DAC and control-line request is outgoing and carries no data.
    EXPECT_NE(line.find(" dir=0 len=0 "), std::string::npos) << line;
    const auto value = static_cast<std::uint32_t>(Field(line, "value=0x", 16));
    const auto index = static_cast<std::uint32_t>(Field(line, "index=", 10));
    sent.push_back({static_cast<int>(Field(line, "code=0x", 16)),
                    static_cast<std::int32_t>((index << 16U) | value)});
  }
  return sent;
}

void DacRig::Mark() {
  mark_ += Lines().size();
}

std::string DacRig::Line(int code, std::int32_t word, int status) const {
  const auto bits = static_cast<std::uint32_t>(word);
  // The high half travels as a signed index.
  const auto index = static_cast<std::int16_t>(bits >> 16U);
  return fmt::format("request {}code=0x{:02X} value=0x{:04X} index={} dir=0 len=0 status={}",
                     kind == LinkKind::Cvn ? "handle=1 " : "", code, bits & 0xFFFFU, index, status);
}

DacOperations::ChannelTicks AllTicked() {
  DacOperations::ChannelTicks ticked{};
  ticked.fill(true);
  return ticked;
}

DacOperations::ChannelTicks NoneTicked() {
  return {};
}

DacOperations::ChannelTicks Ticked(std::initializer_list<int> channels) {
  DacOperations::ChannelTicks ticked{};
  for (const int channel : channels) {
    ticked.at(static_cast<std::size_t>(channel)) = true;
  }
  return ticked;
}

DacOperations::ChannelTexts StartupTexts() {
  return {"1FF", "2FF", "3FF", "4FF", "5FF", "6FF", "7FF", "FFF",
          "0FF", "1FF", "2FF", "3FF", "4FF", "5FF", "6FF", "7FF"};
}

}  // namespace kx::dac::rig
