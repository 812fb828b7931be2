#include "board/trace/link_trace.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx::board::trace {

namespace {

// The few calls on a file descriptor that differ between the platforms.
#ifdef _WIN32

int OpenForAppending(const std::string& path) {
  return ::_open(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
}

long long WriteSome(int descriptor, const char* data, std::size_t size) {
  return ::_write(descriptor, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}

bool Shorten(int descriptor, std::size_t count) {
  struct _stat64 status {};
  if (::_fstat64(descriptor, &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG ||
      status.st_size < static_cast<long long>(count)) {
    return false;
  }
  return ::_chsize_s(descriptor, status.st_size - static_cast<long long>(count)) == 0;
}

void CloseDescriptor(int descriptor) {
  ::_close(descriptor);
}

#else

int OpenForAppending(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
}

long long WriteSome(int descriptor, const char* data, std::size_t size) {
  while (true) {
    const ssize_t written = ::write(descriptor, data, size);
    if (written >= 0 || errno != EINTR) {
      return written;
    }
  }
}

bool Shorten(int descriptor, std::size_t count) {
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size < static_cast<off_t>(count)) {
    return false;
  }
  return ::ftruncate(descriptor, status.st_size - static_cast<off_t>(count)) == 0;
}

void CloseDescriptor(int descriptor) {
  ::close(descriptor);
}

#endif

std::string ErrnoText(int error) {
  return std::generic_category().message(error);
}

// The request fields common to both libraries, from "code=" to "status=",
// then the buffer as it stands after the call when data came in.
std::string RequestFields(unsigned code, std::int32_t value, std::int32_t index, int direction,
                          int length, const std::uint8_t* buffer, std::int16_t status) {
  std::string line =
      fmt::format("code=0x{:02X} value=0x{:04X} index={} dir={} len={} status={}", code,
                  static_cast<std::uint32_t>(value), index, direction, length, status);
  if (direction == 1) {
    line += " data=";
    if (buffer != nullptr) {
      for (int i = 0; i < length; ++i) {
        line += fmt::format("{:02X}", buffer[i]);
      }
    }
  }
  return line;
}

// The fields of request `n` of a batch, after the batch.
// A write's line is the single request's: direction 0, length 0, no data.
template <typename Code>
std::string BatchRequestFields(const InBatch& batch, std::size_t n) {
  const BatchRequest request = RequestOf(batch, n);
  return RequestFields(
      static_cast<Code>(request.code), batch.fields[n].value, batch.fields[n].index,
      request.reads ? 1 : 0, request.reads ? batch.length : 0,
      batch.replies.data() + n * static_cast<std::size_t>(batch.length), batch.statuses[n]);
}

std::string PathText(const char* path) {
  return path == nullptr ? std::string() : path;
}

}  // namespace

std::variant<std::unique_ptr<FileTraceWriter>, std::string> FileTraceWriter::Open(
    const std::string& path) {
  const int descriptor = OpenForAppending(path);
  if (descriptor < 0) {
    return ErrnoText(errno);
  }
  return std::unique_ptr<FileTraceWriter>(new FileTraceWriter(descriptor));
}

FileTraceWriter::~FileTraceWriter() {
  CloseDescriptor(descriptor_);
}

TraceWriter::Written FileTraceWriter::Write(std::string_view bytes) {
  Written written;
  while (written.count < bytes.size()) {
    const long long count =
        WriteSome(descriptor_, bytes.data() + written.count, bytes.size() - written.count);
    if (count < 0) {
      written.error = ErrnoText(errno);
      return written;
    }
    if (count == 0) {
      written.error = "the file took no more bytes";
      return written;
    }
    written.count += static_cast<std::size_t>(count);
  }
  return written;
}

bool FileTraceWriter::Unwrite(std::size_t count) {
  return Shorten(descriptor_, count);
}

TraceWriter::Written StreamTraceWriter::Write(std::string_view bytes) {
  out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out_.flush();
  if (!out_) {
    return {0, "the stream could not be written"};
  }
  return {bytes.size(), {}};
}

void TraceSink::WriteLine(std::string_view line) {
  if (failed_) {
    return;
  }
  std::string bytes;
  bytes.reserve(line.size() + 1);
  bytes.append(line);
  bytes.push_back('\n');
  const TraceWriter::Written written = out_.Write(bytes);
  if (written.error.empty()) {
    return;
  }
  failed_ = true;
  problem_ = written.error;
  if (written.count > 0 && written.count < bytes.size() && !out_.Unwrite(written.count)) {
    // Where the part cannot be taken back, at least end it; if even that
    // fails, nothing more can be done about it.
    out_.Write("\n");
  }
  if (report_) {
    report_(problem_);
  }
}

std::int16_t TracingCvnCyusbUsb4::Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                                    std::int32_t& number, BoardList& list) {
  const std::int16_t result = Inner::Search_For_Boards(vendor, product, number, list);
  sink_.WriteLine(fmt::format("search vendor=0x{:04X} product=0x{:04X} found={}",
                              static_cast<std::uint32_t>(vendor),
                              static_cast<std::uint32_t>(product), list[0]));
  return result;
}

std::int16_t TracingCvnCyusbUsb4::Connect(std::int32_t vendor, std::int32_t product,
                                          std::int32_t board, std::int32_t& handle) {
  const std::int16_t result = Inner::Connect(vendor, product, board, handle);
  sink_.WriteLine(fmt::format("connect vendor=0x{:04X} product=0x{:04X} board={} handle={}",
                              static_cast<std::uint32_t>(vendor),
                              static_cast<std::uint32_t>(product), board, handle));
  return result;
}

std::int16_t TracingCvnCyusbUsb4::Download_Firmware(std::int32_t handle, const char* path) {
  const std::int16_t status = Inner::Download_Firmware(handle, path);
  sink_.WriteLine(
      fmt::format("download handle={} status={} path={}", handle, status, PathText(path)));
  return status;
}

std::int16_t TracingCvnCyusbUsb4::Vendor_Request(std::int32_t handle, std::uint8_t request,
                                                 std::int32_t value, std::int32_t index,
                                                 std::uint8_t direction, std::int32_t length,
                                                 std::uint8_t* buffer) {
  const std::int16_t status =
      Inner::Vendor_Request(handle, request, value, index, direction, length, buffer);
  sink_.WriteLine(
      fmt::format("request handle={} {}", handle,
                  RequestFields(request, value, index, direction, length, buffer, status)));
  return status;
}

std::size_t TracingCvnCyusbUsb4::Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) {
  const std::size_t made = Inner::Vendor_Request_Batch(handle, batch);
  for (std::size_t n = 0; n < made; ++n) {
    sink_.WriteLine(
        fmt::format("request handle={} {}", handle, BatchRequestFields<std::uint8_t>(batch, n)));
  }
  return made;
}

std::int16_t TracingUsbBoardIo::LoadFirmWare(const char* path) {
  const std::int16_t status = Inner::LoadFirmWare(path);
  sink_.WriteLine(fmt::format("loadfirmware status={} path={}", status, PathText(path)));
  return status;
}

std::int16_t TracingUsbBoardIo::VendorIORequest(std::int16_t request, std::int32_t value,
                                                std::int32_t index, std::int16_t direction,
                                                std::int16_t length, std::uint8_t* buffer) {
  const std::int16_t status =
      Inner::VendorIORequest(request, value, index, direction, length, buffer);
  sink_.WriteLine("request " + RequestFields(static_cast<std::uint16_t>(request), value, index,
                                             direction, length, buffer, status));
  return status;
}

std::size_t TracingUsbBoardIo::VendorIORequestBatch(const InBatch& batch) {
  const std::size_t made = Inner::VendorIORequestBatch(batch);
  for (std::size_t n = 0; n < made; ++n) {
    sink_.WriteLine("request " + BatchRequestFields<std::uint16_t>(batch, n));
  }
  return made;
}

}  // namespace kx::board::trace
