#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "board/board_link.h"
#include "board/cvn_cyusb_usb4.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io.h"
#include "programs/edition.h"
#include "support/fake_operator.h"

namespace kx::adc::testing {

// Passes every call on to the board until `answers_left` requests have been
// made; after that it behaves like a board pulled off the cable: a negative
// status and the reply buffer left untouched.
class Unplugging final : public board::CvnCyusbUsb4, public board::UsbBoardIo {
 public:
  Unplugging(board::CvnCyusbUsb4& cvn, board::UsbBoardIo& io) : cvn_(cvn), io_(io) {}

  std::optional<int> answers_left;  // none: never unplugged

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 board::BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;
  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;

 private:
  bool Unplugged();
  board::CvnCyusbUsb4& cvn_;
  board::UsbBoardIo& io_;
};

inline constexpr std::int16_t UnpluggedStatus = -5;

// The ADC operations on the simulated board behind the link of the given
// rules (CVN_CYUSB_USB4 for Version2, UsbBoardIo for Classic), every link call
// traced. The board is booted and the trace emptied before a test starts.
struct AdcRig {
  explicit AdcRig(AdcWordRules rules, board::sim::SimSettings settings = {});

  // The ADC words passed to TransferAdcWord since the last call, rebuilt from
  // the trace's value and index fields, and the trace lines themselves.
  std::vector<std::uint32_t> TakeAdcWords();
  std::vector<std::string> TakeLines();

  AdcWordRules rules;
  board::sim::SimBoard board;
  Unplugging unplugging{board.Cvn(), board.Io()};
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{unplugging, sink};
  board::trace::TracingUsbBoardIo io{unplugging, sink};
  kx::testing::FakeOperator port;
  std::unique_ptr<board::BoardLink> link;
  AdcOperations ops;
};

// Test names for suites run under both word rules.
std::string RulesName(const ::testing::TestParamInfo<AdcWordRules>& info);

board::sim::SimSettings AbsentBoard();

// Sets every ADC input to channel x 0.3125 V, so that with the default 2.5 V
// reference and "0V to 2xVREFA" channel c converts to 0x100 x c (straight).
board::sim::SimSettings StaircaseInputs();

// A folder of its own under the system's temporary folder, removed with
// everything in it when the test ends.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// A file's lines split at CR LF; fails the test on a bare LF or a missing
// final CR LF.
std::vector<std::string> CrLfLines(const std::string& bytes);

}  // namespace kx::adc::testing
