#include "adc/adc_operations.h"

#include <fmt/format.h>

#include <vector>

#include "adc/adc_display.h"
#include "adc/adc_reply.h"
#include "adc/adc_write_entry.h"
#include "adc/reference_entry.h"

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

  // No value once the link reports a failure: the reply would only be the
  // preset bytes, not a sample.
  std::optional<std::int32_t> Transfer(std::int32_t word) {
    if (stop_ && stop_()) {
      stopped_ = CaptureSamples::Stop{0, "the capture was stopped"};
      return std::nullopt;
    }
    const std::int32_t reply = link_.TransferAdcWord(word);
    ++done_;
    if (const std::int16_t status = link_.State().LinkStatus; status < 0) {
      stopped_ = CaptureSamples::Stop{status, fmt::format("the board did not answer transfer {} "
                                                          "of {} (status {})",
                                                          done_, total_, status)};
      return std::nullopt;
    }
    if (done_ % CaptureProgressStep == 0 || done_ == total_) {
      Tell(done_);
    }
    return reply;
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

  link_.TransferAdcWord(FirstReadWord(rules_, config_));
  for (int channel = 1; channel < AdcChannels; ++channel) {
    const std::int32_t reply = link_.TransferAdcWord(ChannelWord(rules_, config_, channel));
    results_[static_cast<std::size_t>(channel - 1)] = ConversionCode(rules_, reply);
  }
  // Channel 15 once more, to clock out its own conversion.
  const std::int32_t last = link_.TransferAdcWord(ChannelWord(rules_, config_, AdcChannels - 1));
  results_[AdcChannels - 1] = ConversionCode(rules_, last);

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

std::array<std::string, AdcChannels> AdcOperations::CodeTexts(bool hex) const {
  std::array<std::string, AdcChannels> texts;
  for (std::size_t i = 0; i < results_.size(); ++i) {
    texts[i] = hex ? CodeHexText(results_[i]) : CodeDecText(results_[i]);
  }
  return texts;
}

CaptureSamples AdcOperations::TakeAllChannels(const CaptureProgress& progress,
                                              const CaptureStop& stop) {
  CaptureRun run(link_, progress, stop, AllChannelsTransfers);
  const auto take = [&](std::int32_t word, std::int32_t& code) {
    const std::optional<std::int32_t> reply = run.Transfer(word);
    if (reply) {
      code = ConversionCode(rules_, *reply);
    }
    return reply.has_value();
  };
  CaptureSamples samples;
  samples.sets.resize(AllChannelsSampleSets);
  std::int32_t discarded = 0;
  bool answered = take(CapturePrimingWord(rules_, config_), discarded);
  std::size_t whole = 0;  // sets with every channel answered
  for (SampleSet& set : samples.sets) {
    // Each word clocks out the channel the word before selected, so the set
    // runs 1..15 and ends on channel 0's word to collect channel 15.
    for (int channel = 1; answered && channel < AdcChannels; ++channel) {
      answered =
          take(ChannelWord(rules_, config_, channel), set[static_cast<std::size_t>(channel - 1)]);
    }
    answered = answered && take(ChannelWord(rules_, config_, 0), set[AdcChannels - 1]);
    if (!answered) {
      break;
    }
    ++whole;
  }
  run.Finish(samples);
  samples.sets.resize(whole);
  return samples;
}

CaptureSamples AdcOperations::TakeChannel0(const CaptureProgress& progress,
                                           const CaptureStop& stop) {
  CaptureRun run(link_, progress, stop, Channel0Transfers);
  CaptureSamples samples;
  samples.replies.reserve(Channel0Samples);
  bool answered = run.Transfer(FixedChannel0Word).has_value();
  while (answered && samples.replies.size() < static_cast<std::size_t>(Channel0Samples)) {
    const std::optional<std::int32_t> reply = run.Transfer(FixedChannel0Word);
    answered = reply.has_value();
    if (answered) {
      samples.replies.push_back(*reply);
    }
  }
  run.Finish(samples);
  return samples;
}

}  // namespace kx::adc
