#include "view/view_options.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string_view>

#include "board/command_line.h"
#include "board/number_text.h"

namespace kx::view {
namespace {

constexpr double kLowestReference = 0.001;
constexpr double kHighestReference = 5.0;

// Qt's own options, which it takes out of the arguments when the window
// opens; the command line is read before that, without a display.
const std::set<std::string, std::less<>> kQtOptionsWithValue = {"display",
                                                                "geometry",
                                                                "name",
                                                                "platform",
                                                                "platformpluginpath",
                                                                "platformtheme",
                                                                "plugin",
                                                                "qwindowgeometry",
                                                                "qwindowicon",
                                                                "qwindowtitle",
                                                                "session",
                                                                "style",
                                                                "stylesheet",
                                                                "title",
                                                                "visual"};
const std::set<std::string, std::less<>> kQtFlags = {"reverse", "widgetcount", "nograb", "dograb",
                                                     "sync"};

}  // namespace

std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args) {
  std::vector<std::string> kept;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view word = args[i];
    // Qt reads -name and --name alike, and -name=value for some.
    if (!word.starts_with('-') || word == "-" || word == "--") {
      kept.push_back(args[i]);
      continue;
    }
    word.remove_prefix(word.starts_with("--") ? 2 : 1);
    const std::string_view name = word.substr(0, word.find('='));
    if (kQtFlags.contains(name) || name == "qmljsdebugger" ||
        (kQtOptionsWithValue.contains(name) && name.size() < word.size())) {
      continue;
    }
    if (kQtOptionsWithValue.contains(name)) {
      ++i;  // and its value
      continue;
    }
    kept.push_back(args[i]);
  }
  return kept;
}

ParsedViewOptions ParseViewOptions(const std::vector<std::string>& args) {
  CLI::App app{
      "Shows a capture file of the KX7312 panel (samples, histograms, statistics and "
      "the spectrum), a data log of kx7312ctl (the channels against time, statistics) or a "
      "linearity result of kx7312ctl (DNL and INL against code and their figures).",
      "kx7312-view"};
  const board::ProgramIdentity program{"kx7312-view", "1.05", ""};
  board::AddVersionFlag(app, program);
  ViewOptions options;
  std::string range;
  std::string coding;
  std::string window;
  double reference = 0.0;
  app.add_option("FILE", options.file,
                 "a capture file (all channels or channel 0), a data log, or the --out FILE of "
                 "adc histogram or dac sweep");
  app.add_flag("--follow", options.follow,
               "reload the file whenever it is replaced; read a log on as it grows");
  app.add_flag("--report", options.report,
               "print the statistics and the spectrum figures (a linearity result's "
               "figures), open no window");
  app.add_flag("--json", options.json, "with --report: one JSON object instead of text");
  app.add_option("--channel", options.channel, "with --report: the channel of the spectrum")
      ->check(CLI::Range(0, 15));
  app.add_option("--range", range, "the Range of the capture when no metadata says")
      ->check(CLI::IsMember({"2xvref", "vref"}));
  app.add_option("--coding", coding, "the Coding of the capture when no metadata says")
      ->check(CLI::IsMember({"twos", "binary"}));
  // CLI11's range lets NaN through (no comparison with it is true).
  const CLI::Validator finite(
      [](const std::string& text) {
        const std::optional<double> volts = board::FiniteNumberText(text);
        return volts && *volts >= kLowestReference && *volts <= kHighestReference
                   ? std::string{}
                   : fmt::format("{} is not a number of volts from {:g} to {:g}", text,
                                 kLowestReference, kHighestReference);
      },
      "VOLTS");
  auto* reference_option =
      app.add_option("--reference", reference, "the ADC reference in volts (0.001 to 5)")
          ->check(finite);
  app.add_option("--window", window,
                 "spectrum window: blackman-harris (default), hann, rectangular")
      ->check(CLI::IsMember({"blackman-harris", "hann", "rectangular"}));
  app.add_option("--export", options.numpy,
                 "write FILE's codes, volts and times for NumPy to this .npy (a record per row) "
                 "or .npz (an array per figure), open no window");
  app.add_option("--screenshots", options.screenshots,
                 "save the views of FILE as PNG files in this folder (time, histogram and "
                 "spectrum of a capture, linearity of a result), then stop");

  // Words beyond FILE are named here, in the order they were given.
  app.allow_extras();

  ParsedViewOptions parsed;
  const auto fail = [&parsed](const std::string& text) {
    parsed.exit_code = board::CommandLineMistake;
    parsed.text = "kx7312-view: " + text + "\n";
    parsed.text_is_error = true;
    return parsed;
  };
  // One status for every mistake, as the manual page says.
  if (const auto stop = board::ParseCommandLine(app, args, program)) {
    parsed.exit_code = stop->exit_code;
    parsed.text = stop->text;
    parsed.text_is_error = stop->text_is_error;
    return parsed;
  }
  const std::vector<std::string> extras = app.remaining();
  if (const auto unknown = std::find_if(
          extras.begin(), extras.end(),
          [](const std::string& word) { return word.size() > 1 && word.front() == '-'; });
      unknown != extras.end()) {
    return fail(fmt::format("{} is not an option of kx7312-view (see --help)", *unknown));
  }
  if (!extras.empty()) {
    return fail(
        fmt::format("not expected: {} (one FILE at most; see --help)", fmt::join(extras, " ")));
  }
  if (options.report && options.file.empty()) {
    return fail("--report needs a FILE");
  }
  if (!options.screenshots.empty() && options.file.empty()) {
    return fail("--screenshots needs a FILE");
  }
  if (!options.numpy.empty()) {
    if (options.file.empty()) {
      return fail("--export needs a FILE");
    }
    if (!options.numpy.ends_with(".npy") && !options.numpy.ends_with(".npz")) {
      return fail(fmt::format("--export {}: the name must end in .npy or .npz", options.numpy));
    }
    if (options.report || options.follow || !options.screenshots.empty()) {
      return fail(
          "--export writes its file and stops: not with --report, --follow or --screenshots");
    }
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
