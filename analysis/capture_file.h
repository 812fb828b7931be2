#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adc/adc_word_rules.h"

namespace kx::analysis {

// The two files the captures write: "Read && Save ADC" (512 lines of the
// sixteen codes, each followed by a tab) and "Channel 0 to File" (1024 lines
// of one whole reply between blanks). Both end every line in CR LF.
enum class CaptureKind { AllChannels, Channel0 };

struct CaptureFile {
  CaptureKind kind = CaptureKind::AllChannels;
  // The numbers as the file holds them, one vector per column: sixteen
  // channels of 12-bit codes, or channel 0's whole replies.
  std::vector<std::vector<std::int32_t>> columns;
  // How many samples each column holds (sample sets or replies).
  int Samples() const { return columns.empty() ? 0 : static_cast<int>(columns.front().size()); }
};

// Either the file or a one-line reason naming the line at fault.
struct CaptureRead {
  std::optional<CaptureFile> file;
  std::string error;
};

// Recognises the kind from the first line and checks every line against it.
// Lines may end in LF alone (a file passed through a tool that drops the
// CR); anything else that differs from what a capture writes is refused.
CaptureRead ParseCapture(std::string_view text);
CaptureRead ReadCaptureFile(const std::string& path);

// The word rules a channel-0 file was most likely taken with: the version2
// link shifts every reply left by one, so an odd reply can only come from
// the classic link and one above 4095 only from version2. Files that fit
// both are taken as version2, the panel's default program.
AdcWordRules GuessChannel0Rules(const CaptureFile& file);

const char* KindName(CaptureKind kind);

}  // namespace kx::analysis
