#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "adc/adc_operations.h"
#include "dac/dac_operations.h"
#include "support/fake_operator.h"

namespace kx::testing {

// The DAC operations as the window shows them: each call's result goes to
// the fake operator (status line, refusal message), and the call answers
// whether its input was taken.
class ShownDac {
 public:
  using ChannelTicks = dac::DacOperations::ChannelTicks;
  using ChannelTexts = dac::DacOperations::ChannelTexts;

  ShownDac(dac::DacOperations& ops, FakeOperator& port) : ops_(ops), port_(port) {}

  bool LoadInputRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool pulse) {
    return port_.Show(ops_.LoadInputRegisters(ticked, texts, pulse));
  }
  bool UpdateDacRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool pulse) {
    return port_.Show(ops_.UpdateDacRegisters(ticked, texts, pulse));
  }
  bool RawWrite(int group, std::string_view text) { return port_.Show(ops_.RawWrite(group, text)); }
  void ProgramPowerDown(int group, const dac::GroupTicks& ticked, int list_index) {
    port_.Show(ops_.ProgramPowerDown(group, ticked, list_index));
  }
  dac::GroupTicks PowerDownTicks(int list_index) const { return ops_.PowerDownTicks(list_index); }
  void ProgramLdac(int group, const dac::GroupTicks& ticked) {
    port_.Show(ops_.ProgramLdac(group, ticked));
  }
  void ChooseReference(int group, int list_index) {
    port_.Show(ops_.ChooseReference(group, list_index));
  }
  void ChooseClearCode(int group, int list_index) {
    port_.Show(ops_.ChooseClearCode(group, list_index));
  }
  void ClrLine(int index) { port_.Show(ops_.ClrLine(index)); }
  void LdacLine(int index) { port_.Show(ops_.LdacLine(index)); }
  void PulseLdac() { port_.Show(ops_.PulseLdac()); }

  const dac::DacOperations::StoredWords& InputRegWordsLow() const {
    return ops_.InputRegWordsLow();
  }
  const dac::DacOperations::StoredWords& InputRegWordsHigh() const {
    return ops_.InputRegWordsHigh();
  }
  const dac::DacOperations::StoredWords& DacRegWordsLow() const { return ops_.DacRegWordsLow(); }
  const dac::DacOperations::StoredWords& DacRegWordsHigh() const { return ops_.DacRegWordsHigh(); }
  const auto& SavedPowerDownMask() const { return ops_.SavedPowerDownMask(); }

 private:
  dac::DacOperations& ops_;
  FakeOperator& port_;
};

// The ADC operations as the window shows them, the captures included: the
// save dialog, "Taking Samples", the progress and the messages, in the
// window's order.
class ShownAdc {
 public:
  ShownAdc(adc::AdcOperations& ops, FakeOperator& port) : ops_(ops), port_(port) {}

  void ResetResults() { ops_.ResetResults(); }
  void SendStartupWords() { port_.Show(ops_.SendStartupWords()); }
  void ChooseListEntry(const std::array<int, 3>& list_indexes) {
    port_.Show(ops_.ChooseListEntry(list_indexes));
  }
  std::optional<std::string> WriteAdc(std::string_view text2);
  void ReadAll(std::string_view reference_text) { port_.Show(ops_.ReadAll(reference_text).done); }
  void CaptureAllChannels() { Capture(true); }
  void CaptureChannel0() { Capture(false); }
  adc::CaptureSamples TakeAllChannels(const adc::CaptureProgress& progress = {},
                                      const adc::CaptureStop& stop = {}) {
    return ops_.TakeAllChannels(progress, stop);
  }
  adc::CaptureSamples TakeChannel0(const adc::CaptureProgress& progress = {},
                                   const adc::CaptureStop& stop = {}) {
    return ops_.TakeChannel0(progress, stop);
  }

  std::array<std::string, adc::AdcChannels> CodeTexts(bool hex) const {
    return ops_.CodeTexts(hex);
  }
  const auto& VoltTexts() const { return ops_.VoltTexts(); }
  const auto& Configuration() const { return ops_.Configuration(); }
  const auto& AdcResults() const { return ops_.AdcResults(); }

 private:
  void Capture(bool all_channels);

  adc::AdcOperations& ops_;
  FakeOperator& port_;
};

}  // namespace kx::testing
