#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <string>

#include "board/board_directory.h"
#include "board/board_model.h"
#include "board/cvn_cyusb_usb4.h"
#include "board/link_status.h"
#include "board/sim/sim_adc.h"
#include "board/sim/sim_converter_errors.h"
#include "board/sim/sim_dac_group.h"
#include "board/sim/sim_settings.h"
#include "board/usb_board_io.h"

namespace kx::board::sim {

// The simulated board answers with the statuses it shares with the USB
// backend (board/link_status.h): requests 0 or more success, negative
// failure; Download_Firmware 0 success; LoadFirmWare 0 or more success. A
// request with an unknown code or the wrong direction stalls.

// A model of the evaluation board: the USB controller that must be given its
// firmware before it answers, the chip's two DAC groups and ADC, the CLR and
// LDAC lines, and ADC inputs wired to the DAC outputs of the same number
// unless the settings fix them. It answers through either link library.
class SimBoard {
 public:
  explicit SimBoard(SimSettings settings = {});
  // The two faces point back at the board, so it stays where it was made.
  SimBoard(const SimBoard&) = delete;
  SimBoard& operator=(const SimBoard&) = delete;

  CvnCyusbUsb4& Cvn() { return cvn_; }

  // The cable pulled: nothing answers, and the board loses its firmware,
  // the chip's registers and every handle issued. Plugged in again it waits
  // for its firmware like a board just connected.
  void Unplug();
  void PlugIn() { settings_.present = true; }
  UsbBoardIo& Io() { return io_; }
  // The one board it is, with the settings' serial; none while absent.
  BoardDirectory& Directory() { return directory_; }

  const SimSettings& Settings() const { return settings_; }
  bool FirmwareRunning() const { return firmware_running_; }
  const std::string& LastFirmwareError() const { return last_firmware_error_; }
  const DacGroup& Group(int group) const { return groups_[static_cast<std::size_t>(group)]; }
  const Adc& Converter() const { return adc_; }
  bool LdacLow() const { return ldac_low_; }
  bool ClrLow() const { return clr_low_; }
  int PostBootCount() const { return post_boot_count_; }

  double DacOutputVolts(int channel) const;  // channel 0 to 15
  // The input of the next conversion of the channel, 0 to 15, without noise.
  double AdcInputVolts(int channel) const;
  // Conversions of the channel so far: the time of its signal.
  std::uint64_t Conversions(int channel) const {
    return conversions_[static_cast<std::size_t>(channel)];
  }

 private:
  // Shapes of the reply word on the two links.
  enum class ReplyShape { AsConverted, ShiftedLeftOne };

  class CvnFace final : public CvnCyusbUsb4 {
   public:
    explicit CvnFace(SimBoard& board) : board_(board) {}
    std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                   BoardList& list) override;
    std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                         std::int32_t& handle) override;
    std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
    std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                                std::int32_t index, std::uint8_t direction, std::int32_t length,
                                std::uint8_t* buffer) override;

   private:
    SimBoard& board_;
  };

  class IoFace final : public UsbBoardIo {
   public:
    explicit IoFace(SimBoard& board) : board_(board) {}
    std::int16_t LoadFirmWare(const char* path) override;
    std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                                 std::int16_t direction, std::int16_t length,
                                 std::uint8_t* buffer) override;

   private:
    SimBoard& board_;
  };

  class DirectoryFace final : public BoardDirectory {
   public:
    explicit DirectoryFace(SimBoard& board) : board_(board) {}
    AttachedBoards Attached() override;
    std::optional<std::string> ConnectedSerial() const override;

   private:
    SimBoard& board_;
  };

  bool HandleIssued(std::int32_t handle) const {
    return handle >= first_valid_handle_ && handle < next_handle_;
  }
  bool AcceptFirmware(const char* path);
  // What the converter samples for one conversion of the channel (noise
  // included); counts the conversion.
  double ConvertedInputVolts(int channel);
  double DacVoltsPerLsb(int channel) const;
  std::int16_t Request(int code, std::int32_t value, std::int32_t index, int direction, int length,
                       std::uint8_t* buffer, ReplyShape shape);

  SimSettings settings_;
  CvnFace cvn_{*this};
  IoFace io_{*this};
  DirectoryFace directory_{*this};
  std::array<DacGroup, KX7312Board.dac_channels / DacGroup::kChannels> groups_{};
  Adc adc_;
  bool ldac_low_ = false;
  bool clr_low_ = false;
  bool firmware_running_ = false;
  std::string last_firmware_error_;
  std::int32_t next_handle_ = 1;
  std::int32_t first_valid_handle_ = 1;  // handles from before an unplug are void
  int post_boot_count_ = 0;
  std::array<std::uint64_t, KX7312Board.adc_channels> conversions_{};
  // One generator per channel, so that a channel's noise does not depend on
  // how often the others were converted.
  std::array<std::mt19937_64, KX7312Board.adc_channels> noise_{};
  // The channels the settings gave errors; the others stay ideal.
  std::map<int, AdcTransfer> adc_errors_;
  std::map<int, DacTransfer> dac_errors_;
};

}  // namespace kx::board::sim
