#include "commands/linearity_record.h"

#include <fmt/format.h>

#include "adc/sample_file.h"

namespace kx::commands {

std::optional<std::string> WriteResultFiles(const std::string& file, const std::string& csv,
                                            const std::string& metadata) {
  adc::SampleFileWriter table(file);
  adc::SampleFileWriter record(file + ".json");
  if (std::optional<std::string> error = table.Prepare()) {
    return error;
  }
  if (std::optional<std::string> error = record.Prepare()) {
    return error;
  }
  if (std::optional<std::string> error = table.Save(csv)) {
    return error;
  }
  if (std::optional<std::string> error = record.Save(metadata)) {
    return fmt::format("{} was saved, but not its metadata: {}", file, *error);
  }
  return std::nullopt;
}

}  // namespace kx::commands
