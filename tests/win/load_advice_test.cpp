// What the binding tells the operator about a library Windows refused: the
// file's own machine, read from its PE header, and where the right one goes.
#include "board/win/load_advice.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "board/win/link_dll.h"
#include "board/win/pe_machine.h"
#include "board/win/wide_text.h"
#include "standin_paths.h"
#include "support/temp_folder.h"

namespace kx::board::win {
namespace {

using kx::testing::TempFolder;
using kx::testing::WriteBytes;

// A DOS header whose offset at 0x3C points just past it, then `after`.
std::string DosHeaderThen(const std::string& after) {
  std::string bytes(0x40, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  return bytes + after;
}

struct HeaderCase {
  const char* what;
  std::string bytes;
  PeMachine::Kind kind;
  std::uint16_t machine;
};

TEST(ReadPeMachine, ReadsTheMachineFieldOnlyOfAWholePeHeader) {
  const HeaderCase cases[] = {
      {"empty", "", PeMachine::Kind::NotPe, 0},
      {"text", "LIBRARY CVN_CYUSB_USB4\nEXPORTS\n" + std::string(64, ' '), PeMachine::Kind::NotPe,
       0},
      {"DOS header cut short", "MZ\x90", PeMachine::Kind::NotPe, 0},
      {"PE header past the end", DosHeaderThen(""), PeMachine::Kind::NotPe, 0},
      {"no PE signature", DosHeaderThen(std::string("PX\0\0\x4C\x01", 6)), PeMachine::Kind::NotPe,
       0},
      {"machine cut short", DosHeaderThen(std::string("PE\0\0\x4C", 5)), PeMachine::Kind::NotPe, 0},
      {"x86", DosHeaderThen(std::string("PE\0\0\x4C\x01", 6)), PeMachine::Kind::Machine,
       MachineX86},
      {"x64", DosHeaderThen(std::string("PE\0\0\x64\x86", 6)), PeMachine::Kind::Machine,
       MachineX64},
      {"ARM64", DosHeaderThen(std::string("PE\0\0\x64\xAA", 6)), PeMachine::Kind::Machine,
       MachineArm64},
  };
  TempFolder folder;
  for (const HeaderCase& c : cases) {
    const std::string path = folder.File("library.dll");
    WriteBytes(path, c.bytes);
    const PeMachine found = ReadPeMachine(WindowsPath(path));
    EXPECT_EQ(found.kind, c.kind) << c.what;
    EXPECT_EQ(found.machine, c.machine) << c.what;
  }
  EXPECT_EQ(ReadPeMachine(WindowsPath(folder.File("none.dll"))).kind, PeMachine::Kind::Unreadable);
  // Our own stand-in was built for this program.
  const PeMachine standin = ReadPeMachine(WindowsPath(CvnStandIn("cvn")));
  EXPECT_EQ(standin.kind, PeMachine::Kind::Machine);
  EXPECT_EQ(standin.machine, ProgramMachine());
}

const std::string kOurs = sizeof(void*) == 8 ? "64-bit (x64)" : "32-bit (x86)";
const std::string kOther = sizeof(void*) == 8 ? "32-bit (x86)" : "64-bit (x64)";

struct AdviceCase {
  const char* what;
  std::string path;  // empty: a case that needs the other bitness's compiler
  DllSearch search;
  unsigned long error;
  std::string advice;
};

TEST(LoadAdvice, NamesTheFileItsBitnessAndWhereTheRightLibraryGoes) {
  TempFolder folder;
  const std::string not_pe = folder.File("CVN_CYUSB_USB4.dll");
  WriteBytes(not_pe, "not a library");
  // The split library alone, without the helper of its folder.
  const std::filesystem::path alone = folder.Path() / "alone";
  std::filesystem::create_directory(alone);
  std::filesystem::copy_file(CvnStandIn("cvn-split"), alone / "CVN_CYUSB_USB4.dll");
  const std::string alone_folder = Narrow(WindowsPath(alone.string()));
  const std::string standins = Narrow(WindowsPath(KX_STANDIN_DIR));

  const AdviceCase cases[] = {
      {"missing at its path", CvnStandIn("nowhere"), DllSearch::ByPath, ERROR_MOD_NOT_FOUND,
       "there is no such file: put the board's " + kOurs + " CVN_CYUSB_USB4.dll in " + standins +
           "\\nowhere"},
      {"other bitness", KX_OTHER_BITNESS_DLL, DllSearch::ByPath, ERROR_BAD_EXE_FORMAT,
       "the file is a " + kOther + " library, and this " + kOurs + " program loads only " + kOurs +
           " ones: put the board's " + kOurs + " CVN_CYUSB_USB4.dll in its place"},
      {"no library", not_pe, DllSearch::ByPath, ERROR_BAD_EXE_FORMAT,
       "the file is no Windows library: put the board's " + kOurs +
           " CVN_CYUSB_USB4.dll in its place"},
      {"a DLL it needs is missing", (alone / "CVN_CYUSB_USB4.dll").string(), DllSearch::ByPath,
       ERROR_MOD_NOT_FOUND,
       "the file is a " + kOurs +
           " library, so a DLL that it needs in turn is missing or of another bitness: put the "
           "DLLs that came with it in its folder, " +
           alone_folder},
      {"right and refused for another reason", CvnStandIn("cvn"), DllSearch::ByPath,
       ERROR_ACCESS_DENIED, ""},
      {"not found by the search", "NoSuchLinkLibrary.dll", DllSearch::ByName, ERROR_MOD_NOT_FOUND,
       "no folder of the library search holds it: put the board's " + kOurs +
           " NoSuchLinkLibrary.dll beside the program, in "},
  };
  for (const AdviceCase& c : cases) {
    if (c.path.empty()) {
      continue;  // no compiler for the other bitness in this build
    }
    const std::string advice = LoadAdvice(WindowsPath(c.path), c.search, c.error);
    EXPECT_EQ(advice.substr(0, c.advice.size()), c.advice) << c.what << ": " << advice;
    EXPECT_EQ(advice.empty(), c.advice.empty()) << c.what;
  }
}

TEST(LoadAdvice, NamesTheFileTheSearchFound) {
  if (std::string(KX_OTHER_BITNESS_DLL).empty()) {
    GTEST_SKIP() << "no compiler for the other bitness in this build";
  }
  const std::wstring found = WindowsPath(KX_OTHER_BITNESS_DLL);
  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
  ASSERT_TRUE(SetEnvironmentVariableW(L"PATH",
                                      (found.substr(0, found.rfind(L'\\')) + L";" + path).c_str()));
  const std::string advice =
      LoadAdvice(L"CVN_CYUSB_USB4.dll", DllSearch::ByName, ERROR_BAD_EXE_FORMAT);
  SetEnvironmentVariableW(L"PATH", path.c_str());
  EXPECT_EQ(advice, Narrow(found) + ", which the search found, is a " + kOther +
                        " library, and this " + kOurs + " program loads only " + kOurs +
                        " ones: put the board's " + kOurs + " CVN_CYUSB_USB4.dll in its place");
}

}  // namespace
}  // namespace kx::board::win
