// Boards told apart by their USB serial numbers: two emulated boards on one
// bus, both listed whatever serial was asked for, each chosen by its serial,
// and what a serial that matches none gives beside a board that reports one
// and beside one that reports none.

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

// Beside a running board with serial KX-A at 1:5: at 1:20 one waiting for
// its firmware whose loader reports `serial` (none: no serial at all).
EmulatedBoardSetup BoardB(const std::optional<std::string>& serial) {
  EmulatedBoardSetup setup = WaitingBoard();
  setup.serial = setup.loader_serial = serial;
  setup.port = 3;
  setup.first_device_number = 20;
  return setup;
}

using Listed =
    std::tuple<std::optional<std::uint8_t>, bool, std::optional<std::string>, std::string>;

class UsbSerial : public UsbBackendTest {};

TEST_F(UsbSerial, BothBoardsAreListedAndOnlyTheOneChosenByItsSerialHearsTheWords) {
  struct Case {
    std::string serial;
    std::optional<std::string> serial_b;
    int chosen;  // 0 board A, 1 board B, -1 none
    std::string problem;
  };
  const std::vector<Case> cases = {
      {"KX-A", "KX-B", 0, ""},
      {"KX-B", "KX-B", 1, ""},  // followed across its download by its port
      {"KX-C", "KX-B", -1,
       R"(no board with USB serial "KX-C"; attached: "KX-A" at 1:5 and "KX-B" at 1:20)"},
      {"KX-Z", std::nullopt, -1,
       R"(no board with USB serial "KX-Z"; attached: "KX-A" at 1:5 and one at 1:20 )"
       R"(reporting no serial (waiting for its firmware))"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.serial);
    EmulatedBoardSetup setup_a = RunningBoard();
    setup_a.serial = "KX-A";
    EmulatedUsbBoard a(setup_a);
    EmulatedUsbBoard b(BoardB(c.serial_b));
    a.PlugIn();
    b.PlugIn();
    FakeOperator port;
    usb::UsbOptions options;
    options.serial = c.serial;
    usb::OpenedUsbLinkLibrary opened = usb::OpenUsbLinkLibrary(options, port);
    ASSERT_NE(opened.library, nullptr) << opened.error;
    usb::UsbLinkLibrary& library = *opened.library;
    // The listing ignores the choice (it is how one finds the serial to
    // give) and sends no vendor request to either board.
    std::vector<Listed> listed;
    for (const board::AttachedBoard& seen : library.Attached().boards) {
      listed.emplace_back(seen.address, seen.running, seen.serial, seen.serial_problem);
    }
    EXPECT_EQ(listed, (std::vector<Listed>{{5, true, "KX-A", ""}, {20, false, c.serial_b, ""}}));
    EXPECT_TRUE(a.Controls().empty() && b.Controls().empty());

    board::CvnBoardLink link(library, FirmwareFolder());
    link.LoadUSB();
    // DAC3 written and updated: 0x7FF.
    link.WriteDacWord(board::DacLowRequest, 0x0337FF00);
    EXPECT_EQ(library.LastProblem(), c.problem);
    EXPECT_EQ(library.ConnectedSerial(),
              c.chosen < 0 ? std::nullopt : std::optional<std::string>(c.serial));
    const std::vector<const EmulatedUsbBoard*> boards = {&a, &b};
    for (std::size_t i = 0; i < boards.size(); ++i) {
      const bool chosen = static_cast<int>(i) == c.chosen;
      EXPECT_EQ(boards[i]->InspectChip(
                    [](const board::sim::SimBoard& chip) { return chip.Group(0).DacRegister(3); }),
                chosen ? 0x7FFU : 0U)
          << i;
      EXPECT_TRUE(chosen || boards[i]->Controls().empty()) << i;
    }
    EXPECT_EQ(b.Running(), c.chosen == 1);
  }
}

}  // namespace
}  // namespace kx::testing
