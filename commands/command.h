#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "analysis/linearity/code_density.h"
#include "analysis/spectrum.h"
#include "board/line_correction.h"
#include "session/calibration.h"
#include "session/setup.h"

namespace kx::commands {

// Where a command was written: on the command line (line 0) or on a line of a
// script, so that every message can point at it.
struct Source {
  std::string name;  // the script's path, "<stdin>" for "script -"; empty: the command line
  int line = 0;
};

// "command line", "run.txt:12".
std::string SourceText(const Source& source);

// The two DAC groups by the index the panel's per-group controls use.
inline constexpr int LowGroup = 0;   // DAC0 to DAC7
inline constexpr int HighGroup = 1;  // DAC8 to DAC15

struct ChannelCode {
  int channel;  // 0 to 15
  std::uint16_t code;
  // An entry in volts: its code is worked out when the load runs, from the
  // group's reference of that moment, and `code` is unused until then.
  std::optional<double> volts = std::nullopt;
};

// dac load CH=CODE|CH=VOLTS ... [--update] [--no-pulse] [--calibration FILE|auto|none]
struct DacLoad {
  bool update = false;  // "Update DAC Register" instead of "Load Input Register"
  bool pulse = true;    // the automatic LDAC pulse after the sixteen words
  std::vector<ChannelCode> codes;
  // What the entries in volts are converted through; read only where there is one.
  session::CalibrationChoice calibration = {};
};

// dac write low|high WORD
struct DacWrite {
  int group;
  std::string text;  // as typed: the raw write reads it as the panel's Text1
  std::int32_t word;
};

// dac power-down low|high MODE [CH ...]
struct DacPowerDown {
  int group;
  int mode;                   // 0 normal, 1 1k, 2 100k, 3 three-state: the list index
  std::vector<int> channels;  // channel numbers of the group
};

// dac ldac-register low|high [CH ...]
struct DacLdacRegister {
  int group;
  std::vector<int> channels;
};

// dac reference low|high internal|external
struct DacReference {
  int group;
  bool internal;
};

// dac clear-code low|high 0x0000|0x0800|0x0FFF
struct DacClearCode {
  int group;
  int select;  // the list index: 0 for 0x0000, 1 for 0x0800, 2 for 0x0FFF
};

enum class Line { ClrHigh, ClrLow, LdacHigh, LdacLow, PulseLdac };

// line clr-high|clr-low|ldac-high|ldac-low|pulse-ldac
struct LineRequest {
  Line line;
};

// adc configure [--range 2xvref|vref] [--weak] [--coding twos|binary]: every
// list is set, an option left out takes the list's first entry.
struct AdcConfigure {
  bool vref_range = false;       // "0V to VREFA" rather than "0V to 2xVREFA"
  bool weak = false;             // "Weak" rather than "Three-State"
  bool straight_binary = false;  // "Straight Binary" rather than "2's Compliment"
};

enum class ReadFormat { Hex, Dec, Volts };

// adc read [--reference VOLTS] [--format hex|dec|volts] [--channel CH]
// [--calibration FILE|auto|none]
struct AdcRead {
  std::string reference = "2.50";  // the "ADC Reference" box's text, two decimals
  ReadFormat format = ReadFormat::Hex;
  std::optional<int> channel;  // one channel only; all sixteen by default
  // Without --reference, a calibration's measured reference takes the
  // nominal one's place.
  bool reference_given = false;
  session::CalibrationChoice calibration = {};
};

// adc write WORD
struct AdcWrite {
  std::string text;  // as typed: the write reads it as the panel's Text2
  std::int32_t word;
};

// adc capture FILE ("Read && Save ADC") and adc capture-channel0 FILE, each
// [--metadata [--reference VOLTS] [--calibration FILE|auto|none]].
struct AdcCapture {
  std::string file;
  bool channel0 = false;
  // --metadata: FILE.json beside FILE, with the reference of --reference
  // and the calibration the volts are to be read with.
  bool metadata = false;
  std::string reference = "2.50";
  bool reference_given = false;
  session::CalibrationChoice calibration = {};
};

// adc log FILE --every INTERVAL [--for DURATION] [--channels LIST]
// [--average N] [--reference VOLTS] [--overwrite] [--quiet]: the data
// logger, one row per interval.
struct AdcLog {
  std::string file;
  std::chrono::nanoseconds every{std::chrono::seconds(1)};
  std::optional<std::chrono::nanoseconds> duration;  // none: until SIGINT or SIGTERM
  std::vector<int> channels;                         // in the order given; all sixteen by default
  int average = 1;
  std::string reference = "2.50";
  bool reference_given = false;
  session::CalibrationChoice calibration = {};  // the volts columns'; the codes stay raw
  bool overwrite = false;
  bool quiet = false;
};

// The input applied to an ADC channel, in volts: a sine's centre and
// amplitude, or a ramp's centre and half its span.
struct AppliedVolts {
  double centre = 0.0;
  double amplitude = 0.0;
};

// adc histogram --channel N --samples COUNT [--method sine|ramp]
// [--input CENTRE:AMPLITUDE [--reference VOLTS]] [--out FILE]: the
// code-density test of one channel.
struct AdcHistogram {
  int channel = 0;
  std::uint64_t samples = 0;
  linearity::DensityMethod method = linearity::DensityMethod::Sine;
  std::string file;  // none: the figures only
  // With the input as applied, the offset and gain error; the reference
  // turns its volts into codes.
  std::optional<AppliedVolts> input = std::nullopt;
  std::optional<double> reference = std::nullopt;  // none: the board's own
  // --save-calibration: the offset and gain into the board's file.
  bool save_calibration = false;
};

// adc spectrum [--channel CH] [--window NAME]: the spectrum figures of one
// channel in a "Read && Save ADC" capture taken for them.
struct AdcSpectrum {
  int channel = 0;
  analysis::WindowKind window = analysis::WindowKind::BlackmanHarris;
};

// START:STOP:STEP of a sweep's DAC codes.
struct CodeSteps {
  int start = 0;
  int stop = 0;
  int step = 1;
};

// dac sweep --channel N [--adc-channel M] --codes START:STOP:STEP --average K
// [--settle DURATION] [--adc-linearity FILE] [--adc-reference VOLTS]
// [--dac-reference VOLTS] [--out FILE]: the DAC's transfer curve read
// through the ADC.
struct DacSweep {
  int channel = 0;
  int adc_channel = 0;  // the DAC channel's own number unless given
  bool adc_channel_given = false;
  CodeSteps codes;
  int average = 1;
  std::chrono::nanoseconds settle{0};
  std::string adc_linearity_file;
  // The ADC's code-density result read from that file before start-up.
  std::optional<linearity::DensityLinearity> adc_linearity;
  // Its range and coding, which the ADC must be on for the sweep.
  std::string adc_linearity_range;
  std::string adc_linearity_coding;
  std::string file;
  // Where the references are not the board's own: the figures in LSB
  // depend on the ratio of the two converters' steps.
  std::optional<double> adc_reference = std::nullopt;
  std::optional<double> dac_reference = std::nullopt;
  // --save-calibration: the fit line's offset and gain into the board's file.
  bool save_calibration = false;
};

// setup save FILE: the panel-wide state of this call, as a set-up file.
struct SetupSave {
  std::string file;
};

// setup load FILE: the set-up, read and checked against the edition before
// the board hears a word, reached with the panel's words.
struct SetupLoad {
  std::string file;
  session::Setup setup;
};

// Whether serve answers VXI-11 beside the raw socket. By default it does
// where the system's portmapper takes its entry, and goes on without it
// where none runs, it may not register or another server holds the entry;
// --vxi11 (or --portmapper) makes VXI-11 a condition of the start.
enum class Vxi11Use { WhereRegistered, Required, Off };

// serve [--listen ADDR:PORT] [--log-folder DIR] [--setup-folder DIR] [--max-clients N]: the board
// as a SCPI instrument, a call of its own rather than a step of one.
struct ServeRequest {
  std::string listen = "127.0.0.1:5025";  // loopback, the usual raw-socket SCPI port
  std::string log_folder;                 // none: the working folder
  std::string setup_folder;               // *SAV and *RCL's slots; none: the working folder
  int max_clients = 64;
  Vxi11Use vxi11 = Vxi11Use::WhereRegistered;
  std::string portmapper;  // ADDR:PORT: answer GETPORT there instead of registering
  session::CalibrationChoice calibration = {};  // for the volt queries and the logs
};
inline constexpr int MostClients = 10000;

// calibration show: the board's calibration file, each entry with where it
// came from.
struct CalibrationShow {};

// A channel's figures as entered: CH:OFFSET:GAIN.
struct ChannelCorrection {
  int channel = 0;
  board::LineCorrection correction;
};

// calibration save [--adc CH:OFFSET:GAIN ...] [--range 2xvref|vref]
// [--dac CH:OFFSET:GAIN ...] [--adc-reference VOLTS]
// [--dac-reference low|high:VOLTS ...]: figures entered by hand, merged
// into the board's file (the entries not named stay).
struct CalibrationSave {
  std::vector<ChannelCorrection> adc;
  std::optional<int> range;  // the Range list's index; none: the range in force
  std::vector<ChannelCorrection> dac;
  std::optional<double> adc_reference;
  std::array<std::optional<double>, 2> dac_reference;
};

// calibration clear [--adc CH ...] [--dac CH ...]: those channels' entries
// (an ADC channel's on both ranges), or the whole file when none is named.
struct CalibrationClear {
  std::vector<int> adc;
  std::vector<int> dac;
};

// list: the boards attached, found without a word to any of them. It runs
// alone, without the start-up, so it never downloads the firmware.
struct ListBoards {};

using Action = std::variant<DacLoad, DacWrite, DacPowerDown, DacLdacRegister, DacReference,
                            DacClearCode, LineRequest, AdcConfigure, AdcRead, AdcWrite, AdcCapture,
                            AdcLog, AdcHistogram, DacSweep, AdcSpectrum, SetupSave, SetupLoad,
                            CalibrationShow, CalibrationSave, CalibrationClear, ListBoards>;

// One checked command, ready to run: nothing in it can be refused any more.
struct Command {
  std::string name;  // "dac load", "line pulse-ldac", "adc read", ...
  Action action;
  Source source;
};

}  // namespace kx::commands
