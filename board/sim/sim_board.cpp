#include "board/sim/sim_board.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "board/intel_hex.h"
#include "board/link_requests.h"
#include "board/link_status.h"

namespace kx::board::sim {

namespace {

constexpr std::int32_t kOnlyBoard = 1;

// The board this one simulates: what it answers to and which requests it
// knows.
constexpr const BoardModel& kModel = KX7312Board;
constexpr const RequestCodes& kCodes = kModel.requests;

bool Known(int code) {
  const auto codes = kCodes.All();
  return std::find(codes.begin(), codes.end(), code) != codes.end();
}

bool DataLess(int code) {
  return Known(code) && code != kCodes.adc_transfer;
}

bool IsThisBoard(std::int32_t vendor, std::int32_t product) {
  return vendor == kModel.running_id.vendor && product == kModel.running_id.product;
}

}  // namespace

SimBoard::SimBoard(SimSettings settings) : settings_(std::move(settings)) {
  for (const auto& [channel, signal] : settings_.signal_inputs) {
    noise_[static_cast<std::size_t>(channel)].seed(signal.seed);
  }
  for (const auto& [channel, errors] : settings_.adc_errors) {
    adc_errors_.emplace(channel, AdcTransfer(errors));
  }
  for (const auto& [channel, errors] : settings_.dac_errors) {
    dac_errors_.emplace(channel, DacTransfer(errors));
  }
}

void SimBoard::Unplug() {
  settings_.present = false;
  firmware_running_ = false;
  groups_ = {};
  adc_ = Adc{};
  ldac_low_ = false;
  clr_low_ = false;
  first_valid_handle_ = next_handle_;
}

double SimBoard::DacOutputVolts(int channel) const {
  const DacGroup& group = Group(channel / DacGroup::kChannels);
  const int within = channel % DacGroup::kChannels;
  const auto errors = dac_errors_.find(channel);
  if (errors == dac_errors_.end() || group.PowerDownMode(within) != 0) {
    return group.OutputVolts(within, settings_.external_reference);
  }
  // The model replaces the code by its level; the output cannot go below
  // ground.
  return std::max(errors->second.OutputLsb(group.DacRegister(within)) * DacVoltsPerLsb(channel),
                  0.0);
}

double SimBoard::DacVoltsPerLsb(int channel) const {
  const DacGroup& group = Group(channel / DacGroup::kChannels);
  return (group.InternalReference() ? DacGroup::kInternalReferenceVolts
                                    : settings_.external_reference) /
         kConverterCodes;
}

double SimBoard::AdcInputVolts(int channel) const {
  const auto signal = settings_.signal_inputs.find(channel);
  if (signal != settings_.signal_inputs.end()) {
    const SimSignal& s = signal->second;
    const auto t = static_cast<double>(Conversions(channel));
    // The phase of t is taken modulo one cycle first, so that a long run
    // keeps its precision.
    const double cycles = std::fmod(s.frequency * t, 1.0);
    return s.offset + s.amplitude * std::sin(2.0 * std::numbers::pi * cycles + s.phase);
  }
  const auto fixed = settings_.inputs.find(channel);
  return fixed != settings_.inputs.end() ? fixed->second : DacOutputVolts(channel);
}

double SimBoard::ConvertedInputVolts(int channel) {
  double volts = AdcInputVolts(channel);
  const auto signal = settings_.signal_inputs.find(channel);
  const auto index = static_cast<std::size_t>(channel);
  if (signal != settings_.signal_inputs.end() && signal->second.noise_lsb > 0.0) {
    const double span = adc_.HalfSpan() ? settings_.adc_reference : 2.0 * settings_.adc_reference;
    std::normal_distribution<double> noise(0.0, signal->second.noise_lsb * span / 4096.0);
    volts += noise(noise_[index]);
  }
  const auto dac = dac_errors_.find(channel);
  if (signal == settings_.signal_inputs.end() && !settings_.inputs.contains(channel) &&
      dac != dac_errors_.end()) {
    volts = std::max(volts + dac->second.Noise() * DacVoltsPerLsb(channel), 0.0);
  }
  ++conversions_[index];
  return volts;
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
    return RequestNotBooted;
  }
  if (code == kCodes.adc_transfer) {
    if (direction != DirectionIn) {
      return RequestStalled;
    }
    const auto word = static_cast<std::uint16_t>(value & 0xFFFF);
    const int channel = adc_.SelectedChannel();
    const auto errors = adc_errors_.find(channel);
    std::uint16_t reply = adc_.Transfer(word, ConvertedInputVolts(channel), settings_.adc_reference,
                                        errors == adc_errors_.end() ? nullptr : &errors->second);
    if (shape == ReplyShape::ShiftedLeftOne) {
      reply = static_cast<std::uint16_t>(reply << 1);
    }
    const std::array<std::uint8_t, static_cast<std::size_t>(kModel.adc_reply_length)> bytes = {
        static_cast<std::uint8_t>(reply & 0xFFU), static_cast<std::uint8_t>(reply >> 8), 0};
    const int count = std::clamp(length, 0, static_cast<int>(bytes.size()));
    if (buffer != nullptr) {
      std::copy_n(bytes.begin(), count, buffer);
    }
    return 0;
  }
  if (!DataLess(code) || direction != DirectionOut) {
    return RequestStalled;
  }
  switch (code) {
    case kCodes.dac_low:
    case kCodes.dac_high: {
      // The firmware takes the setup packet's 16-bit index as the high half.
      const std::uint32_t word =
          (static_cast<std::uint32_t>(index) << 16) | (static_cast<std::uint32_t>(value) & 0xFFFFU);
      groups_[code == kCodes.dac_low ? 0 : 1].Write(word);
      break;
    }
    case kCodes.pulse_ldac:
      for (DacGroup& group : groups_) {
        group.PulseLdac();
      }
      break;
    case kCodes.ldac_low:
    case kCodes.ldac_high:
      ldac_low_ = code == kCodes.ldac_low;
      for (DacGroup& group : groups_) {
        group.SetLdacLow(ldac_low_);
      }
      break;
    case kCodes.clr_low:
      clr_low_ = true;
      for (DacGroup& group : groups_) {
        group.Clear();
      }
      break;
    case kCodes.clr_high:
      clr_low_ = false;
      break;
    case kCodes.post_boot:
      ++post_boot_count_;
      break;
    default:
      break;
  }
  return 0;
}

std::int16_t SimBoard::CvnFace::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                                  std::int32_t& number, BoardList& list) {
  if (!board_.settings_.present || !IsThisBoard(vendor, product)) {
    return 0;
  }
  number = 1;
  list[0] = kOnlyBoard;
  return 1;
}

std::int16_t SimBoard::CvnFace::Connect(std::int32_t vendor, std::int32_t product,
                                        std::int32_t board, std::int32_t& handle) {
  if (!board_.settings_.present || !IsThisBoard(vendor, product) || board != kOnlyBoard) {
    return RequestNoBoard;
  }
  handle = board_.next_handle_++;
  return 0;
}

std::int16_t SimBoard::CvnFace::Download_Firmware(std::int32_t handle, const char* path) {
  if (!board_.settings_.present) {
    return DownloadNoBoard;
  }
  if (!board_.HandleIssued(handle)) {
    return DownloadBadHandle;
  }
  return board_.AcceptFirmware(path) ? DownloadOk : DownloadBadImage;
}

std::int16_t SimBoard::CvnFace::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                               std::int32_t value, std::int32_t index,
                                               std::uint8_t direction, std::int32_t length,
                                               std::uint8_t* buffer) {
  if (!board_.settings_.present) {
    return RequestNoBoard;
  }
  if (!board_.HandleIssued(handle)) {
    return RequestBadHandle;
  }
  // This link hands over the converter's word as the firmware clocks it in:
  // one bit later, so the code arrives in bits 12-1.
  return board_.Request(request, value, index, direction, length, buffer,
                        ReplyShape::ShiftedLeftOne);
}

std::int16_t SimBoard::IoFace::LoadFirmWare(const char* path) {
  if (!board_.settings_.present) {
    return LoadFirmWareStatus(DownloadNoBoard);
  }
  return board_.AcceptFirmware(path) ? 0 : LoadFirmWareStatus(DownloadBadImage);
}

std::int16_t SimBoard::IoFace::VendorIORequest(std::int16_t request, std::int32_t value,
                                               std::int32_t index, std::int16_t direction,
                                               std::int16_t length, std::uint8_t* buffer) {
  if (!board_.settings_.present) {
    return RequestNoBoard;
  }
  return board_.Request(request, value, index, direction, length, buffer, ReplyShape::AsConverted);
}

// The simulated board has no bus: no bus and address to show.
AttachedBoards SimBoard::DirectoryFace::Attached() {
  AttachedBoards attached;
  if (board_.settings_.present) {
    attached.boards.push_back({std::nullopt,
                               std::nullopt,
                               board_.firmware_running_,
                               KX7312Board.loader_id,
                               KX7312Board.running_id,
                               board_.settings_.serial,
                               {}});
  }
  return attached;
}

std::optional<std::string> SimBoard::DirectoryFace::ConnectedSerial() const {
  if (!board_.settings_.present) {
    return std::nullopt;
  }
  return board_.settings_.serial;
}

}  // namespace kx::board::sim
