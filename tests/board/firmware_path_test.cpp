#include "board/firmware_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_folder.h"

namespace kx::board {
namespace {

TEST(FirmwarePath, FolderThenSeparatorThenFileName) {
  struct Case {
    const char* folder;
    char separator;
    const char* path;
  };
  const Case cases[] = {
      {"/opt/kx7312", '/', "/opt/kx7312/KX7312FW.hex"},
      {"/", '/', "//KX7312FW.hex"},  // at a root the separator doubles
      {"C:\\Program Files\\KX7312", '\\', "C:\\Program Files\\KX7312\\KX7312FW.hex"},
      {"D:\\", '\\', "D:\\\\KX7312FW.hex"},
      {"/with space/ü", '/', "/with space/ü/KX7312FW.hex"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeFirmwarePath(c.folder, c.separator), c.path);
  }
}

TEST(FillPathBuffer, KeepsTheCustomarySizeAndTerminates) {
  std::vector<std::uint8_t> bytes(513, 0xAA);
  FillPathBuffer("/a/KX7312FW.hex", bytes);
  ASSERT_EQ(bytes.size(), 513U);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "/a/KX7312FW.hex");
  EXPECT_EQ(bytes[15], 0);
}

TEST(FillPathBuffer, GrowsForLongPathsAndShrinksBack) {
  std::vector<std::uint8_t> bytes(513, 0);
  for (const std::size_t length : {511U, 512U, 513U, 1000U}) {
    const std::string path(length, 'p');
    FillPathBuffer(path, bytes);
    EXPECT_EQ(bytes.size(), std::max<std::size_t>(513, length + 1)) << length;
    EXPECT_EQ(bytes[length], 0) << length;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), path) << length;
  }
  // A later short path leaves no stale bytes of the long one behind.
  FillPathBuffer("/b", bytes);
  EXPECT_EQ(bytes.size(), 513U);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "/b");
}

TEST(ProgramFolder, IsTheFolderThatHoldsTheFirmwareImage) {
  // The build puts the image beside every executable, the tests included.
  const std::string folder = ProgramFolder();
  EXPECT_TRUE(std::filesystem::exists(MakeFirmwarePath(folder))) << folder;
  EXPECT_TRUE(
      std::filesystem::equivalent(folder, std::filesystem::path(KX_TEST_FIRMWARE).parent_path()));
}

#ifndef _WIN32
// An installed program finds the image in the package's data folder, while a
// copy beside the program still wins, as it does in a build tree.
TEST(FirmwareFolder, BesideTheProgramFirstThenTheInstalledDataFolder) {
  testing::TempFolder root;
  const std::filesystem::path bin = root.Path() / "usr" / "bin";
  const std::filesystem::path data = root.Path() / "usr" / "share" / "kx7312";
  std::filesystem::create_directories(bin);
  std::filesystem::create_directories(data);
  const std::string installed = "../share/kx7312";

  // Neither: the program's folder, which the failure message then names.
  EXPECT_EQ(FirmwareFolderOf(bin.string(), installed), bin.string());
  testing::WriteBytes(MakeFirmwarePath(data.string()), ":00000001FF\n");
  EXPECT_EQ(FirmwareFolderOf(bin.string(), installed), data.string());
  EXPECT_EQ(FirmwareFolderOf(bin.string(), ""), bin.string()) << "no installed folder configured";
  testing::WriteBytes(MakeFirmwarePath(bin.string()), ":00000001FF\n");
  EXPECT_EQ(FirmwareFolderOf(bin.string(), installed), bin.string());
}
#endif

}  // namespace
}  // namespace kx::board
