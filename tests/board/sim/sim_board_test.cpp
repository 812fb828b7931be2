#include "board/sim/sim_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "board/link_requests.h"

namespace kx::board::sim {
namespace {

const std::string kFirmware = KX_TEST_FIRMWARE;

// A board found, connected and booted through the CVN_CYUSB_USB4 face.
std::int32_t Boot(SimBoard& board) {
  BoardList list{};
  std::int32_t number = 0;
  std::int32_t handle = 0;
  board.Cvn().Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  board.Cvn().Connect(BoardVendorId, BoardProductId, list[0], handle);
  EXPECT_EQ(board.Cvn().Download_Firmware(handle, kFirmware.c_str()), 0);
  return handle;
}

std::int16_t Dac(SimBoard& board, std::int32_t handle, std::uint8_t code, std::uint32_t word) {
  std::uint8_t none = 0;
  return board.Cvn().Vendor_Request(handle, code, static_cast<std::int32_t>(word & 0xFFFFU),
                                    static_cast<std::int32_t>(word) >> 16, 0, 0, &none);
}

std::int16_t Line(SimBoard& board, std::int32_t handle, std::uint8_t code) {
  std::uint8_t none = 0;
  return board.Cvn().Vendor_Request(handle, code, 0, 0, 0, 0, &none);
}

std::uint16_t AdcCvn(SimBoard& board, std::int32_t handle, std::uint16_t word) {
  std::uint8_t reply[3] = {1, 1, 1};
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, AdcTransferRequest, word, 0, 1, 3, reply), 0);
  EXPECT_EQ(reply[2], 0);
  return static_cast<std::uint16_t>(reply[0] | (reply[1] << 8));
}

std::uint16_t AdcIo(SimBoard& board, std::uint16_t word) {
  std::uint8_t reply[3] = {1, 1, 1};
  EXPECT_EQ(board.Io().VendorIORequest(AdcTransferRequest, word, 0, 1, 3, reply), 0);
  EXPECT_EQ(reply[2], 0);
  return static_cast<std::uint16_t>(reply[0] | (reply[1] << 8));
}

class TempFile {
 public:
  explicit TempFile(const std::string& text)
      : path_(std::filesystem::temp_directory_path() /
              ("kx7312-sim-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".hex")) {
    std::ofstream(path_) << text;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(SimBoardFirmware, SearchConnectAndHandles) {
  SimBoard board;
  BoardList list{};
  std::int32_t number = 0;
  board.Cvn().Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  EXPECT_EQ(list[0], 1);
  std::int32_t first = 0;
  std::int32_t second = 0;
  board.Cvn().Connect(BoardVendorId, BoardProductId, 1, first);
  board.Cvn().Connect(BoardVendorId, BoardProductId, 1, second);
  EXPECT_NE(first, second);

  // Other identifiers find nothing and open nothing.
  BoardList other{};
  board.Cvn().Search_For_Boards(0x1111, BoardProductId, number, other);
  EXPECT_EQ(other[0], 0);
  std::int32_t untouched = 42;
  EXPECT_LT(board.Cvn().Connect(BoardVendorId, BoardProductId, 0, untouched), 0);
  EXPECT_EQ(untouched, 42);
}

TEST(SimBoardFirmware, RequestsFailUntilAGoodImageIsDownloaded) {
  SimBoard board;
  std::int32_t handle = 0;
  BoardList list{};
  std::int32_t number = 0;
  board.Cvn().Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  board.Cvn().Connect(BoardVendorId, BoardProductId, list[0], handle);
  EXPECT_EQ(Line(board, handle, PostBootRequest), RequestNotBooted);

  const TempFile bad(":0100000041BF\n:00000001FF\n");  // wrong checksum
  const TempFile no_end(":0100000041BE\n");
  for (const std::string& path :
       {bad.Path(), no_end.Path(), std::string("/nonexistent/x.hex"), std::string()}) {
    EXPECT_EQ(board.Cvn().Download_Firmware(handle, path.c_str()), DownloadBadImage) << path;
    EXPECT_FALSE(board.LastFirmwareError().empty()) << path;
  }
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_EQ(board.Cvn().Download_Firmware(handle + 100, kFirmware.c_str()), DownloadBadHandle);

  EXPECT_EQ(board.Cvn().Download_Firmware(handle, kFirmware.c_str()), 0);
  EXPECT_TRUE(board.FirmwareRunning());
  EXPECT_EQ(Line(board, handle, PostBootRequest), 0);
  EXPECT_EQ(board.PostBootCount(), 1);
  EXPECT_EQ(Line(board, handle + 100, PostBootRequest), RequestBadHandle);

  // A bad image later is refused before it reaches the controller.
  EXPECT_EQ(board.Cvn().Download_Firmware(handle, bad.Path().c_str()), DownloadBadImage);
  EXPECT_TRUE(board.FirmwareRunning());
}

TEST(SimBoardFirmware, LoadFirmWareStatusesAreNegativeOnFailure) {
  SimBoard board;
  std::uint8_t none = 0;
  EXPECT_EQ(board.Io().VendorIORequest(PostBootRequest, 0, 0, 0, 0, &none), RequestNotBooted);
  EXPECT_EQ(board.Io().LoadFirmWare("/nonexistent/KX7312FW.hex"),
            LoadFirmWareStatus(DownloadBadImage));
  EXPECT_GE(board.Io().LoadFirmWare(kFirmware.c_str()), 0);
  EXPECT_EQ(board.Io().VendorIORequest(PostBootRequest, 0, 0, 0, 0, &none), 0);
}

TEST(SimBoardUnplugged, LosesFirmwareRegistersAndHandlesUntilLoadedAgain) {
  SimBoard board;
  const std::int32_t old_handle = Boot(board);
  ASSERT_EQ(Dac(board, old_handle, DacLowRequest, 0x0337FF00), 0);
  ASSERT_EQ(board.Group(0).DacRegister(3), 0x7FF);

  board.Unplug();
  EXPECT_FALSE(board.FirmwareRunning());
  EXPECT_EQ(board.Group(0).DacRegister(3), 0);
  EXPECT_EQ(Line(board, old_handle, PostBootRequest), RequestNoBoard);
  BoardList list{};
  std::int32_t number = 0;
  board.Cvn().Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  EXPECT_EQ(list[0], 0);

  board.PlugIn();
  // The old handle is gone with the cable; a new one waits for the firmware.
  EXPECT_EQ(Line(board, old_handle, PostBootRequest), RequestBadHandle);
  const std::int32_t handle = Boot(board);
  EXPECT_NE(handle, old_handle);
  EXPECT_EQ(Line(board, handle, PostBootRequest), 0);
}

TEST(SimBoardAbsent, NothingAnswersAndBuffersStayUntouched) {
  SimSettings settings;
  settings.present = false;
  SimBoard board(settings);
  BoardList list{};
  std::int32_t number = 0;
  board.Cvn().Search_For_Boards(BoardVendorId, BoardProductId, number, list);
  EXPECT_EQ(list[0], 0);
  std::int32_t handle = 0;
  board.Cvn().Connect(BoardVendorId, BoardProductId, 1, handle);
  EXPECT_EQ(board.Cvn().Download_Firmware(handle, kFirmware.c_str()), DownloadNoBoard);
  EXPECT_EQ(board.Io().LoadFirmWare(kFirmware.c_str()), LoadFirmWareStatus(DownloadNoBoard));

  std::uint8_t reply[3] = {1, 1, 1};
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, AdcTransferRequest, 0x8300, 0, 1, 3, reply),
            RequestNoBoard);
  EXPECT_EQ(board.Io().VendorIORequest(AdcTransferRequest, 0x8300, 0, 1, 3, reply), RequestNoBoard);
  EXPECT_EQ(reply[0], 1);
  EXPECT_EQ(reply[1], 1);
  EXPECT_EQ(reply[2], 1);
}

TEST(SimBoardRequests, UnknownCodesAndWrongDirectionsStall) {
  SimBoard board;
  const std::int32_t handle = Boot(board);
  std::uint8_t buffer[3] = {7, 7, 7};
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, 0xDB, 0, 0, 0, 0, buffer), RequestStalled);
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, AdcTransferRequest, 0, 0, 0, 3, buffer),
            RequestStalled);
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, DacLowRequest, 0, 0, 1, 3, buffer), RequestStalled);
  EXPECT_EQ(board.Io().VendorIORequest(0x1D9, 0, 0, 0, 0, buffer), RequestStalled);
  EXPECT_EQ(buffer[0], 7);
}

// The board answers the model's codes and no other: every one of them goes
// out without data, except the ADC transfer, which reads.
TEST(SimBoardRequests, AnswersEveryCodeOfTheBoardModelAndStallsTheRest) {
  SimBoard board;
  const std::int32_t handle = Boot(board);
  const auto codes = KX7312Board.requests.All();
  for (int code = 0; code <= 0xFF; ++code) {
    const bool known = std::find(codes.begin(), codes.end(), code) != codes.end();
    const bool reads = code == KX7312Board.requests.adc_transfer;
    std::uint8_t reply[3] = {};
    const std::int16_t status = board.Cvn().Vendor_Request(
        handle, static_cast<std::uint8_t>(code), reads ? 0x8300 : 0, 0,
        reads ? DirectionIn : DirectionOut, reads ? AdcReplyLength : 0, reply);
    EXPECT_EQ(status, known ? 0 : RequestStalled) << std::hex << code;
  }
}

TEST(SimBoardRequests, DacWordsReachTheirGroupThroughTheIndexField) {
  SimBoard board;
  const std::int32_t handle = Boot(board);
  EXPECT_EQ(Dac(board, handle, DacLowRequest, 0x0337FF00), 0);
  EXPECT_EQ(Dac(board, handle, DacHighRequest, 0x03512300), 0);
  EXPECT_EQ(board.Group(0).DacRegister(3), 0x7FF);
  EXPECT_EQ(board.Group(1).DacRegister(5), 0x123);
  EXPECT_EQ(board.Group(1).DacRegister(3), 0);
  // A word with bit 31 set travels with a negative index; the chip ignores
  // the top bits.
  EXPECT_EQ(Dac(board, handle, DacLowRequest, 0xF3600400), 0);
  EXPECT_EQ(board.Group(0).DacRegister(6), 0x004);
}

TEST(SimBoardRequests, LdacAndClrLinesActOnBothGroups) {
  SimBoard board;
  const std::int32_t handle = Boot(board);
  Dac(board, handle, DacLowRequest, 0x00200100);   // DAC2 input 0x001
  Dac(board, handle, DacHighRequest, 0x00700F00);  // DAC15 input 0x00F
  EXPECT_EQ(board.Group(0).DacRegister(2), 0);
  Line(board, handle, PulseLdacRequest);
  EXPECT_EQ(board.Group(0).DacRegister(2), 0x001);
  EXPECT_EQ(board.Group(1).DacRegister(7), 0x00F);

  Line(board, handle, LdacLowRequest);
  EXPECT_TRUE(board.LdacLow());
  Dac(board, handle, DacHighRequest, 0x00000500);
  EXPECT_EQ(board.Group(1).DacRegister(0), 0x005);
  Line(board, handle, LdacHighRequest);
  EXPECT_FALSE(board.LdacLow());
  Dac(board, handle, DacHighRequest, 0x00000600);
  EXPECT_EQ(board.Group(1).DacRegister(0), 0x005);

  Dac(board, handle, DacLowRequest, 0x05000001);   // group 0 clears to 0x800
  Dac(board, handle, DacHighRequest, 0x05000002);  // group 1 to 0xFFF
  Line(board, handle, ClrLowRequest);
  EXPECT_TRUE(board.ClrLow());
  EXPECT_EQ(board.Group(0).InputRegister(2), 0x800);
  EXPECT_EQ(board.Group(0).DacRegister(7), 0x800);
  EXPECT_EQ(board.Group(1).DacRegister(0), 0xFFF);
  Line(board, handle, ClrHighRequest);
  EXPECT_FALSE(board.ClrLow());
}

TEST(SimBoardAnalog, AdcInputsFollowTheDacOutputsUnlessFixed) {
  SimSettings settings;
  settings.external_reference = 2.0;
  settings.inputs[3] = 1.25;
  SimBoard board(settings);
  const std::int32_t handle = Boot(board);

  Dac(board, handle, DacLowRequest, 0x03280000);  // DAC2 = 0x800 on the 2 V external reference
  Dac(board, handle, DacLowRequest, 0x033FFF00);  // DAC3 loaded, but ADC3 is fixed
  EXPECT_DOUBLE_EQ(board.DacOutputVolts(2), 1.0);
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(2), 1.0);
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(3), 1.25);
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(12), 0.0);

  Dac(board, handle, DacLowRequest, 0x08000001);  // internal 2.5 V reference
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(2), 1.25);
  Dac(board, handle, DacLowRequest, 0x04000104);  // power DAC2 down
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(2), 0.0);
}

// The DAC's error moves the wired input, the ADC's its code; powered down
// the output is still 0 V.
TEST(SimBoardAnalog, ConverterErrorsActOnTheirOwnChannels) {
  SimSettings settings;
  settings.dac_errors[2].offset_lsb = 8.0;
  settings.adc_errors[2].offset_lsb = -3.0;
  SimBoard board(settings);
  const std::int32_t handle = Boot(board);

  Dac(board, handle, DacLowRequest, 0x03280000);  // DAC2 = 0x800 on the 2.5 V external reference
  Dac(board, handle, DacLowRequest, 0x03380000);  // DAC3 = 0x800, ideal
  EXPECT_DOUBLE_EQ(board.DacOutputVolts(2), (2048 + 8) * 2.5 / 4096);
  EXPECT_DOUBLE_EQ(board.DacOutputVolts(3), 1.25);
  AdcCvn(board, handle, 0x8B30);  // select channel 2, half span, straight binary
  EXPECT_EQ((AdcCvn(board, handle, 0x8F30) >> 1) & 0xFFF, 2048 + 8 - 3);
  EXPECT_EQ((AdcCvn(board, handle, 0x8F30) >> 1) & 0xFFF, 2048);
  Dac(board, handle, DacLowRequest, 0x04000104);  // power DAC2 down
  EXPECT_DOUBLE_EQ(board.AdcInputVolts(2), 0.0);
}

TEST(SimBoardAnalog, ReadBackThroughBothReplyShapes) {
  SimSettings settings;
  settings.adc_reference = 2.5;
  settings.inputs[7] = 1.25;
  SimBoard board(settings);
  Boot(board);
  const std::int32_t handle = 1;

  // Straight binary on the 2 x reference span: 1.25 V reads 0x400.
  AdcCvn(board, handle, 0x9F10);  // select channel 7, Coding 1
  const std::uint16_t cvn = AdcCvn(board, handle, 0x8310);
  EXPECT_EQ(cvn, static_cast<std::uint16_t>(((7 << 12) | 0x400) << 1));
  EXPECT_EQ(cvn & 1, 0);
  EXPECT_EQ((cvn >> 1) & 0xFFF, 0x400);

  EXPECT_GE(board.Io().LoadFirmWare(kFirmware.c_str()), 0);
  AdcIo(board, 0x9F00);  // channel 7, two's complement
  EXPECT_EQ(AdcIo(board, 0x8300), (7 << 12) | 0xC00);
}

// Codes of `count` conversions of channel 0, straight binary on the 5 V span.
std::vector<int> Channel0Codes(SimBoard& board, int count) {
  AdcIo(board, 0x8310);  // select channel 0; clocks out what was selected before
  std::vector<int> codes;
  for (int i = 0; i < count; ++i) {
    codes.push_back(AdcIo(board, 0x8310) & 0xFFF);
  }
  return codes;
}

TEST(SimBoardAnalog, ASineAdvancesOneStepPerConversionOfItsChannel) {
  SimSettings settings;
  settings.signal_inputs[0] = SimSignal{2.5, 2.0, 0.125, 0.5, 0.0, 0};
  SimBoard board(settings);
  Boot(board);
  EXPECT_EQ(board.Conversions(0), 0U);
  const std::vector<int> codes = Channel0Codes(board, 20);
  // The selecting transfer converted channel 0 (the power-up selection) once.
  EXPECT_EQ(board.Conversions(0), 21U);
  for (int t = 1; t <= 20; ++t) {
    const double volts = 2.5 + 2.0 * std::sin(2 * std::numbers::pi * 0.125 * t + 0.5);
    EXPECT_EQ(codes[static_cast<std::size_t>(t - 1)], std::lround(volts / 5.0 * 4096)) << t;
  }
  // Other channels do not move channel 0's time.
  AdcIo(board, 0x8710);
  AdcIo(board, 0x8710);
  EXPECT_EQ(board.Conversions(0), 22U);
  EXPECT_EQ(board.Conversions(1), 1U);
}

TEST(SimBoardAnalog, NoiseHasItsSigmaAndRepeatsWithItsSeed) {
  const auto run = [](std::uint64_t seed) {
    SimSettings settings;
    settings.signal_inputs[0] = SimSignal{1.25, 0.0, 0.0, 0.0, 4.0, seed};
    SimBoard board(settings);
    Boot(board);
    return Channel0Codes(board, 4000);
  };
  const std::vector<int> first = run(7);
  EXPECT_EQ(run(7), first);
  EXPECT_NE(run(8), first);
  double sum = 0;
  double squares = 0;
  for (const int code : first) {
    sum += code;
    squares += static_cast<double>(code) * code;
  }
  const double mean = sum / static_cast<double>(first.size());
  const double sigma = std::sqrt(squares / static_cast<double>(first.size()) - mean * mean);
  EXPECT_NEAR(mean, 1024.0, 0.5);
  // 4 LSB of noise and the rounding's own 1/12 LSB^2.
  EXPECT_NEAR(sigma, std::sqrt(16.0 + 1.0 / 12.0), 0.2);
}

TEST(SimBoardAnalog, AdcReferenceScalesTheConversion) {
  SimSettings settings;
  settings.adc_reference = 1.25;
  settings.inputs[0] = 1.25;
  SimBoard board(settings);
  Boot(board);
  AdcIo(board, 0x8330);  // channel 0, span = reference, straight binary
  EXPECT_EQ(AdcIo(board, 0x8330) & 0xFFF, 0xFFF);
  AdcIo(board, 0x8310);  // span 2.5 V
  EXPECT_EQ(AdcIo(board, 0x8310) & 0xFFF, 0x800);
}

TEST(SimBoardAnalog, ShortReplyBufferGetsOnlyWhatWasAskedFor) {
  SimBoard board;
  const std::int32_t handle = Boot(board);
  std::uint8_t reply[3] = {9, 9, 9};
  EXPECT_EQ(board.Cvn().Vendor_Request(handle, AdcTransferRequest, 0x8300, 0, 1, 1, reply), 0);
  EXPECT_EQ(reply[1], 9);
  EXPECT_EQ(reply[2], 9);
}

}  // namespace
}  // namespace kx::board::sim
