#pragma once

#include <optional>
#include <string>

// The reader declares its options on a CLI11 app; only the files that parse
// a command line need CLI11's headers, which take seconds to compile.
namespace CLI {
class App;
}

namespace kx::board {

// How a program reaches its board. Without any of them a program behaves as
// the original did: the board's link library, no trace.
struct LinkOptions {
  bool simulate = false;
  std::optional<std::string> sim_settings;
  std::optional<std::string> trace;
  std::optional<std::string> usb_id;
  std::optional<std::string> usb_loader_id;
  std::optional<std::string> usb_bus;
  std::optional<std::string> usb_serial;
  std::optional<std::string> board_name;
};

// The options that choose the board and watch its link: --simulate,
// --sim-settings, --trace and the USB options. The panel programs and
// kx7312ctl declare them alike, so both accept the same words.
class LinkOptionReader {
 public:
  // Declares the options on `app`, which keeps pointers into this reader:
  // the reader must outlive the parse.
  explicit LinkOptionReader(CLI::App& app);
  LinkOptionReader(const LinkOptionReader&) = delete;
  LinkOptionReader& operator=(const LinkOptionReader&) = delete;

  // After a successful parse: the options given, into `options`.
  void Apply(LinkOptions& options) const;

 private:
  // CLI11 fills the optional texts only for the options given.
  LinkOptions given_;
};

}  // namespace kx::board
