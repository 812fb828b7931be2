#include "tool_process.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "support/config_home.h"

namespace kx::ctl::testing {

namespace {

std::string ShellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& folder,
                const std::string& input) {
  kx::testing::PrivateConfigHome();
  std::filesystem::create_directories(folder);
  const std::filesystem::path in = folder / ".tool-stdin";
  const std::filesystem::path out = folder / ".tool-stdout";
  const std::filesystem::path err = folder / ".tool-stderr";
  std::ofstream(in, std::ios::binary) << input;

  std::string command = "cd " + ShellQuoted(folder.string()) + " && " + ShellQuoted(KX7312CTL);
  for (const std::string& arg : args) {
    command += " " + ShellQuoted(arg);
  }
  command += " <" + ShellQuoted(in.string()) + " >" + ShellQuoted(out.string()) + " 2>" +
             ShellQuoted(err.string());
  const int raw = std::system(command.c_str());
  ToolRun run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, Slurp(out), Slurp(err)};
  std::filesystem::remove(in);
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return run;
}

}  // namespace kx::ctl::testing
