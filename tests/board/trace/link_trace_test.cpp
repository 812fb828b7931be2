#include "board/trace/link_trace.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/scripted_library.h"

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

}  // namespace
}  // namespace kx::board::trace
