#include "board/trace/link_trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "support/scripted_library.h"
#include "support/temp_folder.h"

namespace kx::board::trace {
namespace {

using testing::ScriptedLibrary;

TEST(CvnTrace, OneLinePerCallInCallOrder) {
  ScriptedLibrary library;
  library.reply = {0x34, 0x12, 0x00};
  std::ostringstream out;
  TraceSink sink(out);
  TracingCvnCyusbUsb4 tracer(library, sink);

  BoardList list{};
  std::int32_t number = 0;
  std::int32_t handle = 0;
  tracer.Search_For_Boards(0x1234, 0x5678, number, list);
  tracer.Connect(0x1234, 0x5678, list[0], handle);
  tracer.Download_Firmware(handle, "/opt/kx 7312/KX7312FW.hex");
  std::uint8_t none = 0;
  tracer.Vendor_Request(handle, 0xD9, 0x0001, 2048, 0, 0, &none);
  std::uint8_t reply[3] = {1, 1, 1};
  library.request_status = -4;
  tracer.Vendor_Request(handle, 0xE4, 0x8390, -1, 1, 3, reply);

  EXPECT_EQ(out.str(),
            "search vendor=0x1234 product=0x5678 found=1\n"
            "connect vendor=0x1234 product=0x5678 board=1 handle=7\n"
            "download handle=7 status=0 path=/opt/kx 7312/KX7312FW.hex\n"
            "request handle=7 code=0xD9 value=0x0001 index=2048 dir=0 len=0 status=0\n"
            "request handle=7 code=0xE4 value=0x8390 index=-1 dir=1 len=3 status=-4 "
            "data=341200\n");
}

TEST(CvnTrace, PassesArgumentsAndResultsThroughUnchanged) {
  ScriptedLibrary library;
  library.download_status = 9;
  library.reply = {0xAB, 0xCD, 0xEF};
  std::ostringstream out;
  TraceSink sink(out);
  TracingCvnCyusbUsb4 tracer(library, sink);
  EXPECT_EQ(tracer.Download_Firmware(1, "/x"), 9);
  std::uint8_t reply[3] = {};
  tracer.Vendor_Request(1, 0xE4, 0, 0, 1, 3, reply);
  EXPECT_EQ(reply[0], 0xAB);
  EXPECT_EQ(reply[2], 0xEF);
  ASSERT_EQ(library.paths.size(), 1U);
  EXPECT_EQ(library.paths[0], "/x");
}

TEST(UsbBoardIoTrace, LinesCarryNoHandle) {
  ScriptedLibrary library;
  library.download_status = -1;
  library.reply = {0x0A, 0x00, 0x00};
  std::ostringstream out;
  TraceSink sink(out);
  TracingUsbBoardIo tracer(library, sink);

  EXPECT_EQ(tracer.LoadFirmWare("C:\\\\KX7312FW.hex"), -1);
  std::uint8_t none = 0;
  tracer.VendorIORequest(0xDE, 0, 0, 0, 0, &none);
  std::uint8_t reply[3] = {1, 1, 1};
  tracer.VendorIORequest(0xE4, 0xFFFF, 0, 1, 3, reply);

  EXPECT_EQ(out.str(),
            "loadfirmware status=-1 path=C:\\\\KX7312FW.hex\n"
            "request code=0xDE value=0x0000 index=0 dir=0 len=0 status=0\n"
            "request code=0xE4 value=0xFFFF index=0 dir=1 len=3 status=0 data=0A0000\n");
}

TEST(TraceSink, AFailedStreamIsNotedAndNeverThrows) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  TraceSink sink(out);
  sink.WriteLine("request code=0xDE");
  EXPECT_TRUE(sink.Failed());
  sink.WriteLine("request code=0xDE");
  EXPECT_TRUE(sink.Failed());

  std::ostringstream good;
  TraceSink fine(good);
  fine.WriteLine("a");
  EXPECT_FALSE(fine.Failed());
  EXPECT_EQ(good.str(), "a\n");
}

// Takes the first `accept` bytes it is given, fails, then takes `after`
// bytes more; remembers what it holds, as a file would.
class FillingWriter final : public TraceWriter {
 public:
  FillingWriter(std::size_t accept, bool can_unwrite, std::size_t after)
      : left_(accept), can_unwrite_(can_unwrite), after_(after) {}

  Written Write(std::string_view bytes) override {
    const std::size_t count = std::min(left_, bytes.size());
    held += bytes.substr(0, count);
    left_ -= count;
    if (count < bytes.size()) {
      left_ = std::exchange(after_, 0);
      return {count, "No space left on device"};
    }
    return {count, ""};
  }
  bool Unwrite(std::size_t count) override {
    if (!can_unwrite_) {
      return false;
    }
    held.resize(held.size() - count);
    return true;
  }

  std::string held;

 private:
  std::size_t left_;
  bool can_unwrite_;
  std::size_t after_;
};

// However the output fills up, it holds whole lines only, and the program
// hears of it once.
TEST(TraceSink, AFailedWriteLeavesNoCutLineAndIsReportedOnce) {
  struct Case {
    const char* what;
    std::size_t accept;
    bool can_unwrite;
    std::size_t after;  // what the output takes once it has failed
    std::string held;
  };
  // Lines of 5 bytes with their line end.
  for (const Case& c : {
           Case{"mid-line, taken back", 7, true, 0, "aaaa\n"},
           Case{"mid-line, ended where it cannot be taken back", 7, false, 1, "aaaa\nbb\n"},
           Case{"at a line end", 10, true, 0, "aaaa\nbbbb\n"},
           Case{"before the line end", 9, true, 0, "aaaa\n"},
           Case{"nothing at all", 0, false, 5, ""},
       }) {
    SCOPED_TRACE(c.what);
    FillingWriter writer(c.accept, c.can_unwrite, c.after);
    TraceSink sink(writer);
    std::vector<std::string> reports;
    sink.OnFailure([&reports](const std::string& problem) { reports.push_back(problem); });
    for (const char* line : {"aaaa", "bbbb", "cccc", "dddd"}) {
      sink.WriteLine(line);
    }
    EXPECT_EQ(writer.held, c.held);
    EXPECT_TRUE(sink.Failed());
    EXPECT_EQ(sink.Problem(), "No space left on device");
    EXPECT_EQ(reports, std::vector<std::string>{"No space left on device"});
  }
}

TEST(FileTraceWriter, AppendsAndSaysWhyItCannotOpen) {
  testing::TempFolder folder;
  const std::string path = folder.File("trace.txt");
  testing::WriteBytes(path, "earlier\n");
  {
    auto opened = FileTraceWriter::Open(path);
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileTraceWriter>>(opened));
    TraceSink sink(*std::get<std::unique_ptr<FileTraceWriter>>(opened));
    sink.WriteLine("request code=0xDE");
    EXPECT_FALSE(sink.Failed());
    // Each line is on disk as soon as it is written.
    EXPECT_EQ(testing::ReadBytes(path), "earlier\nrequest code=0xDE\n");
  }
  auto missing = FileTraceWriter::Open(folder.File("no-folder/trace.txt"));
  ASSERT_TRUE(std::holds_alternative<std::string>(missing));
  EXPECT_EQ(std::get<std::string>(missing), std::generic_category().message(ENOENT));
}

#ifndef _WIN32

TEST(FileTraceWriter, AFullDeviceFailsTheFirstLine) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  auto opened = FileTraceWriter::Open("/dev/full");
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileTraceWriter>>(opened));
  TraceSink sink(*std::get<std::unique_ptr<FileTraceWriter>>(opened));
  int reports = 0;
  sink.OnFailure([&reports](const std::string&) { ++reports; });
  ScriptedLibrary library;
  TracingUsbBoardIo tracer(library, sink);
  std::uint8_t reply[3] = {1, 1, 1};
  for (int i = 0; i < 3; ++i) {
    // The link is not held up by its trace.
    EXPECT_EQ(tracer.VendorIORequest(0xE4, 0x8300, 0, 1, 3, reply), 0);
  }
  EXPECT_TRUE(sink.Failed());
  EXPECT_EQ(sink.Problem(), std::generic_category().message(ENOSPC));
  EXPECT_EQ(reports, 1);
}

// A file that reaches its size limit part-way through a line: the part is
// taken back. The limit applies to the whole process, so a child runs it.
TEST(FileTraceWriter, ALineCutByAFullFileIsTakenBack) {
  testing::TempFolder folder;
  const std::string path = folder.File("trace.txt");
  const std::string line(29, 'x');  // 30 bytes with its line end
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The file takes 100 bytes: three whole lines and a third of the fourth.
    const rlimit limit{100, 100};
    ::signal(SIGXFSZ, SIG_IGN);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      std::_Exit(3);
    }
    auto opened = FileTraceWriter::Open(path);
    if (!std::holds_alternative<std::unique_ptr<FileTraceWriter>>(opened)) {
      std::_Exit(4);
    }
    TraceSink sink(*std::get<std::unique_ptr<FileTraceWriter>>(opened));
    for (int i = 0; i < 6; ++i) {
      sink.WriteLine(line);
    }
    std::_Exit(sink.Failed() ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(testing::ReadBytes(path), line + "\n" + line + "\n" + line + "\n");
}

#endif

}  // namespace
}  // namespace kx::board::trace
