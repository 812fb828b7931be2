// Capture files against what a careful user keeps on the disk: read-only
// files, links, owners, hard links, names of any legal length, folders that
// take no new file, leftovers of killed captures, and things that are not
// files at all.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "adc/sample_file.h"
#include "adc_rig.h"
#ifndef _WIN32
#include "support/unprivileged.h"
#endif

namespace kx::adc {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Names = std::vector<std::string>;

std::string Refusal(const std::string& path, const std::string& reason) {
  return "Cannot save the samples to \"" + path + "\": " + reason +
         ". Any existing file of that name is unchanged.";
}

[[maybe_unused]] fs::perms PermsOf(const std::string& path) {
  return fs::status(path).permissions() & fs::perms::all;
}

TEST(SampleFileSafety, AReadOnlyFileIsLeftExactlyAsItWas) {
  using P = fs::perms;
  const P cases[] = {P::owner_read | P::group_read | P::others_read, P::owner_read, P::none};
  for (const P perms : cases) {
    TempFolder folder;
    const std::string path = folder.File("r.txt");
    WriteBytes(path, "earlier samples\r\n");
    fs::permissions(path, perms);
    const fs::file_time_type written = fs::last_write_time(path);

    EXPECT_EQ(WriteFileReplacing(path, "new samples\r\n"), Refusal(path, "the file is read-only"));
#ifndef _WIN32  // Windows has one read-only attribute, not bits
    EXPECT_EQ(PermsOf(path), perms);
#endif
    EXPECT_EQ(fs::last_write_time(path), written);
    fs::permissions(path, P::owner_all);  // to read it back on every platform
    EXPECT_EQ(ReadBytes(path), "earlier samples\r\n");
    EXPECT_EQ(folder.Entries(), Names{"r.txt"});
  }
}

#ifndef _WIN32  // Links need privileges on Windows; names there are limited by the path length.

TEST(SampleFileSafety, ALinkIsFollowedToItsFileAndStaysALink) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> links;  // link name, what it points to
    std::string target;                                      // relative to the folder
    bool target_exists;
  };
  const Case cases[] = {
      {"relative", {{"l.dat", "real/data.dat"}}, "real/data.dat", true},
      {"chain", {{"l.dat", "l2.dat"}, {"l2.dat", "real/data.dat"}}, "real/data.dat", true},
      {"up and over", {{"sub/l.dat", "../real/data.dat"}}, "real/data.dat", true},
      {"to a file still to be made", {{"l.dat", "real/new.dat"}}, "real/new.dat", false},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    fs::create_directories(folder.Path() / "real");
    fs::create_directories(folder.Path() / "sub");
    const std::string target = folder.File(c.target);
    if (c.target_exists) {
      WriteBytes(target, "earlier samples\r\n");
      fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    }
    for (const auto& [link, points_to] : c.links) {
      fs::create_symlink(points_to, folder.Path() / link);
    }
    const std::string link = folder.File(c.links.front().first);

    EXPECT_EQ(WriteFileReplacing(link, "new samples\r\n"), std::nullopt) << c.what;
    EXPECT_EQ(ReadBytes(target), "new samples\r\n") << c.what;
    for (const auto& [name, points_to] : c.links) {
      ASSERT_TRUE(fs::is_symlink(folder.Path() / name)) << c.what << " " << name;
      EXPECT_EQ(fs::read_symlink(folder.Path() / name), points_to) << c.what;
    }
    if (c.target_exists) {
      EXPECT_EQ(PermsOf(target), fs::perms::owner_read | fs::perms::owner_write) << c.what;
    }
    // No temporary file left in either folder.
    std::vector<std::string> real;
    for (const auto& entry : fs::directory_iterator(folder.Path() / "real")) {
      real.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(real, Names{fs::path(c.target).filename().string()}) << c.what;
  }
}

TEST(SampleFileSafety, ARefusalThroughALinkNamesTheFileItPointsTo) {
  TempFolder folder;
  const std::string target = folder.File("data.dat");
  WriteBytes(target, "kept");
  fs::permissions(target, fs::perms::owner_read);
  fs::create_symlink(target, folder.Path() / "l.dat");
  const std::string link = folder.File("l.dat");
  EXPECT_EQ(WriteFileReplacing(link, "new"),
            "Cannot save the samples to \"" + link + "\" (a link to \"" + target +
                "\"): the file is read-only. Any existing file of that name is unchanged.");
  EXPECT_EQ(ReadBytes(target), "kept");
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST(SampleFileSafety, AReplacedFileKeepsItsOwnerAndMode) {
  TempFolder folder;
  const std::string path = folder.File("owned.dat");
  WriteBytes(path, "earlier");
  // Root can hand the file to anyone; a user can at least keep it their own.
  kx::testing::GiveToUnprivileged(path, 0640);
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);

  EXPECT_EQ(WriteFileReplacing(path, "new samples"), std::nullopt);
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(ReadBytes(path), "new samples");
  EXPECT_EQ(after.st_uid, before.st_uid);
  EXPECT_EQ(after.st_gid, before.st_gid);
  EXPECT_EQ(after.st_mode & 07777, 0640U);
  if (::geteuid() == 0) {
    EXPECT_EQ(after.st_uid, kx::testing::UnprivilegedUser());
  }
}

TEST(SampleFileSafety, OtherHardLinksOfAReplacedFileKeepTheEarlierSamples) {
  // The name chosen gets the new samples in a new file, whole or not at
  // all; the other names keep what they had (see SampleFileWriter).
  TempFolder folder;
  const std::string path = folder.File("s.dat");
  const std::string other = folder.File("other-name.dat");
  WriteBytes(path, "earlier samples");
  fs::create_hard_link(path, other);

  EXPECT_EQ(WriteFileReplacing(path, "new samples"), std::nullopt);
  EXPECT_EQ(ReadBytes(path), "new samples");
  EXPECT_EQ(ReadBytes(other), "earlier samples");
  EXPECT_EQ(fs::hard_link_count(path), 1U);
  EXPECT_EQ(folder.Entries(), (Names{"other-name.dat", "s.dat"}));
}

TEST(SampleFileSafety, NamesOfEveryLegalLengthWork) {
  for (const std::size_t length : {std::size_t{1}, std::size_t{248}, std::size_t{249},
                                   std::size_t{250}, std::size_t{254}, std::size_t{255}}) {
    TempFolder folder;
    const std::string name(length, 'n');
    const std::string path = folder.File(name);
    WriteBytes(path, "earlier");  // replaced, not only created
    EXPECT_EQ(WriteFileReplacing(path, "samples"), std::nullopt) << length;
    EXPECT_EQ(ReadBytes(path), "samples") << length;
    EXPECT_EQ(folder.Entries(), Names{name}) << length;
  }
}

TEST(SampleFileSafety, LeftoversOfKilledCapturesNeverStandInTheWay) {
  TempFolder folder;
  const std::string path = folder.File("s.dat");
  // Names an earlier temporary file scheme used, a hundred of them...
  for (int i = 0; i < 100; ++i) {
    WriteBytes(path + "." + std::to_string(i) + ".part", "left behind");
  }
  // ...and captures killed between their check and their save.
  for (int i = 0; i < 3; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      SampleFileWriter writer(path);
      if (!writer.Prepare()) {
        std::raise(SIGKILL);
      }
      std::_Exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child could not prepare the file";
  }
  const std::size_t leftovers = folder.Entries().size();
  EXPECT_EQ(leftovers, 103U);  // the three killed captures' temporary files

  for (int i = 0; i < 3; ++i) {
    const std::string samples = "samples " + std::to_string(i);
    EXPECT_EQ(WriteFileReplacing(path, samples), std::nullopt) << i;
    EXPECT_EQ(ReadBytes(path), samples);
  }
  EXPECT_EQ(folder.Entries().size(), leftovers + 1);
}

TEST(SampleFileSafety, WhatIsNotAPlainFileIsRefusedAndLeftAlone) {
  TempFolder folder;
  const std::string pipe = folder.File("pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  fs::create_directories(folder.Path() / "folder");
  EXPECT_EQ(WriteFileReplacing(pipe, "samples"), Refusal(pipe, "it is not a regular file"));
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(WriteFileReplacing(folder.File("folder"), "samples"),
            Refusal(folder.File("folder"), "Is a directory"));
  EXPECT_EQ(folder.Entries(), (Names{"folder", "pipe"}));
}

// A folder the user may not create files in, holding files they may or may
// not write: the capture's check, then the save, as that user.
TEST(SampleFileSafety, AFolderThatTakesNoNewFileIsWrittenInPlaceWhereThatIsAllowed) {
  TempFolder folder;
  const fs::path locked = folder.Path() / "locked";
  fs::create_directories(locked);
  const std::string writable = (locked / "writable.dat").string();
  const std::string read_only = (locked / "read-only.dat").string();
  const std::string missing = (locked / "missing.dat").string();
  WriteBytes(writable, std::string(5000, 'w'));
  WriteBytes(read_only, "kept");
  kx::testing::GiveToUnprivileged(writable, 0640);
  kx::testing::GiveToUnprivileged(read_only, 0444);
  kx::testing::GiveToUnprivileged(locked, 0555);
  struct stat before {};
  ASSERT_EQ(::stat(writable.c_str(), &before), 0);

  const std::optional<std::string> answers = kx::testing::RunUnprivileged(locked, [&] {
    std::string told;
    for (const std::string& path : {writable, read_only, missing}) {
      SampleFileWriter writer(path);
      std::optional<std::string> failure = writer.Prepare();
      if (!failure) {
        told += writer.WritesInPlace() ? "in place;" : "replaced;";
        failure = writer.Save("new samples");
      }
      told += failure.value_or("saved") + "\n";
    }
    return told;
  });
  fs::permissions(locked, fs::perms::owner_all);  // for the temporary folder's removal
  if (!answers) {
    GTEST_SKIP() << "an unprivileged user cannot reach " << folder.Path();
  }
  EXPECT_EQ(*answers, "in place;saved\n" + Refusal(read_only, "the file is read-only") + "\n" +
                          Refusal(missing, "Permission denied") + "\n");
  struct stat after {};
  ASSERT_EQ(::stat(writable.c_str(), &after), 0);
  EXPECT_EQ(ReadBytes(writable), "new samples");
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640U);
  EXPECT_EQ(ReadBytes(read_only), "kept");
  EXPECT_FALSE(fs::exists(missing));
  std::vector<std::string> entries;
  for (const auto& entry : fs::directory_iterator(locked)) {
    entries.push_back(entry.path().filename().string());
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (Names{"read-only.dat", "writable.dat"}));
}

TEST(SampleFileSafety, AFileOfAnotherUserIsReadOnlyToThisOne) {
  // Write bits for its owner only: the access check, not the bits, refuses.
  if (::geteuid() != 0) {
    GTEST_SKIP() << "needs root to make a file of another user";
  }
  TempFolder folder;
  const std::string path = folder.File("root.dat");
  WriteBytes(path, "root's");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
  // A shared folder: anyone may create and rename files in it.
  fs::permissions(folder.Path(), fs::perms::all);
  const std::optional<std::string> told = kx::testing::RunUnprivileged(
      folder.Path(), [&] { return WriteFileReplacing(path, "nobody's").value_or("saved"); });
  if (!told) {
    GTEST_SKIP() << "an unprivileged user cannot reach " << folder.Path();
  }
  EXPECT_EQ(*told, Refusal(path, "the file is read-only"));
  EXPECT_EQ(ReadBytes(path), "root's");
}

#endif  // _WIN32

}  // namespace
}  // namespace kx::adc
