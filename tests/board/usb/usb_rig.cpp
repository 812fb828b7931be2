#include "usb_rig.h"

#include <fstream>
#include <random>
#include <stdexcept>
#include <utility>

#include "board/link_requests.h"

namespace kx::testing {
namespace {

std::unique_ptr<board::usb::UsbLinkLibrary> OpenLibrary(const board::usb::UsbOptions& options,
                                                        board::OperatorPort& port) {
  board::usb::OpenedUsbLinkLibrary opened = board::usb::OpenUsbLinkLibrary(options, port);
  if (!opened.library) {
    throw std::runtime_error(opened.error);
  }
  return std::move(opened.library);
}

}  // namespace

UsbRig::UsbRig(EmulatedBoardSetup setup, board::usb::UsbOptions options, std::string folder)
    : board(std::move(setup)),
      library(OpenLibrary(options, port)),
      version2(cvn, folder),
      classic(io, folder) {}

std::vector<std::string> UsbRig::TraceLines() const {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string UsbRig::LastTraceLine() const {
  const std::vector<std::string> lines = TraceLines();
  return lines.empty() ? std::string() : lines.back();
}

std::map<std::uint32_t, std::uint8_t> DataRecordBytes(const std::string& path) {
  std::map<std::uint32_t, std::uint8_t> bytes;
  std::ifstream in(path);
  std::uint32_t base = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 11 || line[0] != ':') {
      continue;
    }
    const auto byte_at = [&line](std::size_t i) {
      return static_cast<std::uint8_t>(std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16));
    };
    const std::size_t count = byte_at(0);
    const std::uint32_t offset = (std::uint32_t{byte_at(1)} << 8) | byte_at(2);
    const std::uint8_t type = byte_at(3);
    if (type == 0x04) {
      base = ((std::uint32_t{byte_at(4)} << 8) | byte_at(5)) << 16;
    } else if (type == 0x00) {
      for (std::size_t i = 0; i < count; ++i) {
        bytes[base + offset + static_cast<std::uint32_t>(i)] = byte_at(4 + i);
      }
    }
  }
  return bytes;
}

std::map<std::uint32_t, std::uint8_t> LoaderWrites(const std::vector<ControlRecord>& records) {
  std::map<std::uint32_t, std::uint8_t> bytes;
  for (const ControlRecord& record : records) {
    if (record.setup.request_type != 0x40 || record.setup.request != 0xA0 ||
        record.setup.value == 0xE600) {
      continue;
    }
    for (std::size_t i = 0; i < record.data.size(); ++i) {
      bytes[record.setup.value + static_cast<std::uint32_t>(i)] = record.data[i];
    }
  }
  return bytes;
}

std::vector<ControlRecord> SeenBy(const std::vector<ControlRecord>& records, int device_number) {
  std::vector<ControlRecord> seen;
  for (const ControlRecord& record : records) {
    if (record.device_number == device_number) {
      seen.push_back(record);
    }
  }
  return seen;
}

void UsbBackendTest::SetUp() {
  ASSERT_TRUE(EmulatedUsbBoard::InMockEnvironment())
      << "the USB backend tests run under umockdev-wrapper (ctest does that); without it "
         "libusb would reach this machine's real USB devices";
}

ScratchFolder::ScratchFolder() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("kx7312-usb-" + std::to_string(random()) + "-" + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::WriteFirmware(const std::string& text) const {
  std::ofstream(path_ / board::FirmwareFileName, std::ios::binary) << text;
}

}  // namespace kx::testing
