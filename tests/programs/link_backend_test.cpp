#include "board/backend/link_backend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/cvn_board_link.h"
#include "session/edition.h"
#include "support/fake_operator.h"

namespace kx::board {
namespace {

namespace fs = std::filesystem;

class LinkBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("kx7312-backend-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
  testing::FakeOperator port_;
};

TEST_F(LinkBackendTest, SimulatedBoardBehindATraceFile) {
  LinkOptions options;
  options.simulate = true;
  options.trace = (folder_ / "trace.txt").string();
  {
    auto created = LinkBackend::Create(Version2Edition.link, options, port_);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
    auto& backend = std::get<std::unique_ptr<LinkBackend>>(created);
    ASSERT_NE(backend->Simulated(), nullptr);
    board::CvnBoardLink link(*backend->Libraries().cvn,
                             fs::path(KX_TEST_FIRMWARE).parent_path().string());
    port_.ShowLoad(link.LoadUSB());
  }
  std::ifstream in(folder_ / "trace.txt");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("search vendor=0x1234 product=0x7312 found=1\n", 0), 0U) << text.str();
  EXPECT_NE(text.str().find("code=0xE0"), std::string::npos);
}

// The simulated board says why it refused an image, as the USB backend does.
TEST_F(LinkBackendTest, SimulatedBoardNamesTheImageItCannotRead) {
  LinkOptions options;
  options.simulate = true;
  auto created = LinkBackend::Create(Version2Edition.link, options, port_);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
  auto& backend = std::get<std::unique_ptr<LinkBackend>>(created);
  board::CvnBoardLink link(*backend->Libraries().cvn, folder_.string());
  port_.ShowLoad(link.LoadUSB());
  const std::string image = (folder_ / "KX7312FW.hex").string();
  EXPECT_EQ(backend->LastProblem(), "cannot open " + image + ": No such file or directory");

  board::CvnBoardLink good(*backend->Libraries().cvn,
                           fs::path(KX_TEST_FIRMWARE).parent_path().string());
  good.LoadUSB();
  EXPECT_EQ(backend->LastProblem(), "");
}

TEST_F(LinkBackendTest, ATraceThatCannotBeWrittenIsToldOnceAndTheLinkGoesOn) {
  if (!fs::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  LinkOptions options;
  options.simulate = true;
  options.trace = "/dev/full";
  auto created = LinkBackend::Create(Version2Edition.link, options, port_);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
  auto& backend = std::get<std::unique_ptr<LinkBackend>>(created);
  std::vector<std::string> reports;
  backend->OnTraceFailure([&reports](const std::string& problem) { reports.push_back(problem); });
  EXPECT_EQ(backend->TraceProblem(), "");

  board::CvnBoardLink link(*backend->Libraries().cvn,
                           fs::path(KX_TEST_FIRMWARE).parent_path().string());
  port_.ShowLoad(link.LoadUSB());
  link.TransferAdcWord(0x8300);
  EXPECT_EQ(link.State().LinkStatus, 0);
  EXPECT_TRUE(port_.messages.empty());
  const std::string expected =
      "the trace file /dev/full could not be written (No space left on device): it ends before "
      "the first call it could not record";
  EXPECT_EQ(backend->TraceProblem(), expected);
  EXPECT_EQ(reports, std::vector<std::string>{expected});
}

TEST_F(LinkBackendTest, SettingsFileReachesTheBoard) {
  const fs::path settings = folder_ / "absent.json";
  std::ofstream(settings) << R"({"present": false})";
  LinkOptions options;
  options.simulate = true;
  options.sim_settings = settings.string();
  auto created = LinkBackend::Create(ClassicEdition.link, options, port_);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
  EXPECT_FALSE(std::get<std::unique_ptr<LinkBackend>>(created)->Simulated()->Settings().present);
}

// Files kept per board are named by its serial, else by --board-name.
TEST_F(LinkBackendTest, TheBoardsIdentityIsItsSerialElseItsName) {
  struct Case {
    std::string settings;
    std::optional<std::string> name;
    std::string error;  // of Create
    std::string file_word;
  };
  const std::vector<Case> cases = {
      {"{}", std::nullopt, "", "SIM-0001"},
      {R"({"serial": "KX/1 .a"})", "bench-3", "", "KX_1_.a"},
      {R"({"present": false})", "bench-3", "", "bench-3"},
      {"{}", "", "invalid --board-name \"\": it is empty", ""},
      {"{}", std::string(65, 'b'), "it is longer than 64 characters", ""},
      {"{}", "a/b", "it holds a character a file name should not", ""},
  };
  for (const Case& c : cases) {
    std::ofstream(folder_ / "board.json") << c.settings;
    LinkOptions options;
    options.simulate = true;
    options.sim_settings = (folder_ / "board.json").string();
    options.board_name = c.name;
    auto created = LinkBackend::Create(Version2Edition.link, options, port_);
    if (!c.error.empty()) {
      ASSERT_TRUE(std::holds_alternative<std::string>(created));
      EXPECT_NE(std::get<std::string>(created).find(c.error), std::string::npos)
          << std::get<std::string>(created);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created)) << c.settings;
    const board::LinkLibraries libraries =
        std::get<std::unique_ptr<LinkBackend>>(created)->Libraries();
    ASSERT_NE(libraries.directory, nullptr);
    EXPECT_EQ(libraries.directory->Identity().FileWord(), c.file_word) << c.settings;
  }
}

TEST_F(LinkBackendTest, RefusesWhatCannotBeRead) {
  std::ofstream(folder_ / "bad.json") << R"({"inputs": {"16": 1}})";
  struct Case {
    LinkOptions options;
    std::string mentions;
  };
  LinkOptions bad_settings;
  bad_settings.simulate = true;
  bad_settings.sim_settings = (folder_ / "bad.json").string();
  LinkOptions missing_settings = bad_settings;
  missing_settings.sim_settings = (folder_ / "none.json").string();
  LinkOptions bad_trace;
  bad_trace.simulate = true;
  bad_trace.trace = (folder_ / "no-such-folder" / "t.txt").string();
  for (const Case& c : {Case{bad_settings, "inputs.16"}, Case{missing_settings, "none.json"},
                        Case{bad_trace, "cannot open trace file"}}) {
    auto created = LinkBackend::Create(Version2Edition.link, c.options, port_);
    ASSERT_TRUE(std::holds_alternative<std::string>(created)) << c.mentions;
    EXPECT_NE(std::get<std::string>(created).find(c.mentions), std::string::npos)
        << std::get<std::string>(created);
  }
}

TEST_F(LinkBackendTest, BadUsbOptionsStopTheStartNamingOptionAndText) {
  if (!LinkBackend::HasUsbBackend()) {
    GTEST_SKIP() << "this build has no USB backend";
  }
  struct Case {
    std::optional<std::string> LinkOptions::*field;
    std::string text;
    std::string mentions;
  };
  const std::vector<Case> cases = {
      {&LinkOptions::usb_id, "12345:7312", "invalid --usb-id \"12345:7312\""},
      {&LinkOptions::usb_id, "1234", "invalid --usb-id \"1234\""},
      {&LinkOptions::usb_loader_id, "1234:zz", "invalid --usb-loader-id \"1234:zz\""},
      {&LinkOptions::usb_bus, "0:5", "invalid --usb-bus \"0:5\""},
      {&LinkOptions::usb_bus, "1:128", "invalid --usb-bus \"1:128\""},
  };
  for (const Case& c : cases) {
    LinkOptions options;
    options.usb_id = "1234:7312";
    options.trace = (folder_ / "trace.txt").string();
    options.*c.field = c.text;
    auto created = LinkBackend::Create(Version2Edition.link, options, port_);
    ASSERT_TRUE(std::holds_alternative<std::string>(created)) << c.text;
    EXPECT_NE(std::get<std::string>(created).find(c.mentions), std::string::npos)
        << std::get<std::string>(created);
    // Refused before anything started: no trace file, nothing told.
    EXPECT_FALSE(fs::exists(folder_ / "trace.txt")) << c.text;
  }
  EXPECT_TRUE(port_.messages.empty());
}

TEST_F(LinkBackendTest, WithoutAUsbBackendTheLibraryIsReportedMissing) {
  if (LinkBackend::HasUsbBackend()) {
    GTEST_SKIP() << "this build has the USB backend (tested under umockdev)";
  }
#ifdef _WIN32
  GTEST_SKIP() << "Windows binds the vendor's link libraries (tested in tests/win)";
#endif
  auto created = LinkBackend::Create(ClassicEdition.link, LinkOptions{}, port_);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
  auto& backend = std::get<std::unique_ptr<LinkBackend>>(created);
  EXPECT_EQ(backend->Simulated(), nullptr);
  EXPECT_EQ(backend->Libraries().io->LoadFirmWare("KX7312FW.hex"), board::LibraryMissingStatus);
  ASSERT_EQ(port_.messages.size(), 1U);
  EXPECT_NE(port_.messages[0].text.find("UsbBoardIo"), std::string::npos);
  EXPECT_NE(port_.messages[0].text.find("--simulate"), std::string::npos);
}

}  // namespace
}  // namespace kx::board
