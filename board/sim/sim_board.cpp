#include "board/sim/sim_board.h"

#include <algorithm>
#include <utility>

#include "board/intel_hex.h"
#include "board/link_requests.h"

namespace kx::board::sim {

namespace {

constexpr std::int32_t kOnlyBoard = 1;

bool DataLess(int code) {
  switch (code) {
    case ClrHighRequest:
    case PulseLdacRequest:
    case ClrLowRequest:
    case PostBootRequest:
    case LdacHighRequest:
    case LdacLowRequest:
    case DacLowRequest:
    case DacHighRequest:
      return true;
    default:
      return false;
  }
}

}  // namespace

SimBoard::SimBoard(SimSettings settings) : settings_(std::move(settings)) {}

double SimBoard::DacOutputVolts(int channel) const {
  return Group(channel / DacGroup::kChannels)
      .OutputVolts(channel % DacGroup::kChannels, settings_.external_reference);
}

double SimBoard::AdcInputVolts(int channel) const {
  const auto fixed = settings_.inputs.find(channel);
  return fixed != settings_.inputs.end() ? fixed->second : DacOutputVolts(channel);
}

// The loader checks the whole image before it touches the controller, so a
// bad file leaves a running firmware running.
bool SimBoard::AcceptFirmware(const char* path) {
  const HexParseResult image = LoadIntelHexFile(path == nullptr ? std::string() : path);
  last_firmware_error_ = image.error;
  if (!image.image) {
    return false;
  }
  firmware_running_ = true;
  return true;
}

std::int16_t SimBoard::Request(int code, std::int32_t value, std::int32_t index, int direction,
                               int length, std::uint8_t* buffer, ReplyShape shape) {
  if (!firmware_running_) {
    return kRequestNotBooted;
  }
  if (code == AdcTransferRequest) {
    if (direction != DirectionIn) {
      return kRequestStalled;
    }
    const auto word = static_cast<std::uint16_t>(value & 0xFFFF);
    const int channel = adc_.SelectedChannel();
    std::uint16_t reply = adc_.Transfer(word, AdcInputVolts(channel), settings_.adc_reference);
    if (shape == ReplyShape::ShiftedLeftOne) {
      reply = static_cast<std::uint16_t>(reply << 1);
    }
    const std::array<std::uint8_t, 3> bytes = {static_cast<std::uint8_t>(reply & 0xFFU),
                                               static_cast<std::uint8_t>(reply >> 8), 0};
    const int count = std::clamp(length, 0, static_cast<int>(bytes.size()));
    if (buffer != nullptr) {
      std::copy_n(bytes.begin(), count, buffer);
    }
    return 0;
  }
  if (!DataLess(code) || direction != DirectionOut) {
    return kRequestStalled;
  }
  switch (code) {
    case DacLowRequest:
    case DacHighRequest: {
      // The firmware takes the setup packet's 16-bit index as the high half.
      const std::uint32_t word =
          (static_cast<std::uint32_t>(index) << 16) | (static_cast<std::uint32_t>(value) & 0xFFFFU);
      groups_[code == DacLowRequest ? 0 : 1].Write(word);
      break;
    }
    case PulseLdacRequest:
      for (DacGroup& group : groups_) {
        group.PulseLdac();
      }
      break;
    case LdacLowRequest:
    case LdacHighRequest:
      ldac_low_ = code == LdacLowRequest;
      for (DacGroup& group : groups_) {
        group.SetLdacLow(ldac_low_);
      }
      break;
    case ClrLowRequest:
      clr_low_ = true;
      for (DacGroup& group : groups_) {
        group.Clear();
      }
      break;
    case ClrHighRequest:
      clr_low_ = false;
      break;
    case PostBootRequest:
      ++post_boot_count_;
      break;
    default:
      break;
  }
  return 0;
}

std::int16_t SimBoard::CvnFace::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                                  std::int32_t& number, BoardList& list) {
  if (!board_.settings_.present || vendor != BoardVendorId || product != BoardProductId) {
    return 0;
  }
  number = 1;
  list[0] = kOnlyBoard;
  return 1;
}

std::int16_t SimBoard::CvnFace::Connect(std::int32_t vendor, std::int32_t product,
                                        std::int32_t board, std::int32_t& handle) {
  if (!board_.settings_.present || vendor != BoardVendorId || product != BoardProductId ||
      board != kOnlyBoard) {
    return -1;
  }
  handle = board_.next_handle_++;
  return 0;
}

std::int16_t SimBoard::CvnFace::Download_Firmware(std::int32_t handle, const char* path) {
  if (!board_.settings_.present) {
    return kDownloadNoBoard;
  }
  if (!board_.HandleIssued(handle)) {
    return kDownloadBadHandle;
  }
  return board_.AcceptFirmware(path) ? 0 : kDownloadBadImage;
}

std::int16_t SimBoard::CvnFace::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                               std::int32_t value, std::int32_t index,
                                               std::uint8_t direction, std::int32_t length,
                                               std::uint8_t* buffer) {
  if (!board_.settings_.present) {
    return kRequestNoBoard;
  }
  if (!board_.HandleIssued(handle)) {
    return kRequestBadHandle;
  }
  // This link hands over the converter's word as the firmware clocks it in:
  // one bit later, so the code arrives in bits 12-1.
  return board_.Request(request, value, index, direction, length, buffer,
                        ReplyShape::ShiftedLeftOne);
}

std::int16_t SimBoard::IoFace::LoadFirmWare(const char* path) {
  if (!board_.settings_.present) {
    return kLoadNoBoard;
  }
  return board_.AcceptFirmware(path) ? 0 : kLoadBadImage;
}

std::int16_t SimBoard::IoFace::VendorIORequest(std::int16_t request, std::int32_t value,
                                               std::int32_t index, std::int16_t direction,
                                               std::int16_t length, std::uint8_t* buffer) {
  if (!board_.settings_.present) {
    return kRequestNoBoard;
  }
  return board_.Request(request, value, index, direction, length, buffer, ReplyShape::AsConverted);
}

}  // namespace kx::board::sim
