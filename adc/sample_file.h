#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "adc/adc_control_word.h"

namespace kx::adc {

inline constexpr int AllChannelsSampleSets = 512;
inline constexpr int Channel0Samples = 1024;

// One sample set of "Read && Save ADC": the codes of channels 0 to 15.
using SampleSet = std::array<std::int32_t, AdcChannels>;

// One line per set: every code in decimal followed by a tab, the last one
// included, then CR LF.
std::string AllChannelsFileText(std::span<const SampleSet> sets);

// One line per reply: a blank, the whole reply in decimal, a blank, CR LF.
std::string Channel0FileText(std::span<const std::int32_t> replies);

// Writes `contents` to a new file beside `path` and renames it over `path`
// only once every byte is on disk, so a failure leaves any existing file as
// it was and no temporary file behind. Returns the operator's message on
// failure, naming the path and the reason.
std::optional<std::string> WriteFileReplacing(const std::string& path, std::string_view contents);

}  // namespace kx::adc
