#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>

#include "board/forwarding_library.h"

namespace kx::board::trace {

// Where the trace's bytes go.
class TraceWriter {
 public:
  struct Written {
    std::size_t count = 0;  // bytes that went out, also when some did not
    std::string error;      // why not all of them did; empty when they all did
  };

  virtual ~TraceWriter() = default;
  virtual Written Write(std::string_view bytes) = 0;
  // Takes back the last `count` bytes written, where the output allows it (a
  // regular file); false where it does not (a pipe, a device, a stream).
  virtual bool Unwrite(std::size_t count) = 0;
};

// Appends to a file, each Write going straight to the system, so that a
// trace survives a crash or a killed program up to the last call.
class FileTraceWriter final : public TraceWriter {
 public:
  // The writer, or why the file cannot be opened for appending (created
  // when it does not exist).
  static std::variant<std::unique_ptr<FileTraceWriter>, std::string> Open(const std::string& path);
  ~FileTraceWriter() override;
  FileTraceWriter(const FileTraceWriter&) = delete;
  FileTraceWriter& operator=(const FileTraceWriter&) = delete;

  Written Write(std::string_view bytes) override;
  bool Unwrite(std::size_t count) override;

 private:
  explicit FileTraceWriter(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};

// Writes to a stream, as tests and tools collect a trace in memory.
class StreamTraceWriter final : public TraceWriter {
 public:
  explicit StreamTraceWriter(std::ostream& out) : out_(out) {}
  Written Write(std::string_view bytes) override;
  bool Unwrite(std::size_t /*count*/) override { return false; }

 private:
  std::ostream& out_;
};

// One line per link call. A trace is a side matter to the link: a write that
// fails (a full disk, a closed pipe) never holds the link up. The sink then
// stops writing, takes back the part of the line that went out, or else
// ends it, so that no cut line ("request han") passes for a whole one, and
// tells the program once, so the operator learns that the trace is
// incomplete.
class TraceSink {
 public:
  explicit TraceSink(TraceWriter& out) : out_(out) {}
  explicit TraceSink(std::ostream& out)
      : owned_(std::make_unique<StreamTraceWriter>(out)), out_(*owned_) {}

  void WriteLine(std::string_view line);
  bool Failed() const { return failed_; }
  // Why the first failed write failed ("No space left on device"); empty
  // while none did.
  const std::string& Problem() const { return problem_; }
  // Called once, at the first failure, with Problem().
  void OnFailure(std::function<void(const std::string&)> report) { report_ = std::move(report); }

 private:
  std::unique_ptr<TraceWriter> owned_;
  TraceWriter& out_;
  bool failed_ = false;
  std::string problem_;
  std::function<void(const std::string&)> report_;
};

// Records every call of a CVN_CYUSB_USB4 library and passes it on unchanged:
//   search vendor=0x1234 product=0x7312 found=1
//   connect vendor=0x1234 product=0x7312 board=1 handle=1
//   download handle=1 status=0 path=/opt/kx7312/KX7312FW.hex
//   request handle=1 code=0xE4 value=0x8390 index=-1 dir=1 len=3 status=0 data=341200
class TracingCvnCyusbUsb4 final : public ForwardingCvnCyusbUsb4 {
 public:
  TracingCvnCyusbUsb4(CvnCyusbUsb4& inner, TraceSink& sink)
      : ForwardingCvnCyusbUsb4(&inner), sink_(sink) {}

  std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product, std::int32_t& number,
                                 BoardList& list) override;
  std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                       std::int32_t& handle) override;
  std::int16_t Download_Firmware(std::int32_t handle, const char* path) override;
  std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                              std::int32_t index, std::uint8_t direction, std::int32_t length,
                              std::uint8_t* buffer) override;
  // Passed on whole, so the library may queue it; then one request line per
  // request made, in order, as the single calls would have written them.
  std::size_t Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) override;

 private:
  using Inner = ForwardingCvnCyusbUsb4;
  TraceSink& sink_;
};

// The same for a UsbBoardIo library, whose lines carry no handle:
//   loadfirmware status=0 path=/opt/kx7312/KX7312FW.hex
//   request code=0xD9 value=0x0001 index=2048 dir=0 len=0 status=0
class TracingUsbBoardIo final : public ForwardingUsbBoardIo {
 public:
  TracingUsbBoardIo(UsbBoardIo& inner, TraceSink& sink)
      : ForwardingUsbBoardIo(&inner), sink_(sink) {}

  std::int16_t LoadFirmWare(const char* path) override;
  std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                               std::int16_t direction, std::int16_t length,
                               std::uint8_t* buffer) override;
  std::size_t VendorIORequestBatch(const InBatch& batch) override;

 private:
  using Inner = ForwardingUsbBoardIo;
  TraceSink& sink_;
};

}  // namespace kx::board::trace
