#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/cvn_board_link.h"
#include "board/trace/link_trace.h"
#include "board/usb/usb_link_library.h"
#include "board/usb_board_io_link.h"
#include "emulated_usb_board.h"
#include "support/fake_operator.h"

namespace kx::testing {

// The folder that holds the board's own firmware image beside the tests.
inline std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

inline EmulatedBoardSetup WaitingBoard() {
  EmulatedBoardSetup setup;
  setup.firmware = KX_TEST_FIRMWARE;
  return setup;
}

inline EmulatedBoardSetup RunningBoard() {
  EmulatedBoardSetup setup = WaitingBoard();
  setup.starts_running = true;
  return setup;
}

// The emulated board on its bus, the libusb backend on top, each link
// library traced, and the panel's two links on the traced libraries. The
// board is declared first so that libusb is gone before its bus is.
struct UsbRig {
  explicit UsbRig(EmulatedBoardSetup setup = WaitingBoard(), board::usb::UsbOptions options = {},
                  std::string folder = FirmwareFolder());

  std::vector<std::string> TraceLines() const;
  std::string LastTraceLine() const;

  EmulatedUsbBoard board;
  FakeOperator port;
  std::unique_ptr<board::usb::UsbLinkLibrary> library;
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{*library, sink};
  board::trace::TracingUsbBoardIo io{*library, sink};
  board::CvnBoardLink version2;
  board::UsbBoardIoLink classic;
};

// Every test of the backend: refuses to run outside umockdev, where libusb
// would reach the machine's real USB devices.
class UsbBackendTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

// The bytes of an Intel HEX file's data records by address, decoded here
// without the project's parser (record types 00 and 04 only).
std::map<std::uint32_t, std::uint8_t> DataRecordBytes(const std::string& path);

// What the board's loader was asked to write, by address, leaving out the
// CPU control register.
std::map<std::uint32_t, std::uint8_t> LoaderWrites(const std::vector<ControlRecord>& records);

// The records a given appearance of the board saw.
std::vector<ControlRecord> SeenBy(const std::vector<ControlRecord>& records, int device_number);

// A firmware folder of the test's own, removed at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // Writes the firmware file under the name the panel looks for.
  void WriteFirmware(const std::string& text) const;

 private:
  std::filesystem::path path_;
};

}  // namespace kx::testing
