#pragma once

#include <optional>
#include <string>

namespace kx::commands {

// A test's CSV into `file` and its metadata into FILE.json, both checked
// before either is written, each through a temporary file and a rename, so
// that a failure leaves what was there before. The operator's message on
// failure.
std::optional<std::string> WriteResultFiles(const std::string& file, const std::string& csv,
                                            const std::string& metadata);

}  // namespace kx::commands
