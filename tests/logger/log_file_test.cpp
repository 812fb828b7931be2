#include "logger/log_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "adc/sample_file.h"
#include "support/bad_log_files.h"
#include "support/temp_folder.h"

namespace kx::logger {
namespace {

namespace fs = std::filesystem;
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
TEST(LogFile, ASecondWriterIsRefusedWithTheFilesNameAndTheFirstLosesNothing) {
  TempFolder folder;
  const std::string path = folder.File("run.csv");
  LogFile::Opened first = LogFile::Create(path, false);
  ASSERT_TRUE(first.file) << first.error;
  ASSERT_FALSE(first.file->Append("# header\nrow 0\n"));

  const LogFile::Opened second = LogFile::Create(path, true);
  EXPECT_FALSE(second.file);
  EXPECT_NE(second.error.find(path), std::string::npos) << second.error;
  EXPECT_NE(second.error.find("another program is writing it"), std::string::npos) << second.error;
  // Nor does a capture replace it while it is written.
  const std::optional<std::string> capture = adc::WriteFileReplacing(path, "1\t2\r\n");
  ASSERT_TRUE(capture);
  EXPECT_NE(capture->find("a data logger is writing it"), std::string::npos) << *capture;

  ASSERT_FALSE(first.file->Append("row 1\n"));
  EXPECT_EQ(ReadBytes(path), "# header\nrow 0\nrow 1\n");
  ASSERT_FALSE(first.file->Close());
  EXPECT_FALSE(adc::WriteFileReplacing(path, "1\t2\r\n"));
}

// Each bad file as the command-line logger meets it (the operator's own
// path) and as a server's log folder does: refused, or for the operator
// followed, and nothing else on the disk changed.
TEST(LogFile, BadFilesAreRefusedAndTheLogFolderNeverLeadsOut) {
  for (const kx::testing::BadLogFile& bad : kx::testing::BadLogFiles()) {
    for (const bool in_folder : {false, true}) {
      SCOPED_TRACE(bad.what + (in_folder ? " in the log folder" : " on the command line"));
      TempFolder top;
      const fs::path logs = top.Path() / "logs";
      const fs::path outside = top.Path() / "outside";
      fs::create_directories(logs);
      fs::create_directories(outside);
      bad.make(logs, outside);
      const auto logs_before = kx::testing::FolderContents(logs);
      const auto outside_before = kx::testing::FolderContents(outside);

      std::string error;
      std::optional<LogFolder> folder = LogFolder::Open(logs, error);
      ASSERT_TRUE(folder) << error;
      LogFile::Opened opened = in_folder
                                   ? LogFile::CreateIn(*folder, bad.name, bad.overwrite)
                                   : LogFile::Create((logs / bad.name).string(), bad.overwrite);
      if (!in_folder && bad.operator_path_taken) {
        EXPECT_TRUE(opened.file) << opened.error;
        continue;
      }
      EXPECT_FALSE(opened.file);
      EXPECT_NE(opened.error.find(bad.name), std::string::npos) << opened.error;
      EXPECT_EQ(kx::testing::FolderContents(logs), logs_before);
      EXPECT_EQ(kx::testing::FolderContents(outside), outside_before);
    }
  }
}
#endif

}  // namespace
}  // namespace kx::logger
