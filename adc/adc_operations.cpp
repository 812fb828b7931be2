#include "adc/adc_operations.h"

#include <fmt/format.h>

#include <algorithm>
#include <span>
#include <vector>

#include "adc/adc_display.h"
#include "adc/adc_reply.h"
#include "adc/adc_write_entry.h"
#include "adc/reference_entry.h"
#include "board/link_requests.h"

namespace kx::adc {

namespace {

// Sends a capture's words, reports its progress now and then, and notices
// the first transfer the board did not answer.
class CaptureRun {
 public:
  CaptureRun(board::BoardLink& link, const CaptureProgress& progress, const CaptureStop& stop,
             int total)
      : link_(link), progress_(progress), stop_(stop), total_(total) {
    Tell(0);
  }

  // The words go to the link in chunks, each one batch that a link able to
  // queue requests sends back to back. A chunk ends where a progress report
  // falls due (every CaptureProgressStep transfers), so the reports come as
  // they did transfer by transfer and the stop is asked before each chunk;
  // and 128 transfers are long enough that the one round trip waited out at
  // the end of a chunk costs little. Returns the replies of the transfers
  // answered, in order: a failed transfer's reply is only the preset bytes,
  // not a sample, and nothing after it is sent.
  std::vector<std::int32_t> TransferAll(std::span<const std::int32_t> words) {
    std::vector<std::int32_t> replies(words.size());
    std::size_t answered = 0;
    while (answered < words.size()) {
      if (stop_ && stop_()) {
        stopped_ = CaptureSamples::Stop{0, "the capture was stopped"};
        break;
      }
      const auto to_report =
          static_cast<std::size_t>(CaptureProgressStep - done_ % CaptureProgressStep);
      const std::size_t count = std::min(words.size() - answered, to_report);
      const std::size_t made = link_.TransferAdcWords(words.subspan(answered, count),
                                                      std::span(replies).subspan(answered, count));
      done_ += static_cast<int>(made);
      if (const std::int16_t status = link_.State().LinkStatus; status < 0) {
        stopped_ = CaptureSamples::Stop{status, fmt::format("the board did not answer transfer {} "
                                                            "of {} (status {})",
                                                            done_, total_, status)};
        answered += made - 1;
        break;
      }
      answered += made;
      if (done_ % CaptureProgressStep == 0 || done_ == total_) {
        Tell(done_);
      }
    }
    replies.resize(answered);
    return replies;
  }

  void Finish(CaptureSamples& samples) const {
    samples.transfers = done_;
    samples.stopped = stopped_;
    samples.sent = link_.TakeSent();
  }

 private:
  void Tell(int done) const {
    if (progress_) {
      progress_(done, total_);
    }
  }

  board::BoardLink& link_;
  const CaptureProgress& progress_;
  const CaptureStop& stop_;
  int total_;
  int done_ = 0;
  std::optional<CaptureSamples::Stop> stopped_;
};

}  // namespace

std::string BoardNoAnswerText(std::int16_t status) {
  return fmt::format("The board did not answer (status {}). No samples were saved.", status);
}

AdcOperations::AdcOperations(board::BoardLink& link, AdcWordRules rules)
    : link_(link), rules_(rules) {
  volt_texts_.fill(InitialVoltText);
}

board::OperationResult AdcOperations::Sent() {
  return {link_.TakeSent(), std::nullopt};
}

void AdcOperations::ResetResults() {
  results_.fill(0);
}

board::OperationResult AdcOperations::SendStartupWords() {
  for (const std::int32_t word : StartupWords) {
    link_.TransferAdcWord(word);
  }
  return Sent();
}

board::OperationResult AdcOperations::ChooseListEntry(const std::array<int, 3>& list_indexes) {
  const auto bit_if_second = [](int index, std::int16_t bit) {
    return index == 1 ? bit : std::int16_t{0};
  };
  config_.AdcRangeBit = bit_if_second(list_indexes[0], RangeField);
  config_.AdcWeakTriBit = bit_if_second(list_indexes[1], WeakTriField);
  config_.AdcCodingBit =
      rules_ == AdcWordRules::Version2 ? bit_if_second(list_indexes[2], CodingField) : 0;
  link_.TransferAdcWord(ConfigurationWord(rules_, config_));
  return Sent();
}

AdcWriteResult AdcOperations::WriteAdc(std::string_view text2) {
  const AdcWriteEntry entry = ReadAdcWriteText(text2);
  if (!entry.word) {
    return {{{}, entry.error}, std::nullopt};
  }
  std::string reply_text = WriteReplyText(link_.TransferAdcWord(*entry.word));
  return {Sent(), std::move(reply_text)};
}

AdcReading AdcOperations::ReadAll(std::string_view reference_text) {
  const bool with_volts = HasVolts(rules_);
  const float span =
      with_volts ? FullScaleSpan(ReadReferenceNumber(reference_text), config_.AdcRangeBit) : 0.0F;

  // Each reply holds the channel the word before selected; channel 15 goes
  // out once more to clock out its own conversion.
  std::array<std::int32_t, AdcChannels + 1> words{};
  words[0] = FirstReadWord(rules_, config_);
  for (int channel = 1; channel < AdcChannels; ++channel) {
    words[static_cast<std::size_t>(channel)] = ChannelWord(rules_, config_, channel);
  }
  words[AdcChannels] = ChannelWord(rules_, config_, AdcChannels - 1);
  // Every word goes out, as it always did: a failed transfer only ends one
  // batch and the rest follow in the next.
  std::array<std::int32_t, AdcChannels + 1> replies{};
  for (std::size_t sent = 0; sent < words.size();) {
    sent +=
        link_.TransferAdcWords(std::span(words).subspan(sent), std::span(replies).subspan(sent));
  }
  for (std::size_t channel = 0; channel < AdcChannels; ++channel) {
    results_[channel] = ConversionCode(rules_, replies[channel + 1]);
  }

  if (with_volts) {
    const bool straight_binary = config_.AdcCodingBit != 0;
    for (std::size_t i = 0; i < results_.size(); ++i) {
      volt_texts_[i] = VoltText(CodeVolts(results_[i], span, straight_binary));
    }
  }
  AdcReading reading{Sent(), results_, std::nullopt};
  if (with_volts) {
    reading.volts = volt_texts_;
  }
  return reading;
}

AdcReading AdcOperations::ReadChannel(int channel, std::string_view reference_text) {
  const std::int32_t word = ChannelWord(rules_, config_, channel);
  std::array<std::int32_t, 2> words{word, word};
  std::array<std::int32_t, 2> replies{};
  for (std::size_t sent = 0; sent < words.size();) {
    sent +=
        link_.TransferAdcWords(std::span(words).subspan(sent), std::span(replies).subspan(sent));
  }
  const auto index = static_cast<std::size_t>(channel);
  results_[index] = ConversionCode(rules_, replies[1]);
  AdcReading reading{Sent(), results_, std::nullopt};
  if (HasVolts(rules_)) {
    const float span = FullScaleSpan(ReadReferenceNumber(reference_text), config_.AdcRangeBit);
    volt_texts_[index] = VoltText(CodeVolts(results_[index], span, config_.AdcCodingBit != 0));
    reading.volts = volt_texts_;
  }
  return reading;
}

std::array<std::string, AdcChannels> AdcOperations::CodeTexts(bool hex) const {
  std::array<std::string, AdcChannels> texts;
  for (std::size_t i = 0; i < results_.size(); ++i) {
    texts[i] = hex ? CodeHexText(results_[i]) : CodeDecText(results_[i]);
  }
  return texts;
}

AdcOperations::ChannelRun AdcOperations::ReadChannelRepeatedly(int channel, std::uint64_t count,
                                                               const ChannelCodes& take,
                                                               const CaptureStop& stop) {
  const std::int32_t word = ChannelWord(rules_, config_, channel);
  std::array<std::int32_t, CaptureProgressStep> words{};
  words.fill(word);
  std::array<std::int32_t, CaptureProgressStep> replies{};
  std::array<std::int32_t, CaptureProgressStep> codes{};
  ChannelRun run;
  // The first reply is the conversion selected before: not this channel's.
  bool primed = false;
  while (run.samples < count) {
    if (stop && stop()) {
      run.stopped = CaptureSamples::Stop{0, "stopped"};
      break;
    }
    const std::uint64_t wanted = count - run.samples + (primed ? 0 : 1);
    const auto chunk = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, words.size()));
    const std::size_t made =
        link_.TransferAdcWords(std::span(words).first(chunk), std::span(replies).first(chunk));
    link_.TakeSent();
    run.transfers += made;
    const std::int16_t status = link_.State().LinkStatus;
    const std::size_t answered = status < 0 && made > 0 ? made - 1 : made;
    const std::size_t first = primed ? 0 : 1;
    std::size_t kept = 0;
    for (std::size_t i = first; i < answered; ++i) {
      codes[kept++] = ConversionCode(rules_, replies[i]) & 0xFFF;
    }
    primed = primed || answered > 0;
    run.samples += kept;
    if (kept > 0) {
      take(std::span(codes).first(kept));
    }
    if (status < 0) {
      run.stopped =
          CaptureSamples::Stop{status, fmt::format("the board did not answer (status {})", status)};
      break;
    }
  }
  return run;
}

AdcOperations::PointsRun AdcOperations::ReadChannelAtPoints(int channel, std::size_t points,
                                                            int reads, const PointSteps& before,
                                                            const ChannelCodes& take,
                                                            const CaptureStop& stop) {
  const board::LinkStep word{board::AdcTransferRequest, ChannelWord(rules_, config_, channel)};
  const auto per_point = static_cast<std::size_t>(reads) + 3;  // with a DAC word and a pulse
  const std::size_t batch_points = std::max<std::size_t>(1, CaptureProgressStep / per_point);
  std::vector<board::LinkStep> steps;
  std::vector<std::size_t> firsts;  // each point's selecting word
  std::vector<std::int32_t> replies;
  std::vector<std::int32_t> codes;
  PointsRun run;
  while (run.points < points) {
    if (stop && stop()) {
      run.stopped = CaptureSamples::Stop{0, "stopped"};
      break;
    }
    steps.clear();
    firsts.clear();
    const std::size_t end = std::min(points, run.points + batch_points);
    for (std::size_t point = run.points; point < end; ++point) {
      const std::vector<board::LinkStep> ahead = before(point);
      steps.insert(steps.end(), ahead.begin(), ahead.end());
      firsts.push_back(steps.size());
      // The first reply is the conversion selected before: not this point's.
      steps.insert(steps.end(), static_cast<std::size_t>(reads) + 1, word);
    }
    replies.assign(steps.size(), 0);
    const std::size_t made = link_.TransferSteps(steps, replies);
    link_.TakeSent();
    const std::int16_t status = link_.State().LinkStatus;
    const std::size_t answered = status < 0 ? made - 1 : made;
    for (const std::size_t first : firsts) {
      const std::size_t last = first + static_cast<std::size_t>(reads);
      if (last >= answered) {
        break;
      }
      codes.clear();
      for (std::size_t n = first + 1; n <= last; ++n) {
        codes.push_back(ConversionCode(rules_, replies[n]) & 0xFFF);
      }
      take(codes);
      ++run.points;
    }
    if (status < 0) {
      run.stopped =
          CaptureSamples::Stop{status, fmt::format("the board did not answer (status {})", status)};
      break;
    }
  }
  return run;
}

CaptureSamples AdcOperations::TakeAllChannels(const CaptureProgress& progress,
                                              const CaptureStop& stop) {
  std::vector<std::int32_t> words;
  words.reserve(AllChannelsTransfers);
  words.push_back(CapturePrimingWord(rules_, config_));
  for (int set = 0; set < AllChannelsSampleSets; ++set) {
    // Each word clocks out the channel the word before selected, so the set
    // runs 1..15 and ends on channel 0's word to collect channel 15.
    for (int channel = 1; channel < AdcChannels; ++channel) {
      words.push_back(ChannelWord(rules_, config_, channel));
    }
    words.push_back(ChannelWord(rules_, config_, 0));
  }
  CaptureRun run(link_, progress, stop, AllChannelsTransfers);
  const std::vector<std::int32_t> replies = run.TransferAll(words);
  CaptureSamples samples;
  // Only sets with every channel answered; the priming reply is discarded.
  const std::size_t whole = replies.empty() ? 0 : (replies.size() - 1) / AdcChannels;
  samples.sets.resize(whole);
  for (std::size_t set = 0; set < whole; ++set) {
    for (std::size_t channel = 0; channel < AdcChannels; ++channel) {
      samples.sets[set][channel] = ConversionCode(rules_, replies[1 + set * AdcChannels + channel]);
    }
  }
  run.Finish(samples);
  return samples;
}

CaptureSamples AdcOperations::TakeChannel0(const CaptureProgress& progress,
                                           const CaptureStop& stop) {
  const std::vector<std::int32_t> words(Channel0Transfers, FixedChannel0Word);
  CaptureRun run(link_, progress, stop, Channel0Transfers);
  const std::vector<std::int32_t> replies = run.TransferAll(words);
  CaptureSamples samples;
  if (!replies.empty()) {
    samples.replies.assign(replies.begin() + 1, replies.end());  // after the priming transfer
  }
  run.Finish(samples);
  return samples;
}

}  // namespace kx::adc
