#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "adc/adc_control_word.h"
#include "adc/sample_file_platform.h"

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

// The file of one capture, from before its first transfer to its last byte
// on the disk. Prepare finds out whether the samples can be saved at all,
// before the board is asked for a single sample; Save then writes them.
//
// A symbolic link is followed: the file it names is written and the link
// stays a link. The samples go to a temporary file with a short name of its
// own (".kx7312-" and six random letters) in the target's folder, which is
// flushed to the disk and renamed over the target, so that a failure or a
// power cut leaves either the old file or the new one, whole. The
// replacement keeps the owner (where the process may give it) and the mode
// of the file it replaces. Other hard links of a replaced file keep the
// earlier samples: the rename gives the name a new file.
//
// Where the folder takes no new file (no permission to create one) but the
// file itself may be written, it is written in place instead; a failure
// while writing may then leave it incomplete, and the message says so.
//
// A folder, a device, a pipe and a read-only file (one the user cannot
// write, or one without any write permission bit, even for root) are
// refused by Prepare and left exactly as they are.
class SampleFileWriter {
 public:
  explicit SampleFileWriter(std::string path);
  // Removes a temporary file that was never renamed.
  ~SampleFileWriter();
  SampleFileWriter(const SampleFileWriter&) = delete;
  SampleFileWriter& operator=(const SampleFileWriter&) = delete;
  SampleFileWriter(SampleFileWriter&&) = delete;
  SampleFileWriter& operator=(SampleFileWriter&&) = delete;

  // Nothing when the samples can be saved; otherwise the operator's message,
  // naming the path and the reason, and nothing on the disk has changed.
  std::optional<std::string> Prepare();
  // Writes `contents` after a successful Prepare; the operator's message on
  // failure.
  std::optional<std::string> Save(std::string_view contents);

  // After Prepare: whether the file is written in place rather than replaced.
  bool WritesInPlace() const { return prepared_ && temporary_.empty(); }

 private:
  std::string Failure(const std::string& reason) const;
  // Takes the target's lock unless held already; the message when a data
  // logger is writing the target.
  std::optional<std::string> HoldTarget();
  void ReleaseTarget();

  std::string path_;
  std::filesystem::path target_;     // path_ with every link followed
  std::filesystem::path temporary_;  // empty when writing in place
  platform::FileFacts existing_;
  int descriptor_ = -1;
  int target_lock_ = -1;  // holds the target's lock until it is replaced
  bool prepared_ = false;
};

// Prepare and Save in one: for callers with the samples already at hand.
std::optional<std::string> WriteFileReplacing(const std::string& path, std::string_view contents);

}  // namespace kx::adc
