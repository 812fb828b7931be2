#pragma once

#include <string>
#include <vector>

namespace kx::ctl {

// What the shell may offer for the last of `words` (the words after the
// program's name, the last one being typed), from the command table and
// the tool's own options, so that it offers exactly what the parser takes.
// One candidate per line; a first line "@files" or "@folders" asks the shell
// for file or folder names instead, "@nospace" for no blank after the word.
std::string CompletionText(const std::vector<std::string>& words);

}  // namespace kx::ctl
