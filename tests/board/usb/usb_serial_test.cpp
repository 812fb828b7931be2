// Boards told apart by their USB serial numbers: two emulated boards on one
// bus, each chosen by its serial, the listing of both, and what a serial
// that matches none, or a board without one, gives.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "board/cvn_board_link.h"
#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

namespace usb = board::usb;

// A running board with serial KX-A at 1:5, and at 1:20 one whose loader
// reports KX-B already, waiting for its firmware.
EmulatedBoardSetup BoardA() {
  EmulatedBoardSetup setup = RunningBoard();
  setup.serial = "KX-A";
  return setup;
}

EmulatedBoardSetup BoardB() {
  EmulatedBoardSetup setup = WaitingBoard();
  setup.serial = setup.loader_serial = "KX-B";
  setup.port = 3;
  setup.first_device_number = 20;
  return setup;
}

std::unique_ptr<usb::UsbLinkLibrary> Library(std::optional<std::string> serial,
                                             board::OperatorPort& port) {
  usb::UsbOptions options;
  options.serial = std::move(serial);
  usb::OpenedUsbLinkLibrary opened = usb::OpenUsbLinkLibrary(options, port);
  EXPECT_NE(opened.library, nullptr) << opened.error;
  return std::move(opened.library);
}

std::uint32_t InputRegister(const EmulatedUsbBoard& board) {
  return board.InspectChip(
      [](const board::sim::SimBoard& chip) { return chip.Group(0).DacRegister(3); });
}

class UsbSerial : public UsbBackendTest {};

TEST_F(UsbSerial, EachBoardIsChosenByItsSerialAndOnlyItHearsTheWords) {
  struct Case {
    std::string serial;
    int chosen;  // 0 board A, 1 board B, -1 none
    std::string problem;
  };
  const std::vector<Case> cases = {
      {"KX-A", 0, ""},
      {"KX-B", 1, ""},  // followed across its download by its port
      {"KX-C", -1,
       R"(no board with USB serial "KX-C"; attached: "KX-A" at 1:5 and "KX-B" at 1:20)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    EmulatedUsbBoard a(BoardA());
    EmulatedUsbBoard b(BoardB());
    a.PlugIn();
    b.PlugIn();
    FakeOperator port;
    std::unique_ptr<usb::UsbLinkLibrary> library = Library(c.serial, port);
    board::CvnBoardLink link(*library, FirmwareFolder());
    link.LoadUSB();
    // DAC3 written and updated: 0x7FF.
    link.WriteDacWord(board::DacLowRequest, 0x0337FF00);
    EXPECT_EQ(library->LastProblem(), c.problem);
    EXPECT_EQ(library->ConnectedSerial(),
              c.chosen < 0 ? std::nullopt : std::optional<std::string>(c.serial));
    const std::vector<const EmulatedUsbBoard*> boards = {&a, &b};
    for (std::size_t i = 0; i < boards.size(); ++i) {
      const bool chosen = static_cast<int>(i) == c.chosen;
      EXPECT_EQ(InputRegister(*boards[i]), chosen ? 0x7FFU : 0U) << i;
      if (!chosen) {
        EXPECT_TRUE(boards[i]->Controls().empty()) << i;
      }
    }
    EXPECT_EQ(b.Running(), c.chosen == 1);
    library.reset();
  }
}

TEST_F(UsbSerial, TheListingShowsEveryBoardAndABoardWithoutASerialIsNamedSo) {
  EmulatedUsbBoard a(BoardA());
  EmulatedBoardSetup without = WaitingBoard();  // reports no serial at all
  without.port = 3;
  without.first_device_number = 20;
  EmulatedUsbBoard b(without);
  a.PlugIn();
  b.PlugIn();
  FakeOperator port;
  // The listing ignores the choice: it is how one finds the serial to give.
  const board::AttachedBoards attached = Library("KX-A", port)->Attached();
  ASSERT_EQ(attached.boards.size(), 2U);
  for (const auto& [seen, address, running, serial] :
       {std::tuple{attached.boards[0], 5, true, std::optional<std::string>("KX-A")},
        std::tuple{attached.boards[1], 20, false, std::optional<std::string>()}}) {
    EXPECT_EQ(seen.address, address);
    EXPECT_EQ(seen.running, running) << address;
    EXPECT_EQ(seen.serial, serial) << address;
    EXPECT_EQ(seen.serial_problem, "") << address;
  }
  // Listing sends no vendor request to either board.
  EXPECT_TRUE(a.Controls().empty());
  EXPECT_TRUE(b.Controls().empty());

  std::unique_ptr<usb::UsbLinkLibrary> missing = Library("KX-Z", port);
  board::CvnBoardLink(*missing, FirmwareFolder()).LoadUSB();
  EXPECT_EQ(missing->LastProblem(),
            R"(no board with USB serial "KX-Z"; attached: "KX-A" at 1:5 and one at 1:20 )"
            R"(reporting no serial (waiting for its firmware))");
  EXPECT_EQ(missing->ConnectedSerial(), std::nullopt);
}

}  // namespace
}  // namespace kx::testing
