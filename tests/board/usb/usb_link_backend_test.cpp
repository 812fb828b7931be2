// The programs' link backend without --simulate: libusb, with the USB
// options of the command line, under the traffic trace when asked.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "board/backend/link_backend.h"
#include "board/cvn_board_link.h"
#include "board/sim/sim_board.h"
#include "board/usb_board_io_link.h"
#include "session/edition.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

using board::LinkBackend;
using board::LinkOptions;

std::unique_ptr<LinkBackend> Created(const Edition& edition, const LinkOptions& options,
                                     board::OperatorPort& port) {
  auto created = LinkBackend::Create(edition.link, options, port);
  if (const auto* error = std::get_if<std::string>(&created)) {
    ADD_FAILURE() << *error;
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<LinkBackend>>(created));
}

std::vector<std::string> Lines(const std::filesystem::path& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

int PostBoots(const EmulatedUsbBoard& board) {
  return board.InspectChip([](const board::sim::SimBoard& chip) { return chip.PostBootCount(); });
}

class UsbLinkBackend : public UsbBackendTest {};

TEST_F(UsbLinkBackend, WithoutSimulateBothProgramsBootTheBoardThroughTheTrace) {
  ASSERT_TRUE(LinkBackend::HasUsbBackend());
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    EmulatedUsbBoard board(WaitingBoard());
    board.PlugIn();
    ScratchFolder folder;
    FakeOperator port;
    LinkOptions options;
    options.trace = (folder.Path() / "trace.txt").string();
    std::unique_ptr<LinkBackend> backend = Created(*edition, options, port);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->Simulated(), nullptr);

    std::unique_ptr<board::BoardLink> link =
        board::MakeBoardLink(edition->link, backend->Libraries(), FirmwareFolder());
    port.ShowLoad(link->LoadUSB());
    EXPECT_TRUE(port.messages.empty()) << port.messages[0].text;
    EXPECT_TRUE(board.Running());
    EXPECT_EQ(board.Address(), (board::usb::UsbBusAddress{1, 6}));
    EXPECT_EQ(PostBoots(board), 1);
    EXPECT_EQ(backend->LastProblem(), "");

    const std::string image = FirmwareFolder() + "/KX7312FW.hex";
    const std::vector<std::string> expected =
        edition == &Version2Edition
            ? std::vector<std::string>{
                  "search vendor=0x1234 product=0x7312 found=1",
                  "connect vendor=0x1234 product=0x7312 board=1 handle=1",
                  "download handle=1 status=0 path=" + image,
                  "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
              }
            : std::vector<std::string>{
                  "loadfirmware status=0 path=" + image,
                  "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
              };
    EXPECT_EQ(Lines(folder.Path() / "trace.txt"), expected);
  }
}

TEST_F(UsbLinkBackend, UsbOptionsChooseTheBoard) {
  struct Case {
    const char* what;
    std::optional<std::string> usb_id;
    std::optional<std::string> usb_loader_id;
    std::optional<std::string> usb_bus;
    board::usb::UsbId board_running;
    board::usb::UsbId board_loader;
    const char* title;  // of the start-up message; none when the board boots
  };
  const board::usb::UsbId own_running{0xABCD, 0x0200};
  const board::usb::UsbId own_loader{0xABCD, 0x0100};
  const board::usb::UsbId running = board::usb::DefaultRunningId;
  const board::usb::UsbId loader = board::usb::DefaultLoaderId;
  const std::vector<Case> cases = {
      {"defaults", {}, {}, {}, running, loader, nullptr},
      {"other identifiers, not named", {}, {}, {}, own_running, own_loader, ": 1"},
      {"other identifiers, named",
       "abcd:0200",
       "0xABCD:0x0100",
       {},
       own_running,
       own_loader,
       nullptr},
      // Found and loaded, but never seen again under the running identifier.
      {"only the loader named", {}, "abcd:100", {}, own_running, own_loader, ": 7"},
      {"at its place", {}, {}, "1:5", running, loader, nullptr},
      {"elsewhere", {}, {}, "1:9", running, loader, ": 1"},
  };
  for (const Case& c : cases) {
    EmulatedBoardSetup setup = WaitingBoard();
    setup.running = c.board_running;
    setup.loader = c.board_loader;
    EmulatedUsbBoard board(setup);
    board.PlugIn();
    FakeOperator port;
    LinkOptions options;
    options.usb_id = c.usb_id;
    options.usb_loader_id = c.usb_loader_id;
    options.usb_bus = c.usb_bus;
    std::unique_ptr<LinkBackend> backend = Created(Version2Edition, options, port);
    ASSERT_NE(backend, nullptr) << c.what;
    board::CvnBoardLink link(*backend->Libraries().cvn, FirmwareFolder());
    port.ShowLoad(link.LoadUSB());

    if (c.title == nullptr) {
      EXPECT_TRUE(port.messages.empty()) << c.what;
      EXPECT_TRUE(board.Running()) << c.what;
      EXPECT_EQ(backend->LastProblem(), "") << c.what;
      continue;
    }
    ASSERT_EQ(port.messages.size(), 1U) << c.what;
    EXPECT_EQ(port.messages[0].text, "No Evaluation Board Found") << c.what;
    EXPECT_EQ(port.messages[0].title, c.title) << c.what;
    EXPECT_NE(backend->LastProblem(), "") << c.what;
  }
}

}  // namespace
}  // namespace kx::testing
