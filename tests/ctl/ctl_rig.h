#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/cvn_cyusb_usb4.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io.h"
#include "ctl/command.h"
#include "ctl/console_port.h"
#include "programs/edition.h"

namespace kx::ctl::testing {

inline constexpr std::int16_t CutOffStatus = -5;

// Passes every call on until `answers_left` vendor requests have been made;
// after that each request fails with CutOffStatus and leaves the buffer as it
// was, like a board pulled off the cable.
class CutOff final : public board::CvnCyusbUsb4, public board::UsbBoardIo {
 public:
  CutOff(board::CvnCyusbUsb4& cvn, board::UsbBoardIo& io) : cvn_(cvn), io_(io) {}

  std::optional<int> answers_left;  // none: never cut off
  int requests_failed = 0;

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 board::BoardList& list) override {
    return cvn_.Search_For_Boards(vendor, product, number, list);
  }
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override {
    return cvn_.Connect(vendor, product, board, handle);
  }
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override {
    return cvn_.Download_Firmware(handle, path);
  }
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override {
    return CutNow() ? Failed()
                    : cvn_.Vendor_Request(handle, request, value, index, direction, length, buffer);
  }
  std::int16_t LoadFirmWare(const char* path) override { return io_.LoadFirmWare(path); }
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override {
    return CutNow() ? Failed()
                    : io_.VendorIORequest(request, value, index, direction, length, buffer);
  }

 private:
  bool CutNow();
  std::int16_t Failed() {
    ++requests_failed;
    return CutOffStatus;
  }
  board::CvnCyusbUsb4& cvn_;
  board::UsbBoardIo& io_;
};

// One vendor request read back from the trace: "0xD9 0x0001FF00".
std::string RequestText(std::uint8_t code, std::uint32_t word);

// The tool's commands, run in this process on the simulated board behind the
// link library of the edition, every call traced. Each Run is one call of the
// tool with its own start-up; the board stays as the calls leave it.
class CtlRig {
 public:
  explicit CtlRig(const Edition& edition = Version2Edition, board::sim::SimSettings settings = {});

  // The words of `command_line` split at blanks, `input` as standard input.
  // Returns the exit status; `out` and `err` hold what the call printed.
  int Run(const std::string& command_line, bool json = false, const std::string& input = "");
  // Commands made by hand, past the checks of the parser.
  int Run(const std::vector<Command>& commands, bool json = false);

  // The requests of the last call after its start-up (0xE0 and the four ADC
  // words), as RequestText gives them.
  std::vector<std::string> Requests() const;
  // Every trace line of the last call.
  std::vector<std::string> TraceLines() const;

  const Edition& edition;
  board::sim::SimBoard board;
  CutOff cut_off{board.Cvn(), board.Io()};
  std::string out;
  std::string err;

 private:
  std::ostringstream trace_;
  board::trace::TraceSink sink_{trace_};
  board::trace::TracingCvnCyusbUsb4 cvn_{cut_off, sink_};
  board::trace::TracingUsbBoardIo io_{cut_off, sink_};
  ConsolePort port_;
  std::size_t trace_start_ = 0;
};

// Settings of an absent board: nothing answers.
board::sim::SimSettings AbsentBoard();

// A folder of its own under the system's temporary folder, removed with
// everything in it when the test ends.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::vector<std::string> SplitLines(const std::string& text);

// The folder of the firmware image the simulated board accepts.
std::string FirmwareFolder();

}  // namespace kx::ctl::testing
