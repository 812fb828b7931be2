#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::board {

#ifdef _WIN32
inline constexpr char PathSeparator = '\\';
#else
inline constexpr char PathSeparator = '/';
#endif

// The folder that holds the running executable, as the platform reports it:
// no trailing separator, except at a root ("/" or "C:\").
std::string ProgramFolder();

// Where the programs look for the firmware image: beside the executable in
// `program_folder` (a build tree, or a copy the user placed there), else in
// the data folder `installed` names relative to it ("../share/kx7312" for an
// installed package). With neither there, `program_folder`, so the failure
// names the customary place.
std::string FirmwareFolderOf(std::string_view program_folder, std::string_view installed);
// The same for the running executable and the installed folder the build
// configured.
std::string FirmwareFolder();

// The folder followed directly by the separator and "KX7312FW.hex". Nothing is
// trimmed: at a root the path holds two separators in a row, and that exact
// text is what the link library receives.
std::string MakeFirmwarePath(std::string_view folder, char separator = PathSeparator);

// Copies the text into `bytes` as a zero-terminated narrow string. The buffer
// keeps its customary 513 bytes and grows to fit a longer path rather than
// cutting it short.
void FillPathBuffer(std::string_view text, std::vector<std::uint8_t>& bytes);

}  // namespace kx::board
