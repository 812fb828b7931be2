#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "session/edition.h"
#include "session/setup.h"

namespace kx::session {

// The set-up file's format and the newest version this program reads.
inline constexpr const char* SetupFormat = "kx7312-setup";
inline constexpr int SetupVersion = 1;

// The set-up as JSON: the edition that wrote it, the stored words with their
// codes, the saved power-down masks, each group's registers, the ADC lists,
// the lines and the automatic LDAC pulse (layout in the README).
std::string SetupJson(const Setup& setup);

// Written whole through a temporary file and a rename; the operator's
// message on failure.
std::optional<std::string> WriteSetupFile(const std::string& path, const Setup& setup);

struct SetupRead {
  std::optional<Setup> setup;
  std::string error;  // names the field at fault: "dac.groups[1].reference: ..."
};

// Every field is checked (type, range, list item, the words against their
// codes, the edition named); the set-up comes back only when all pass. It
// is not yet checked against the edition that is to load it: SetupRefusal.
SetupRead ParseSetup(std::string_view json_text);
SetupRead ReadSetupFile(const std::string& path);

}  // namespace kx::session
