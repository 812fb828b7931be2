#include "board/sim/sim_dac_group.h"

namespace kx::board::sim {

namespace {

constexpr int kAllChannels = 15;
constexpr std::array<std::uint16_t, 3> kClearCodes = {0x000, 0x800, 0xFFF};

enum Command : unsigned {
  kWriteInput = 0,
  kUpdateDac = 1,
  kWriteInputUpdateAll = 2,
  kWriteInputAndDac = 3,
  kPowerDown = 4,
  kClearCodeSelect = 5,
  kLdacRegister = 6,
  kReset = 7,
  kReference = 8,
};

bool Addressable(int address) {
  return address < DacGroup::kChannels || address == kAllChannels;
}

}  // namespace

void DacGroup::Write(std::uint32_t word) {
  const unsigned command = (word >> 24) & 0xFU;
  const int address = static_cast<int>((word >> 20) & 0xFU);
  const auto code = static_cast<std::uint16_t>((word >> 8) & 0xFFFU);
  const auto data = static_cast<std::uint8_t>(word & 0xFFU);

  switch (command) {
    case kWriteInput:
      if (Addressable(address)) {
        WriteInput(address, code);
      }
      break;
    case kUpdateDac:
      if (Addressable(address)) {
        CopyToDac(address);
      }
      break;
    case kWriteInputUpdateAll:
      if (Addressable(address)) {
        WriteInput(address, code);
        CopyToDac(kAllChannels);
      }
      break;
    case kWriteInputAndDac:
      if (Addressable(address)) {
        WriteInput(address, code);
        CopyToDac(address);
      }
      break;
    case kPowerDown: {
      const int mode = static_cast<int>((word >> 8) & 0x3U);
      for (int channel = 0; channel < kChannels; ++channel) {
        if ((data >> channel) & 1U) {
          power_down_[Index(channel)] = mode;
        }
      }
      break;
    }
    case kClearCodeSelect: {
      const unsigned select = data & 0x3U;
      if (select < kClearCodes.size()) {  // select 3 is reserved: the word is ignored
        clear_code_ = kClearCodes[select];
      }
      break;
    }
    case kLdacRegister:
      ldac_mask_ = data;
      break;
    case kReset: {
      const bool ldac_low = ldac_low_;  // the line belongs to the board, not the group
      *this = DacGroup{};
      ldac_low_ = ldac_low;
      break;
    }
    case kReference:
      internal_reference_ = (data & 1U) != 0;
      break;
    default:
      break;
  }
  FollowTransparentChannels();
}

void DacGroup::PulseLdac() {
  CopyToDac(kAllChannels);
}

void DacGroup::SetLdacLow(bool low) {
  ldac_low_ = low;
  FollowTransparentChannels();
}

void DacGroup::Clear() {
  input_.fill(clear_code_);
  dac_.fill(clear_code_);
}

double DacGroup::OutputVolts(int channel, double external_reference) const {
  if (PowerDownMode(channel) != 0) {
    return 0.0;
  }
  const double span = internal_reference_ ? kInternalReferenceVolts : external_reference;
  return DacRegister(channel) / 4096.0 * span;
}

void DacGroup::WriteInput(int address, std::uint16_t code) {
  if (address == kAllChannels) {
    input_.fill(code);
  } else {
    input_[Index(address)] = code;
  }
}

void DacGroup::CopyToDac(int address) {
  if (address == kAllChannels) {
    dac_ = input_;
  } else {
    dac_[Index(address)] = input_[Index(address)];
  }
}

// A channel whose LDAC register bit is set, or every channel while the LDAC
// line is held low, has its DAC register track its input register.
void DacGroup::FollowTransparentChannels() {
  for (int channel = 0; channel < kChannels; ++channel) {
    if (ldac_low_ || ((ldac_mask_ >> channel) & 1U)) {
      dac_[Index(channel)] = input_[Index(channel)];
    }
  }
}

}  // namespace kx::board::sim
