#pragma once

#include <cstdint>
#include <string>

namespace kx::board::win {

// What a file says it is, read from its PE header: the Machine field names
// the processor, and so the bitness, a program or library was built for.
struct PeMachine {
  enum class Kind { Unreadable, NotPe, Machine };
  Kind kind = Kind::Unreadable;
  std::uint16_t machine = 0;  // IMAGE_FILE_MACHINE_*, for Kind::Machine
};

inline constexpr std::uint16_t MachineX86 = 0x014C;
inline constexpr std::uint16_t MachineX64 = 0x8664;
inline constexpr std::uint16_t MachineArm = 0x01C4;
inline constexpr std::uint16_t MachineArm64 = 0xAA64;

// The file's machine. `path` as Windows writes it.
PeMachine ReadPeMachine(const std::wstring& path);

// The machine this program was built for.
std::uint16_t ProgramMachine();

// "32-bit (x86)", "64-bit (x64)", ... or "machine 0x1234".
std::string MachineText(std::uint16_t machine);

}  // namespace kx::board::win
