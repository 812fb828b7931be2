// What the programs read as a file (the firmware image, the simulated board's
// settings) must be a regular file. Anything else is refused with the path
// and the reason, at once: a FIFO would otherwise hold the program in open()
// until someone writes to it.
#include "board/bounded_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "board/intel_hex.h"
#include "board/sim/sim_board.h"
#include "board/sim/sim_settings.h"
#include "support/fifo_guard.h"
#include "support/temp_folder.h"

namespace kx::board {
namespace {

namespace fs = std::filesystem;

struct Reader {
  const char* what;
  bool names_path;
  // The reader's complaint about `path`; empty when it read the file.
  std::function<std::string(const std::string& path)> complaint;
};

std::vector<Reader> Readers() {
  return {
      {"shared reader", false,
       [](const std::string& path) { return ReadFileAtMost(path, 1024).reason; }},
      {"firmware image", true,
       [](const std::string& path) { return LoadIntelHexFile(path).error; }},
      {"settings file", true,
       [](const std::string& path) { return sim::LoadSimSettingsFile(path).error; }},
      {"simulated board's download", true,
       [](const std::string& path) {
         sim::SimBoard board;
         board.Io().LoadFirmWare(path.c_str());
         return board.LastFirmwareError();
       }},
  };
}

struct Kind {
  const char* what;
  std::string path;
  std::string reason;
};

// Every reader, on every kind of path, inside a deadline.
void ExpectRefused(const Kind& kind) {
  for (const Reader& reader : Readers()) {
    SCOPED_TRACE(std::string(reader.what) + " on " + kind.what);
    std::string complaint;
    ASSERT_TRUE(testing::ReturnsWithoutAWriter(kind.path, [&] {
      complaint = reader.complaint(kind.path);
    })) << "blocked until the FIFO got a writer";
    EXPECT_NE(complaint.find(kind.reason), std::string::npos) << complaint;
    if (reader.names_path) {
      EXPECT_NE(complaint.find(kind.path), std::string::npos) << complaint;
    }
  }
}

TEST(BoundedFile, ReadsARegularFileWithinItsLimit) {
  testing::TempFolder folder;
  const std::string path = folder.File("a.txt");
  testing::WriteBytes(path, "twelve bytes");
  std::vector<std::string> names = {path};
#ifndef _WIN32
  fs::create_symlink(path, folder.File("link"));
  names.push_back(folder.File("link"));
#endif
  for (const std::string& name : names) {
    const BoundedFileText read = ReadFileAtMost(name, 12);
    EXPECT_EQ(read.problem, FileReadProblem::None) << name << ": " << read.reason;
    EXPECT_EQ(read.text, "twelve bytes") << name;
  }
  const BoundedFileText over = ReadFileAtMost(path, 11);
  EXPECT_EQ(over.problem, FileReadProblem::TooLarge);
  EXPECT_EQ(over.text, "");
}

TEST(BoundedFile, MissingFilesAndFoldersAreRefusedWithTheReason) {
  testing::TempFolder folder;
  for (const Kind& kind : {
           Kind{"a missing file", folder.File("absent.hex"),
                std::generic_category().message(ENOENT)},
           Kind{"a folder", folder.Path().string(), "it is a folder, not a regular file"},
       }) {
    ExpectRefused(kind);
  }
}

#ifndef _WIN32

TEST(BoundedFile, FifosAndDevicesAreRefusedWithoutBlocking) {
  testing::TempFolder folder;
  const std::string fifo = folder.File("image.hex");
  ASSERT_TRUE(testing::MakeFifo(fifo));
  fs::create_symlink(fifo, folder.File("link.hex"));
  for (const Kind& kind : {
           Kind{"a FIFO", fifo, "it is a FIFO, not a regular file"},
           Kind{"a link to a FIFO", folder.File("link.hex"), "it is a FIFO, not a regular file"},
           Kind{"a device", "/dev/null", "it is a device, not a regular file"},
       }) {
    ExpectRefused(kind);
  }
}

#endif

}  // namespace
}  // namespace kx::board
