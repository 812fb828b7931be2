// What the binding says about a library Windows refused: the file's machine,
// read from its PE header, and where the right library goes.
#include "board/win/load_advice.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "board/win/pe_machine.h"
#include "board/win/wide_text.h"
#include "standin_paths.h"
#include "support/temp_folder.h"

namespace kx::board::win {
namespace {

using kx::testing::TempFolder;
using kx::testing::WriteBytes;

// A DOS header pointing just past itself, then `after`.
std::string DosHeaderThen(const std::string& after) {
  std::string bytes(0x40, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  return bytes + after;
}

TEST(ReadPeMachine, ReadsTheMachineFieldOnlyOfAWholePeHeader) {
  const struct {
    std::string bytes;
    std::uint16_t machine;  // 0: no PE file
  } cases[] = {
      {"", 0},
      {"MZ\x90", 0},
      {DosHeaderThen(""), 0},
      {DosHeaderThen(std::string("PX\0\0\x4C\x01", 6)), 0},
      {DosHeaderThen(std::string("PE\0\0\x4C", 5)), 0},
      {DosHeaderThen(std::string("PE\0\0\x4C\x01", 6)), MachineX86},
      {DosHeaderThen(std::string("PE\0\0\x64\xAA", 6)), MachineArm64},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    WriteBytes(folder.File("x.dll"), c.bytes);
    const PeMachine found = ReadPeMachine(WindowsPath(folder.File("x.dll")));
    EXPECT_EQ(found.kind, c.machine ? PeMachine::Kind::Machine : PeMachine::Kind::NotPe);
    EXPECT_EQ(found.machine, c.machine) << c.bytes.size();
  }
  EXPECT_EQ(ReadPeMachine(WindowsPath(folder.File("none.dll"))).kind, PeMachine::Kind::Unreadable);
  EXPECT_EQ(ReadPeMachine(WindowsPath(CvnStandIn("cvn"))).machine, ProgramMachine());
}

const std::string kOurs = sizeof(void*) == 8 ? "64-bit (x64)" : "32-bit (x86)";
const std::string kOther = sizeof(void*) == 8 ? "32-bit (x86)" : "64-bit (x64)";
const std::string kWrongBitness = " library, and this " + kOurs + " program loads only " + kOurs +
                                  " ones: put the board's " + kOurs +
                                  " CVN_CYUSB_USB4.dll in its place";

// The missing and the wrong-bitness library at the path are checked word for
// word on kx7312ctl's messages (ctl_case.sh).
TEST(LoadAdvice, NamesTheFileItsBitnessAndWhereTheRightLibraryGoes) {
  TempFolder folder;
  WriteBytes(folder.File("CVN_CYUSB_USB4.dll"), "not a library");
  // The split library without the helper of its folder.
  std::filesystem::create_directory(folder.Path() / "alone");
  const std::string alone = folder.File("alone/CVN_CYUSB_USB4.dll");
  std::filesystem::copy_file(CvnStandIn("cvn-split"), alone);
  // The search finds the library of the other bitness first.
  const std::wstring other = WindowsPath(KX_OTHER_BITNESS_DLL);
  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
  SetEnvironmentVariableW(L"PATH", (other.substr(0, other.rfind(L'\\')) + L";" + path).c_str());

  const struct {
    std::string path;
    DllSearch search;
    unsigned long error;
    std::string advice;  // how it starts
  } cases[] = {
      {folder.File("CVN_CYUSB_USB4.dll"), DllSearch::ByPath, ERROR_BAD_EXE_FORMAT,
       "the file is no Windows library: put the board's " + kOurs +
           " CVN_CYUSB_USB4.dll in its place"},
      {alone, DllSearch::ByPath, ERROR_MOD_NOT_FOUND,
       "the file is a " + kOurs +
           " library, so a DLL that it needs in turn is missing or of another bitness: put the "
           "DLLs that came with it in its folder, " +
           Narrow(WindowsPath(folder.File("alone")))},
      {CvnStandIn("cvn"), DllSearch::ByPath, ERROR_ACCESS_DENIED, ""},
      {other.empty() ? "" : "CVN_CYUSB_USB4.dll", DllSearch::ByName, ERROR_BAD_EXE_FORMAT,
       Narrow(other) + ", which the search found, is a " + kOther + kWrongBitness},
  };
  for (const auto& c : cases) {
    if (!c.path.empty()) {  // empty: no compiler for the other bitness here
      const std::string advice = LoadAdvice(WindowsPath(c.path), c.search, c.error);
      EXPECT_EQ(advice.substr(0, c.advice.size()), c.advice) << advice;
      EXPECT_EQ(advice.empty(), c.advice.empty()) << c.path;
    }
  }
  SetEnvironmentVariableW(L"PATH", path.c_str());
}

}  // namespace
}  // namespace kx::board::win
