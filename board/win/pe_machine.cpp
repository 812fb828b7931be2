#include "board/win/pe_machine.h"

#include <fmt/format.h>
#include <windows.h>

#include <array>

namespace kx::board::win {

namespace {

// Reads `bytes.size()` bytes at `offset`; false when the file is shorter.
template <std::size_t N>
bool ReadAt(HANDLE file, std::uint32_t offset, std::array<unsigned char, N>& bytes) {
  LARGE_INTEGER at{};
  at.QuadPart = offset;
  DWORD got = 0;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ReadFile(file, bytes.data(), static_cast<DWORD>(N), &got, nullptr) && got == N;
}

}  // namespace

PeMachine ReadPeMachine(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {};
  }
  PeMachine found{PeMachine::Kind::NotPe, 0};
  // The DOS header starts "MZ" and holds at 0x3C the offset of "PE\0\0",
  // which the 16-bit Machine field follows.
  std::array<unsigned char, 0x40> dos{};
  std::array<unsigned char, 6> pe{};
  if (ReadAt(file, 0, dos) && dos[0] == 'M' && dos[1] == 'Z') {
    const std::uint32_t pe_offset = dos[0x3C] | (dos[0x3D] << 8) |
                                    (static_cast<std::uint32_t>(dos[0x3E]) << 16) |
                                    (static_cast<std::uint32_t>(dos[0x3F]) << 24);
    if (ReadAt(file, pe_offset, pe) && pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0) {
      found = {PeMachine::Kind::Machine, static_cast<std::uint16_t>(pe[4] | (pe[5] << 8))};
    }
  }
  CloseHandle(file);
  return found;
}

std::uint16_t ProgramMachine() {
#if defined(__aarch64__) || defined(_M_ARM64)
  return MachineArm64;
#elif defined(__arm__) || defined(_M_ARM)
  return MachineArm;
#elif defined(__x86_64__) || defined(_M_X64)
  return MachineX64;
#else
  return MachineX86;
#endif
}

std::string MachineText(std::uint16_t machine) {
  switch (machine) {
    case MachineX86:
      return "32-bit (x86)";
    case MachineX64:
      return "64-bit (x64)";
    case MachineArm:
      return "32-bit ARM";
    case MachineArm64:
      return "64-bit ARM";
    default:
      return fmt::format("machine 0x{:04X}", machine);
  }
}

}  // namespace kx::board::win
