#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "analysis/spectrum.h"
#include "dac/dac_lists.h"

namespace kx::commands {

// One entry of a choice list as each grammar names it: kx7312ctl's word and
// the SCPI mnemonic (upper case: the short form). An entry's place is the
// index the panel's own list gives the operations.
struct Choice {
  std::string_view word;      // "three-state"
  std::string_view mnemonic;  // "TSTate"
  bool volts_only = false;    // only where the edition shows volts
};

using Choices = std::span<const Choice>;

inline constexpr std::array<Choice, 2> GroupChoices = {{{"low", "LOW"}, {"high", "HIGH"}}};
inline constexpr std::array<Choice, 4> PowerDownChoices = {
    {{"normal", "NORMal"}, {"1k", "R1K"}, {"100k", "R100K"}, {"three-state", "TSTate"}}};
inline constexpr std::array<Choice, 2> ReferenceChoices = {
    {{"external", "EXTernal"}, {"internal", "INTernal"}}};
// By value, as the codes load: kx7312ctl also takes "0800" and "800".
inline constexpr std::array<Choice, 3> ClearCodeChoices = {
    {{"0x0000", "#H0"}, {"0x0800", "#H800"}, {"0x0FFF", "#HFFF"}}};
inline constexpr std::array<int, 3> ClearCodeValues = {0x000, 0x800, 0xFFF};
inline constexpr std::array<Choice, 2> RangeChoices = {{{"2xvref", "VREF2X"}, {"vref", "VREF"}}};
inline constexpr std::array<Choice, 2> OutputChoices = {{{"", "TRIState"}, {"", "WEAK"}}};
inline constexpr std::array<Choice, 2> CodingChoices = {{{"twos", "TWOS"}, {"binary", "BINary"}}};
inline constexpr std::array<Choice, 3> FormatChoices = {
    {{"hex", ""}, {"dec", ""}, {"volts", "", true}}};
inline constexpr std::array<Choice, 2> CaptureFormChoices = {{{"", "BLOCk"}, {"", "CODes"}}};
// The code-density test's input, as linearity::DensityMethod orders it.
inline constexpr std::array<Choice, 2> MethodChoices = {{{"sine", "SINE"}, {"ramp", "RAMP"}}};
// The spectrum's window, as analysis::kWindowKinds orders it.
inline constexpr std::array<Choice, 3> WindowChoices = {
    {{"blackman-harris", "BHARris"}, {"hann", "HANN"}, {"rectangular", "RECTangular"}}};
inline constexpr std::array<Choice, 2> SwitchChoices = {{{"", "OFF"}, {"", "ON"}}};

// The lists the panel shows, entry for entry.
static_assert(PowerDownChoices.size() == dac::PowerDownItems.size());
static_assert(ReferenceChoices.size() == dac::ReferenceItems.size());
static_assert(ClearCodeChoices.size() == dac::ClearCodeItems.size());
static_assert(WindowChoices.size() == std::size(analysis::kWindowKinds));

// "a, b or c".
std::string Listed(std::span<const std::string_view> words);
// "a, b or c", from the kx7312ctl words of `choices`.
std::string ListedWords(Choices choices);
// "LOW|HIGH".
std::string ListedMnemonics(Choices choices);

}  // namespace kx::commands
