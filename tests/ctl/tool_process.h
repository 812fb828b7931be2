#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kx::ctl::testing {

struct ToolRun {
  int status;
  std::string out;
  std::string err;
};

// Runs the built kx7312ctl as a separate process through the shell, in
// `folder` (created if needed), with `input` on its standard input.
ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& folder,
                const std::string& input = "");

}  // namespace kx::ctl::testing
