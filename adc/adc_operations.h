#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adc/adc_control_word.h"
#include "adc/adc_word_rules.h"
#include "adc/sample_file.h"
#include "board/board_link.h"
#include "board/link_record.h"

namespace kx::adc {

// The save dialog of both captures: "All Files (*.*)" and "DAT Files(*.dat)".
// The front end asks for the path before the first transfer.
inline constexpr const char* SampleFileFilter = "All Files (*.*)|*.*|DAT Files(*.dat)|*.dat";
inline constexpr const char* TakingSamplesText = "Taking Samples";
inline constexpr const char* AdcErrorTitle = "Error";
// Transfers between two progress reports of a capture.
inline constexpr int CaptureProgressStep = 128;
// Each capture starts with one priming transfer whose reply is discarded.
inline constexpr int AllChannelsTransfers = 1 + AllChannelsSampleSets * AdcChannels;
inline constexpr int Channel0Transfers = 1 + Channel0Samples;

// "The board did not answer (status -1). No samples were saved."
std::string BoardNoAnswerText(std::int16_t status);

// How far a capture has got: `done` of `total` transfers, told at the start,
// every CaptureProgressStep transfers and at the end.
using CaptureProgress = std::function<void(int done, int total)>;
// Asked before each chunk of transfers, which ends where the next progress
// report falls due: true stops the capture there.
using CaptureStop = std::function<bool()>;

// What a capture took, with no file and no operator involved.
struct CaptureSamples {
  std::vector<SampleSet> sets;        // the all-channel capture: 512 sets
  std::vector<std::int32_t> replies;  // the channel-0 capture: 1024 whole replies
  int transfers = 0;                  // transfers made, the priming one included
  // Why it stopped short: the failing LinkStatus (0 when told to stop) and a
  // line that says so; the whole sets or replies taken until then stay. None
  // when every transfer was answered.
  struct Stop {
    std::int16_t status;
    std::string reason;
  };
  std::optional<Stop> stopped;
  // Every request made, in order, with its status.
  std::vector<board::LinkRecord> sent;
};

// "Write": Label8's text, or the refusal of Text2 with nothing sent.
struct AdcWriteResult {
  board::OperationResult done;
  std::optional<std::string> reply_text;
};

// "Read ADC": what was sent, AdcResults and lblVolts after it (no volts
// where the edition shows none).
struct AdcReading {
  board::OperationResult done;
  std::array<std::int32_t, AdcChannels> codes{};
  std::optional<std::array<std::string, AdcChannels>> volts;
};

// The ADC section of the panel: its configuration lists, "Write", "Read ADC"
// and the transfers of the two captures. The window reads its controls,
// calls one operation and shows what comes back; everything that depends on
// the program comes from the word rules given here.
class AdcOperations {
 public:
  AdcOperations(board::BoardLink& link, AdcWordRules rules);

  // The window's load: AdcResults to 0, then the four start-up words.
  void ResetResults();
  board::OperationResult SendStartupWords();

  // Combo1_Click: the chosen entry of each list ("Range", "Weak/Tri",
  // "Coding"); -1 for none, which counts as entry 0. The classic program has
  // no "Coding" list, so the third is ignored there. Sends one configuration
  // word every time, also for the entry already chosen.
  board::OperationResult ChooseListEntry(const std::array<int, 3>& list_indexes);

  // "Write": sends the word typed in Text2 (high half 0) and returns Label8's
  // text. A text that is not 1 to 4 hex digits is refused, and nothing is
  // sent.
  AdcWriteResult WriteAdc(std::string_view text2);

  // "Read ADC": 17 transfers, the replies filed under the channel the word
  // before selected. Volts use the reference, Range and Coding of this moment;
  // the classic program has no reference and no volts.
  AdcReading ReadAll(std::string_view reference_text);

  // One channel: the word that selects it, then the same word again, whose
  // reply holds the channel's conversion. AdcResults keeps it; the other
  // channels keep theirs.
  AdcReading ReadChannel(int channel, std::string_view reference_text);

  // convert2hex / convert2dec of AdcResults.
  std::array<std::string, AdcChannels> CodeTexts(bool hex) const;
  // lblVolts as of the last read; "0.000V" before the first.
  const std::array<std::string, AdcChannels>& VoltTexts() const { return volt_texts_; }

  // The transfers of "Read && Save ADC" (512 sets of all sixteen channels)
  // and "Channel 0 to File" (1024 whole replies of channel 0), the samples
  // handed back; the files are written apart (AllChannelsFileText,
  // Channel0FileText, SampleFileWriter).
  CaptureSamples TakeAllChannels(const CaptureProgress& progress = {},
                                 const CaptureStop& stop = {});
  CaptureSamples TakeChannel0(const CaptureProgress& progress = {}, const CaptureStop& stop = {});

  // `count` conversions of one channel: the word that selects it, then the
  // same word once per conversion, in queued chunks of CaptureProgressStep
  // transfers. Each chunk's codes go to `take` and neither they nor the
  // requests are kept, so a run of millions costs no memory. The stop is
  // asked before each chunk; a failed transfer ends the run.
  using ChannelCodes = std::function<void(std::span<const std::int32_t> codes)>;
  struct ChannelRun {
    std::uint64_t samples = 0;
    std::uint64_t transfers = 0;
    std::optional<CaptureSamples::Stop> stopped;
  };
  ChannelRun ReadChannelRepeatedly(int channel, std::uint64_t count, const ChannelCodes& take,
                                   const CaptureStop& stop = {});

  // A sweep's `points`: for each, the steps `before` gives (its DAC code
  // and the LDAC pulse), the word that selects `channel`, then `reads`
  // conversions of it, several points to a batch so that none waits for the
  // one before to come back. `take` gets each point's codes in turn; the
  // stop is asked between batches; a failed request ends the run at the
  // point it belongs to, which gets no codes.
  using PointSteps = std::function<std::vector<board::LinkStep>(std::size_t point)>;
  struct PointsRun {
    std::size_t points = 0;
    std::optional<CaptureSamples::Stop> stopped;
  };
  PointsRun ReadChannelAtPoints(int channel, std::size_t points, int reads,
                                const PointSteps& before, const ChannelCodes& take,
                                const CaptureStop& stop = {});

  const AdcConfiguration& Configuration() const { return config_; }
  const std::array<std::int32_t, AdcChannels>& AdcResults() const { return results_; }

 private:
  board::OperationResult Sent();

  board::BoardLink& link_;
  AdcWordRules rules_;
  AdcConfiguration config_;
  std::array<std::int32_t, AdcChannels> results_{};
  std::array<std::string, AdcChannels> volt_texts_;
};

}  // namespace kx::adc
