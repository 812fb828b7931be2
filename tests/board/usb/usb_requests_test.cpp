// Vendor requests through the emulated board once its firmware runs: the
// setup packet each chip word becomes, the chip model's answers, and the
// failures a request can meet on the bus.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/usb/usb_status.h"
#include "board/usb_board_io_link.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

using board::BoardLink;
using board::sim::SimBoard;
namespace usb = board::usb;

class UsbRequests : public UsbBackendTest {
 protected:
  // A rig whose board has been started through the given link.
  static std::unique_ptr<UsbRig> Started(bool classic) {
    auto rig = std::make_unique<UsbRig>();
    rig->board.PlugIn();
    rig->port.ShowLoad(Link(*rig, classic).LoadUSB());
    rig->board.ClearControls();
    return rig;
  }
  static BoardLink& Link(UsbRig& rig, bool classic) {
    return classic ? static_cast<BoardLink&>(rig.classic) : rig.version2;
  }
};

TEST_F(UsbRequests, DacWordsTravelAsValueAndIndexAndReachTheChip) {
  struct Case {
    std::uint8_t code;
    std::int32_t word;
    std::uint16_t value;
    std::uint16_t index;
  };
  const std::vector<Case> cases = {
      {board::DacLowRequest, 0x08000001, 0x0001, 0x0800},
      {board::DacHighRequest, 0x0337FF00, 0xFF00, 0x0337},
      {board::DacLowRequest, 0, 0x0000, 0x0000},
      {board::DacHighRequest, static_cast<std::int32_t>(0x8234ABCDU), 0xABCD, 0x8234},
      {board::DacLowRequest, -1, 0xFFFF, 0xFFFF},
  };
  for (const bool classic : {false, true}) {
    std::unique_ptr<UsbRig> rig = Started(classic);
    for (const Case& c : cases) {
      Link(*rig, classic).WriteDacWord(c.code, c.word);
      EXPECT_EQ(Link(*rig, classic).State().LinkStatus, 0) << c.word;
      const std::vector<ControlRecord> seen = rig->board.Controls();
      ASSERT_FALSE(seen.empty());
      const SetupPacket& setup = seen.back().setup;
      EXPECT_EQ(setup.request_type, 0x40) << c.word;
      EXPECT_EQ(setup.request, c.code) << c.word;
      EXPECT_EQ(setup.value, c.value) << c.word;
      EXPECT_EQ(setup.index, c.index) << c.word;
      EXPECT_EQ(setup.length, 0) << c.word;
    }
    EXPECT_EQ(rig->board.Controls().size(), cases.size());
  }

  std::unique_ptr<UsbRig> rig = Started(false);
  rig->version2.WriteDacWord(board::DacHighRequest, 0x0337FF00);  // write and update DAC11
  EXPECT_EQ(
      rig->board.InspectChip([](const SimBoard& chip) { return chip.Group(1).DacRegister(3); }),
      0x7FF);
  EXPECT_EQ(rig->LastTraceLine(),
            "request handle=1 code=0xDA value=0xFF00 index=823 dir=0 len=0 status=0");
  rig->port.ShowSent(rig->version2);
  ASSERT_FALSE(rig->port.status_lines.empty());
  EXPECT_EQ(rig->port.status_lines.back(), "DAC Write: 0x337FF00");
}

TEST_F(UsbRequests, AdcTransfersAnswerFromTheChipModel) {
  // The same words on a chip model reached directly, for the answers to expect.
  const std::vector<std::int32_t> words = {
      0x08000001,  // (a DAC word, for the internal reference)
      0x03580000,  // DAC5 = 0x800
      static_cast<std::int32_t>(0xFFFF8390U),
      0x8300 | (5 << 10) | 0x30,
      0x8300 | 0x30,
      0xFFFF,
  };
  for (const bool classic : {false, true}) {
    SimBoard reference;
    board::UsbBoardIoLink direct(reference.Io(), FirmwareFolder());
    direct.LoadUSB();

    std::unique_ptr<UsbRig> rig = Started(classic);
    BoardLink& link = Link(*rig, classic);
    for (std::size_t i = 0; i < words.size(); ++i) {
      if (i < 2) {
        link.WriteDacWord(board::DacLowRequest, words[i]);
        direct.WriteDacWord(board::DacLowRequest, words[i]);
        continue;
      }
      const std::int32_t expected = direct.TransferAdcWord(words[i]);
      EXPECT_EQ(link.TransferAdcWord(words[i]), expected) << i;
      EXPECT_EQ(link.State().LinkStatus, 3) << i;  // three bytes came back
      const SetupPacket setup = rig->board.Controls().back().setup;
      EXPECT_EQ(setup.request_type, 0xC0) << i;
      EXPECT_EQ(setup.request, board::AdcTransferRequest) << i;
      EXPECT_EQ(setup.value, static_cast<std::uint32_t>(words[i]) & 0xFFFFU) << i;
      EXPECT_EQ(setup.index, static_cast<std::uint32_t>(words[i]) >> 16) << i;
      EXPECT_EQ(setup.length, 3) << i;
    }
  }
}

TEST_F(UsbRequests, ControlLinesReachTheChip) {
  std::unique_ptr<UsbRig> rig = Started(false);
  const auto lines = [&rig] {
    return rig->board.InspectChip([](const SimBoard& chip) {
      return std::array<bool, 2>{chip.ClrLow(), chip.LdacLow()};
    });
  };
  rig->version2.SendControlRequest(board::ClrLowRequest);
  rig->version2.SendControlRequest(board::LdacLowRequest);
  EXPECT_EQ(lines(), (std::array<bool, 2>{true, true}));
  rig->version2.SendControlRequest(board::ClrHighRequest);
  rig->version2.SendControlRequest(board::LdacHighRequest);
  EXPECT_EQ(lines(), (std::array<bool, 2>{false, false}));
  EXPECT_EQ(rig->version2.State().LinkStatus, 0);
}

TEST_F(UsbRequests, StalledRequestFailsAndLeavesTheBufferAlone) {
  for (const bool classic : {false, true}) {
    std::unique_ptr<UsbRig> rig = Started(classic);
    std::array<std::uint8_t, 3> buffer = {0xA5, 0xA5, 0xA5};
    const std::int16_t status =
        classic ? rig->library->VendorIORequest(0xD0, 0x1234, 0, 1, 3, buffer.data())
                : rig->library->Vendor_Request(1, 0xD0, 0x1234, 0, 1, 3, buffer.data());
    EXPECT_EQ(status, usb::RequestStalled);
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 3>{0xA5, 0xA5, 0xA5}));
    EXPECT_EQ(rig->board.Controls().back().setup.request, 0xD0);

    // A code the firmware takes only one way stalls the other way.
    Link(*rig, classic).SendControlRequest(board::AdcTransferRequest);
    EXPECT_EQ(Link(*rig, classic).State().LinkStatus, usb::RequestStalled);

    // A stall ends that request only.
    Link(*rig, classic).SendControlRequest(board::PulseLdacRequest);
    EXPECT_EQ(Link(*rig, classic).State().LinkStatus, 0);
  }
}

// libusb reports a short answer as a success with fewer bytes; the reply
// would then be built from whatever the buffer held before.
TEST_F(UsbRequests, ShortAdcReplyFailsAndLeavesTheBufferAlone) {
  for (const bool classic : {false, true}) {
    std::unique_ptr<UsbRig> rig = Started(classic);
    BoardLink& link = Link(*rig, classic);
    for (const int bytes : {0, 1, 2}) {
      SCOPED_TRACE(::testing::Message()
                   << (classic ? "classic" : "version2") << ", " << bytes << " of 3 bytes");
      rig->board.ShortenReplies(1, bytes);
      link.TransferAdcWord(0x8300);
      EXPECT_EQ(link.State().LinkStatus, 3);

      EXPECT_EQ(link.TransferAdcWord(0x8300), 257);
      EXPECT_EQ(link.State().LinkStatus, usb::RequestShortReply);
      EXPECT_EQ(link.State().AdcReplyBytes, (std::array<std::uint8_t, 3>{1, 1, 1}));
      EXPECT_EQ(rig->LastTraceLine(),
                std::string("request ") + (classic ? "" : "handle=1 ") +
                    "code=0xE4 value=0x8300 index=0 dir=1 len=3 status=-9 data=010101");

      // The answer is short on the bus, not lost: the next full one is right.
      rig->board.ShortenReplies(0, -1);
      link.TransferAdcWord(0x8300);
      EXPECT_EQ(link.State().LinkStatus, 3);
    }
  }
}

TEST_F(UsbRequests, RequestWithoutAnswerTimesOut) {
  usb::UsbOptions options;
  options.timings.request_timeout = std::chrono::milliseconds(200);
  UsbRig rig(WaitingBoard(), options);
  rig.board.PlugIn();
  rig.port.ShowLoad(rig.version2.LoadUSB());

  rig.board.SetUnresponsive(true);
  EXPECT_EQ(rig.version2.TransferAdcWord(0x8300), 257);  // the buffer kept its ones
  EXPECT_EQ(rig.version2.State().LinkStatus, usb::RequestTimedOut);
  EXPECT_EQ(rig.LastTraceLine(),
            "request handle=1 code=0xE4 value=0x8300 index=0 dir=1 len=3 status=-5 data=010101");
  rig.version2.WriteDacWord(board::DacLowRequest, 0x00100000);
  EXPECT_EQ(rig.version2.State().LinkStatus, usb::RequestTimedOut);

  // The abandoned transfers are cleaned up; the next answer is the right one.
  rig.board.SetUnresponsive(false);
  rig.version2.TransferAdcWord(0x8300);
  EXPECT_EQ(rig.version2.State().LinkStatus, 3);
  rig.version2.WriteDacWord(board::DacLowRequest, 0x0357FF00);
  EXPECT_EQ(rig.version2.State().LinkStatus, 0);
  EXPECT_EQ(
      rig.board.InspectChip([](const SimBoard& chip) { return chip.Group(0).DacRegister(5); }),
      0x7FF);
}

TEST_F(UsbRequests, UnpluggedBoardFailsEveryRequestAtOnce) {
  for (const bool classic : {false, true}) {
    std::unique_ptr<UsbRig> rig = Started(classic);
    BoardLink& link = Link(*rig, classic);
    rig->board.Unplug();

    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(link.TransferAdcWord(0x8300), 257) << round;
      EXPECT_EQ(link.State().LinkStatus, usb::RequestNoBoard) << round;
      link.WriteDacWord(board::DacLowRequest, 0x08000001);
      EXPECT_EQ(link.State().LinkStatus, usb::RequestNoBoard) << round;
      link.SendControlRequest(board::PulseLdacRequest);
      EXPECT_EQ(link.State().LinkStatus, usb::RequestNoBoard) << round;
    }
    EXPECT_EQ(link.State().AdcReplyBytes, (std::array<std::uint8_t, 3>{1, 1, 1}));

    // "Reload USB" then finds nothing.
    rig->port.ShowLoad(link.LoadUSB());
    ASSERT_EQ(rig->port.messages.size(), 1U);
    EXPECT_EQ(rig->port.messages[0].title, classic ? ": -1" : ": 1");

    // Plugged in again, the board is found waiting for its firmware.
    rig->board.PlugIn();
    rig->port.ShowLoad(link.LoadUSB());
    EXPECT_EQ(rig->port.messages.size(), 1U);
    EXPECT_EQ(link.State().LinkStatus, 0);
    link.SendControlRequest(board::PulseLdacRequest);
    EXPECT_EQ(link.State().LinkStatus, 0);
  }
}

TEST_F(UsbRequests, BadArgumentsNeverReachTheBus) {
  std::unique_ptr<UsbRig> rig = Started(false);
  std::array<std::uint8_t, 3> buffer{};
  struct Case {
    const char* what;
    std::int16_t status;
  };
  const std::vector<Case> cases = {
      {"direction 2", rig->library->Vendor_Request(1, 0xE4, 0, 0, 2, 3, buffer.data())},
      {"negative length", rig->library->Vendor_Request(1, 0xE4, 0, 0, 1, -1, buffer.data())},
      {"length past a page", rig->library->Vendor_Request(1, 0xE4, 0, 0, 1, 4097, buffer.data())},
      {"no buffer", rig->library->Vendor_Request(1, 0xE4, 0, 0, 1, 3, nullptr)},
      {"code past 8 bits", rig->library->VendorIORequest(0x1E4, 0, 0, 1, 3, buffer.data())},
      {"negative code", rig->library->VendorIORequest(-28, 0, 0, 0, 0, buffer.data())},
      {"negative direction", rig->library->VendorIORequest(0xE4, 0, 0, -1, 3, buffer.data())},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.status, usb::RequestBadArgument) << c.what;
  }
  EXPECT_TRUE(rig->board.Controls().empty());
}

TEST_F(UsbRequests, BoardStillWaitingForFirmwareGetsNoRequests) {
  UsbRig rig;
  rig.board.PlugIn();
  board::BoardList list{};
  std::int32_t number = 0;
  std::int32_t handle = 0;
  rig.library->Search_For_Boards(0x1234, 0x7312, number, list);
  EXPECT_EQ(rig.library->Connect(0x1234, 0x7312, list[0], handle), 0);
  std::array<std::uint8_t, 3> buffer = {1, 1, 1};
  EXPECT_EQ(rig.library->Vendor_Request(handle, 0xE4, 0x8300, 0, 1, 3, buffer.data()),
            usb::RequestNotBooted);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 3>{1, 1, 1}));
  EXPECT_TRUE(rig.board.Controls().empty());
  EXPECT_EQ(rig.library->Vendor_Request(handle + 1, 0xE0, 0, 0, 0, 0, buffer.data()),
            usb::RequestBadHandle);
  EXPECT_EQ(rig.library->Vendor_Request(0, 0xE0, 0, 0, 0, 0, buffer.data()), usb::RequestBadHandle);
}

}  // namespace
}  // namespace kx::testing
