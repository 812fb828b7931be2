#include "board_front.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace kx::testing {
namespace {

constexpr std::uint8_t kTypeMask = 0x60;
constexpr std::uint8_t kVendorType = 0x40;
constexpr std::uint8_t kRecipientMask = 0x1F;
constexpr std::uint8_t kDeviceToHost = 0x80;
constexpr int kAdcReplyBytes = 3;

// The microcontroller's loader, as its data sheet describes it.
constexpr std::uint8_t kLoaderRequest = 0xA0;
constexpr std::uint16_t kCpuControlRegister = 0xE600;
constexpr std::uint8_t kCpuResetBit = 0x01;

}  // namespace

BoardFront::BoardFront(std::string firmware_path, bool starts_running, AdcReplyShape replies,
                       board::sim::SimSettings chip)
    : firmware_path_(std::move(firmware_path)), replies_(replies), chip_(std::move(chip)) {
  board::HexParseResult parsed = board::LoadIntelHexFile(firmware_path_);
  if (!parsed.image) {
    throw std::runtime_error("emulated board without a usable image: " + parsed.error);
  }
  image_ = std::move(*parsed.image);
  if (starts_running) {
    for (const board::HexSegment& segment : image_.segments) {
      std::copy(segment.bytes.begin(), segment.bytes.end(), memory_.begin() + segment.address);
    }
    StartCpu();
  }
}

ControlOutcome BoardFront::Control(const SetupPacket& setup, std::uint8_t* data) {
  if ((setup.request_type & kTypeMask) != kVendorType ||
      (setup.request_type & kRecipientMask) != 0) {
    return {.stall = true};
  }
  if (setup.request == kLoaderRequest) {
    return Loader(setup, data);
  }
  if (!running_) {
    return {.stall = true};  // the loader knows no other request
  }
  const bool in = (setup.request_type & kDeviceToHost) != 0;
  std::uint8_t unused = 0;
  const std::int16_t status = chip_.Io().VendorIORequest(
      setup.request, setup.value, setup.index, in ? 1 : 0, static_cast<std::int16_t>(setup.length),
      setup.length > 0 ? data : &unused);
  if (status < 0) {
    return {.stall = true};
  }
  if (in && replies_ == AdcReplyShape::ShiftedLeftOne && setup.length >= 2) {
    const auto word = static_cast<std::uint16_t>((data[0] | (data[1] << 8)) << 1);
    data[0] = static_cast<std::uint8_t>(word & 0xFFU);
    data[1] = static_cast<std::uint8_t>(word >> 8);
  }
  return {.actual_length = in ? std::min<int>(setup.length, kAdcReplyBytes) : 0};
}

ControlOutcome BoardFront::Loader(const SetupPacket& setup, std::uint8_t* data) {
  const std::size_t room = memory_.size() - setup.value;
  const std::size_t count = std::min<std::size_t>(setup.length, room);
  const auto at = memory_.begin() + setup.value;
  if ((setup.request_type & kDeviceToHost) != 0) {
    std::copy_n(at, count, data);
    return {.actual_length = static_cast<int>(count)};
  }
  std::copy_n(data, count, at);
  ControlOutcome outcome{.actual_length = static_cast<int>(count)};
  if (setup.value == kCpuControlRegister && count >= 1) {
    const bool hold = (data[0] & kCpuResetBit) != 0;
    if (hold) {
      cpu_held_ = true;
      running_ = false;
    } else if (cpu_held_) {
      cpu_held_ = false;
      // The board's own firmware re-enumerates at once; anything else runs
      // without a word and the loader stays on the bus.
      outcome.drop_off = MemoryHoldsImage();
    }
  }
  return outcome;
}

bool BoardFront::StartCpu() {
  if (MemoryHoldsImage()) {
    running_ = chip_.Io().LoadFirmWare(firmware_path_.c_str()) >= 0;
  }
  return running_;
}

bool BoardFront::MemoryHoldsImage() const {
  return std::all_of(image_.segments.begin(), image_.segments.end(),
                     [this](const board::HexSegment& segment) {
                       return segment.address + segment.bytes.size() <= memory_.size() &&
                              std::equal(segment.bytes.begin(), segment.bytes.end(),
                                         memory_.begin() + segment.address);
                     });
}

std::vector<std::uint8_t> BoardFront::Memory(std::uint16_t address, std::size_t count) const {
  count = std::min(count, memory_.size() - address);
  const auto at = memory_.begin() + address;
  return {at, at + static_cast<std::ptrdiff_t>(count)};
}

}  // namespace kx::testing
