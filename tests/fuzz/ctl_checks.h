#pragma once

#include <string>

#include "commands/command.h"
#include "session/edition.h"

namespace kx::fuzz {

// What the parser promises about every command it lets through: "nothing in
// it can be refused any more". Numbers are in their ranges, words agree with
// the texts they came from, the edition's missing controls stay unused, and
// capture file names hold no control characters.
void CheckCommand(const commands::Command& command, const Edition& edition);

// Everything a command carries, as one text, to compare two parses.
std::string Describe(const commands::Command& command);

// "2.50", "-0.13": the reference box's two-decimal form.
bool IsTwoDecimalText(const std::string& text);

}  // namespace kx::fuzz
