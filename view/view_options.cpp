#include "view/view_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>

namespace kx::view {

ParsedViewOptions ParseViewOptions(const std::vector<std::string>& args) {
  CLI::App app{
      "Shows a capture file of the KX7312 panel (samples, histograms, statistics and "
      "the spectrum) or a data log of kx7312ctl (the channels against time, statistics).",
      "kx7312-view"};
  app.set_version_flag("--version", "kx7312-view 1.05");
  ViewOptions options;
  std::string range;
  std::string coding;
  std::string window;
  double reference = 0.0;
  app.add_option("FILE", options.file, "a capture file (all channels or channel 0) or a data log");
  app.add_flag("--follow", options.follow,
               "reload the file whenever it is replaced; read a log on as it grows");
  app.add_flag("--report", options.report,
               "print the statistics and the spectrum figures, open no window");
  app.add_flag("--json", options.json, "with --report: one JSON object instead of text");
  app.add_option("--channel", options.channel, "with --report: the channel of the spectrum")
      ->check(CLI::Range(0, 15));
  app.add_option("--range", range, "the Range of the capture when no metadata says")
      ->check(CLI::IsMember({"2xvref", "vref"}));
  app.add_option("--coding", coding, "the Coding of the capture when no metadata says")
      ->check(CLI::IsMember({"twos", "binary"}));
  auto* reference_option =
      app.add_option("--reference", reference, "the ADC reference in volts (above 0, at most 5)")
          ->check(CLI::Range(0.001, 5.0));
  app.add_option("--window", window,
                 "spectrum window: blackman-harris (default), hann, rectangular")
      ->check(CLI::IsMember({"blackman-harris", "hann", "rectangular"}));
  app.add_option("--screenshots", options.screenshots,
                 "save the time, histogram and spectrum views of FILE as PNG files in this "
                 "folder, then stop");

  ParsedViewOptions parsed;
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    parsed.exit_code = e.get_exit_code();
    if (e.get_name() == "CallForHelp" || e.get_name() == "CallForAllHelp") {
      parsed.text = app.help();
    } else if (e.get_name() == "CallForVersion") {
      parsed.text = "kx7312-view 1.05\n";
    } else {
      parsed.text = std::string("kx7312-view: ") + e.what() + "\n";
      parsed.text_is_error = true;
    }
    return parsed;
  }
  const auto fail = [&parsed](const std::string& text) {
    parsed.exit_code = 2;
    parsed.text = "kx7312-view: " + text + "\n";
    parsed.text_is_error = true;
    return parsed;
  };
  if (options.report && options.file.empty()) {
    return fail("--report needs a FILE");
  }
  if (!options.screenshots.empty() && options.file.empty()) {
    return fail("--screenshots needs a FILE");
  }
  if (!options.report && (options.json || app.count("--channel") > 0)) {
    return fail("--json and --channel go with --report");
  }
  if (!range.empty()) {
    options.scale.half_span = range == "vref";
  }
  if (!coding.empty()) {
    options.scale.straight_binary = coding == "binary";
  }
  options.channel_given = app.count("--channel") > 0;
  if (reference_option->count() > 0) {
    options.scale.reference = reference;
  }
  if (!window.empty()) {
    options.window = *analysis::WindowFromName(window);
  }
  parsed.options = options;
  return parsed;
}

}  // namespace kx::view
