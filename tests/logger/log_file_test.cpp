#include "logger/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace kx::logger {
namespace {

using kx::testing::ReadBytes;
using kx::testing::TempFolder;
using kx::testing::WriteBytes;

TEST(LogFile, AnExistingFileIsKeptUnlessOverwriteIsAskedFor) {
  TempFolder folder;
  const std::string path = folder.File("run.csv");
  WriteBytes(path, "ten hours of rows\n");

  const LogFile::Opened kept = LogFile::Create(path, false);
  EXPECT_FALSE(kept.file);
  EXPECT_NE(kept.error.find("exists already"), std::string::npos) << kept.error;
  EXPECT_NE(kept.error.find("--overwrite"), std::string::npos) << kept.error;
  EXPECT_EQ(ReadBytes(path), "ten hours of rows\n");

  LogFile::Opened replaced = LogFile::Create(path, true);
  ASSERT_TRUE(replaced.file) << replaced.error;
  EXPECT_EQ(ReadBytes(path), "");
}

TEST(LogFile, EveryLineIsOnTheDiskAsSoonAsItIsAppended) {
  TempFolder folder;
  const std::string path = folder.File("run.csv");
  LogFile::Opened opened = LogFile::Create(path, false);
  ASSERT_TRUE(opened.file) << opened.error;
  EXPECT_FALSE(opened.file->Append("# header\ncolumns\n"));
  EXPECT_EQ(ReadBytes(path), "# header\ncolumns\n");
  EXPECT_FALSE(opened.file->Append("row 0\n"));
  // Read while the file is still open, as a viewer following it would.
  EXPECT_EQ(ReadBytes(path), "# header\ncolumns\nrow 0\n");
  EXPECT_FALSE(opened.file->Close());
  EXPECT_TRUE(opened.file->Append("row 1\n"));
}

TEST(LogFile, AFileThatCannotBeCreatedSaysWhy) {
  TempFolder folder;
  const LogFile::Opened opened = LogFile::Create(folder.File("missing/run.csv"), false);
  EXPECT_FALSE(opened.file);
  EXPECT_NE(opened.error.find("could not be created"), std::string::npos) << opened.error;
}

#ifndef _WIN32
TEST(LogFile, AFullDiskIsReportedWithTheSystemsReason) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  LogFile::Opened opened = LogFile::Create("/dev/full", true);
  ASSERT_TRUE(opened.file) << opened.error;
  const std::optional<std::string> error = opened.file->Append("row 0\n");
  ASSERT_TRUE(error);
  EXPECT_NE(error->find(std::generic_category().message(ENOSPC)), std::string::npos) << *error;
}
#endif

}  // namespace
}  // namespace kx::logger
