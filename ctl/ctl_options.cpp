#include "ctl/ctl_options.h"

#include <CLI/CLI.hpp>

#include "board/backend/link_options.h"
#include "board/command_line.h"
#include "ctl/exit_status.h"

namespace kx::ctl {

namespace {

constexpr const char* kCommands = R"(Commands (CH: channel 0-15; CODE, WORD: hex, 0x optional):
  dac load CH=CODE ... [--update] [--no-pulse]
  dac write low|high WORD
  dac power-down low|high normal|1k|100k|three-state [CH ...]
  dac ldac-register low|high [CH ...]
  dac reference low|high internal|external
  dac clear-code low|high 0x0000|0x0800|0x0FFF
  line clr-high|clr-low|ldac-high|ldac-low|pulse-ldac
  adc configure [--range 2xvref|vref] [--weak] [--coding twos|binary]
  adc read [--reference VOLTS] [--format hex|dec|volts]
  adc write WORD
  adc capture FILE
  adc capture-channel0 FILE
  adc log FILE --every INTERVAL [--for DURATION] [--channels LIST]
          [--average N] [--reference VOLTS] [--overwrite] [--quiet]
                         the data logger: a CSV row per INTERVAL (0.5, 100ms,
                         1s, 5m) until DURATION (10h, 2d) or SIGINT/SIGTERM
  script FILE|-          one command per line, # comments
  serve [--listen ADDR:PORT] [--log-folder DIR] [--max-clients N]
                         the board as a SCPI instrument on the network (default
                         127.0.0.1:5025; ADDR may be a host name) until SIGINT
                         or SIGTERM, at most N clients at once (default 64);
                         LOG:STARt writes its files into DIR (default: the
                         working folder)

One start-up per call, then the commands in order; several may follow one
another on the command line. Exit status: 0 success, 1 the board, the link
or a capture file failed (the tool stops at the first failure), 2 bad usage
or input (nothing is sent).
)";

}  // namespace

ParsedCtlOptions ParseCtlOptions(const std::vector<std::string>& args) {
  CLI::App app{
      "kx7312ctl: every panel operation of the KX7312 evaluation board from the command "
      "line",
      "kx7312ctl"};
  app.prefix_command();
  app.footer(kCommands);

  const board::ProgramIdentity program{"kx7312ctl", CtlVersion, "Run with --help for the usage."};
  CtlOptions options;
  std::string edition = "version2";
  board::AddVersionFlag(app, program);
  app.add_option("--edition", edition,
                 "version2 (default) or classic: the link library, reply decoding and ADC word "
                 "rules of KX7312(version2) or KX7312")
      ->check(CLI::IsMember({"version2", "classic"}));
  const board::LinkOptionReader link(app);
  app.add_flag("--json", options.json, "One JSON object per command instead of plain lines");

  ParsedCtlOptions parsed;
  if (const auto stop = board::ParseCommandLine(app, args, program)) {
    parsed.exit_code = stop->exit_code;
    parsed.text = stop->text;
    parsed.text_is_error = stop->text_is_error;
    return parsed;
  }

  options.edition = edition == "classic" ? &ClassicEdition : &Version2Edition;
  link.Apply(options.link);
  options.words = app.remaining();
  if (!options.words.empty() && options.words.front() == "--") {
    options.words.erase(options.words.begin());
  }
  if (options.words.empty()) {
    parsed.exit_code = ExitUsage;
    parsed.text_is_error = true;
    parsed.text = "kx7312ctl: no command given\nRun with --help for the usage.\n";
    return parsed;
  }
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace kx::ctl
