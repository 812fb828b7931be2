#include "ctl_rig.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "ctl/run_ctl.h"
#include "ctl/script.h"
#include "support/config_home.h"
#include "support/trace_requests.h"

namespace kx::ctl::testing {

namespace {

// Requests of a start-up: the post-boot request and the four ADC words.
constexpr std::size_t kStartUpRequests = 5;

}  // namespace

std::string RequestText(std::uint8_t code, std::uint32_t word) {
  return fmt::format("0x{:02X} 0x{:08X}", code, word);
}

CtlRig::CtlRig(const Edition& edition_, board::sim::SimSettings settings)
    : edition(edition_), board(std::move(settings)) {
  kx::testing::PrivateConfigHome();
}

int CtlRig::Run(const std::string& command_line, bool json, const std::string& input) {
  std::istringstream words_in(command_line);
  const std::vector<std::string> words{std::istream_iterator<std::string>(words_in),
                                       std::istream_iterator<std::string>()};
  std::istringstream standard_input(input);
  const CommandList list = ReadCommands(words, edition, standard_input);
  if (!list.error.empty()) {
    out.clear();
    err = list.error;
    trace_start_ = trace_.str().size();
    return ExitUsage;
  }
  return Run(list.commands, json);
}

int CtlRig::Run(const std::vector<Command>& commands, bool json) {
  return Run(CommandSequence(commands), json);
}

int CtlRig::Run(const CommandSequence& commands, bool json) {
  trace_start_ = trace_.str().size();
  std::ostringstream out_stream;
  std::ostringstream err_stream;
  LinkSetup link{{&cvn_, &io_}, port_, FirmwareFolder(), {}, log_clock};
  const int status = RunCommands(edition, link, commands, json, out_stream, err_stream);
  out = out_stream.str();
  err = err_stream.str();
  return status;
}

std::vector<std::string> CtlRig::TraceLines() const {
  return SplitLines(trace_.str().substr(trace_start_));
}

std::vector<std::string> CtlRig::Requests() const {
  std::vector<std::string> requests;
  for (const std::string& line : TraceLines()) {
    if (const auto request = kx::testing::RequestOfLine(line)) {
      requests.push_back(RequestText(static_cast<std::uint8_t>(request->code), request->word));
    }
  }
  requests.erase(requests.begin(), requests.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                          kStartUpRequests, requests.size())));
  return requests;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return lines;
}

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

}  // namespace kx::ctl::testing
