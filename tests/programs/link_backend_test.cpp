#include "programs/link_backend.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "board/cvn_board_link.h"
#include "support/fake_operator.h"

namespace kx::programs {
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
  ProgramOptions options;
  options.simulate = true;
  options.trace = (folder_ / "trace.txt").string();
  {
    auto created = LinkBackend::Create(Version2Edition, options, port_);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
    auto& backend = std::get<std::unique_ptr<LinkBackend>>(created);
    ASSERT_NE(backend->Simulated(), nullptr);
    board::CvnBoardLink link(*backend->Libraries().cvn, port_,
                             fs::path(KX_TEST_FIRMWARE).parent_path().string());
    link.LoadUSB();
  }
  std::ifstream in(folder_ / "trace.txt");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().rfind("search vendor=0x1234 product=0x7312 found=1\n", 0), 0U) << text.str();
  EXPECT_NE(text.str().find("code=0xE0"), std::string::npos);
}

TEST_F(LinkBackendTest, SettingsFileReachesTheBoard) {
  const fs::path settings = folder_ / "absent.json";
  std::ofstream(settings) << R"({"present": false})";
  ProgramOptions options;
  options.simulate = true;
  options.sim_settings = settings.string();
  auto created = LinkBackend::Create(ClassicEdition, options, port_);
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<LinkBackend>>(created));
  EXPECT_FALSE(std::get<std::unique_ptr<LinkBackend>>(created)->Simulated()->Settings().present);
}

TEST_F(LinkBackendTest, RefusesWhatCannotBeRead) {
  std::ofstream(folder_ / "bad.json") << R"({"inputs": {"16": 1}})";
  struct Case {
    ProgramOptions options;
    std::string mentions;
  };
  ProgramOptions bad_settings;
  bad_settings.simulate = true;
  bad_settings.sim_settings = (folder_ / "bad.json").string();
  ProgramOptions missing_settings = bad_settings;
  missing_settings.sim_settings = (folder_ / "none.json").string();
  ProgramOptions bad_trace;
  bad_trace.simulate = true;
  bad_trace.trace = (folder_ / "no-such-folder" / "t.txt").string();
  for (const Case& c : {Case{bad_settings, "inputs.16"}, Case{missing_settings, "none.json"},
                        Case{bad_trace, "cannot open trace file"}}) {
    auto created = LinkBackend::Create(Version2Edition, c.options, port_);
    ASSERT_TRUE(std::holds_alternative<std::string>(created)) << c.mentions;
    EXPECT_NE(std::get<std::string>(created).find(c.mentions), std::string::npos)
        << std::get<std::string>(created);
  }
}

}  // namespace
}  // namespace kx::programs
