#include "support/trace_requests.h"

#include <sstream>

namespace kx::testing {

namespace {

// The number after `key=` in a trace line, or -1 when the line has none.
long Field(const std::string& line, const std::string& key, int base) {
  const std::size_t at = line.find(" " + key + "=");
  if (at == std::string::npos) {
    return -1;
  }
  return std::stol(line.substr(at + key.size() + 2), nullptr, base);
}

}  // namespace

std::optional<SentRequest> RequestOfLine(const std::string& line) {
  if (line.rfind("request ", 0) != 0) {
    return std::nullopt;
  }
  SentRequest r;
  r.code = static_cast<int>(Field(line, "code", 16));
  r.value = static_cast<int>(Field(line, "value", 16));
  r.index = static_cast<int>(Field(line, "index", 10));
  r.dir = static_cast<int>(Field(line, "dir", 10));
  r.len = static_cast<int>(Field(line, "len", 10));
  r.word = (static_cast<std::uint32_t>(r.index) << 16) | static_cast<std::uint32_t>(r.value);
  if (const std::size_t at = line.find(" data="); at != std::string::npos) {
    r.data = line.substr(at + 6);
  }
  return r;
}

std::vector<SentRequest> Requests(const std::vector<std::string>& trace_lines) {
  std::vector<SentRequest> requests;
  for (const std::string& line : trace_lines) {
    if (std::optional<SentRequest> request = RequestOfLine(line)) {
      requests.push_back(*request);
    }
  }
  return requests;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) {
      return parts;
    }
    start = end + 1;
  }
}

}  // namespace kx::testing
