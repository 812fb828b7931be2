#include "board/win/link_dll.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <string>

#include "board/win/win_cvn_cyusb_usb4.h"
#include "standin_paths.h"
#include "support/fake_operator.h"

namespace kx::board::win {
namespace {

using kx::testing::FakeOperator;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct PathCase {
  const char* given;
  const wchar_t* windows;
};

TEST(WindowsPath, TurnsEverySlashIntoABackslash) {
  const PathCase cases[] = {
      {CvnLibraryPath, L"c:\\Program Files\\Corvane\\USB Drivers\\CVN_CYUSB_USB4.dll"},
      {"Z:\\tmp/mixed\\folders/x.dll", L"Z:\\tmp\\mixed\\folders\\x.dll"},
      {"UsbBoardIo.dll", L"UsbBoardIo.dll"},
      {"c:/Programme/\xC3\x9C"
       "bung/x.dll",
       L"c:\\Programme\\\u00DCbung\\x.dll"},
  };
  for (const PathCase& c : cases) {
    EXPECT_EQ(WindowsPath(c.given), c.windows) << c.given;
  }
}

TEST(LinkDll, LoadsTheLibraryAtTheFirstLookupAndFreesItWhenDone) {
  FakeOperator port;
  const std::string path = CvnStandIn("cvn");
  const std::wstring windows_path = WindowsPath(path);
  {
    LinkDll dll(path, DllSearch::ByPath, port);
    EXPECT_FALSE(dll.Loaded());
    EXPECT_EQ(GetModuleHandleW(windows_path.c_str()), nullptr);

    LinkDll::Slot slot;
    constexpr std::array<const char*, 1> names = {"Connect"};
    EXPECT_NE(dll.Bind<LinkDll::AnyFunction>(slot, "Connect", names), nullptr);
    EXPECT_TRUE(dll.Loaded());
    EXPECT_NE(GetModuleHandleW(windows_path.c_str()), nullptr);
    EXPECT_TRUE(port.messages.empty());
  }
  EXPECT_EQ(GetModuleHandleW(windows_path.c_str()), nullptr);
}

TEST(LinkDll, FindsTheDllsALibraryNeedsInItsOwnFolder) {
  const std::string path = CvnStandIn("cvn-split");
  // Without the folder in the search, the library's helper is not found.
  ASSERT_EQ(LoadLibraryW(WindowsPath(path).c_str()), nullptr);
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  FakeOperator port;
  LinkDll dll(path, DllSearch::ByPath, port);
  LinkDll::Slot slot;
  constexpr std::array<const char*, 1> names = {"Search_For_Boards"};
  EXPECT_NE(dll.Bind<LinkDll::AnyFunction>(slot, "Search_For_Boards", names), nullptr);
  EXPECT_TRUE(port.messages.empty());
}

TEST(LinkDll, TriesTheNamesInOrder) {
  FakeOperator port;
  LinkDll dll(CvnStandIn("cvn"), DllSearch::ByPath, port);
  LinkDll::Slot first;
  LinkDll::Slot later;
  constexpr std::array<const char*, 2> connect_first = {"Connect", "Search_For_Boards"};
  constexpr std::array<const char*, 2> connect_later = {"_Connect@16", "Connect"};
  const auto found = dll.Bind<LinkDll::AnyFunction>(first, "Connect", connect_first);
  EXPECT_NE(found, nullptr);
  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(later, "Connect", connect_later), found);
  EXPECT_TRUE(port.messages.empty());
}

TEST(LinkDll, AFunctionUnderNoneOfItsNamesIsToldOnceAndEndsTheBinding) {
  FakeOperator port;
  LinkDll dll(CvnStandIn("cvn"), DllSearch::ByPath, port);
  LinkDll::Slot connect;
  LinkDll::Slot reset;
  LinkDll::Slot search;
  constexpr std::array<const char*, 1> connect_name = {"Connect"};
  constexpr std::array<const char*, 2> reset_names = {"_Reset_Board@4", "Reset_Board"};
  constexpr std::array<const char*, 1> search_name = {"Search_For_Boards"};
  ASSERT_NE(dll.Bind<LinkDll::AnyFunction>(connect, "Connect", connect_name), nullptr);

  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(reset, "Reset_Board", reset_names), nullptr);
  // A half-bound library is not trusted: functions found before or present
  // in the file answer as an absent board from now on.
  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(connect, "Connect", connect_name), nullptr);
  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(search, "Search_For_Boards", search_name), nullptr);
  EXPECT_TRUE(port.messages.empty());  // told at the first call that fails

  BoardList list{};
  std::int32_t number = 0;
  EXPECT_EQ(dll.Missing().Search_For_Boards(0x1234, 0x7312, number, list), LibraryMissingStatus);
  EXPECT_EQ(dll.Missing().Search_For_Boards(0x1234, 0x7312, number, list), LibraryMissingStatus);
  ASSERT_EQ(port.messages.size(), 1U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "cvn\\CVN_CYUSB_USB4.dll")) << text;
  EXPECT_TRUE(Contains(text,
                       "no function Reset_Board under any of the names _Reset_Board@4, "
                       "Reset_Board: "))
      << text;
  EXPECT_TRUE(Contains(text, "(error 127)")) << text;
}

TEST(LinkDll, ALibraryThatIsNotThereIsNamedWithTheSystemsReason) {
  FakeOperator port;
  LinkDll dll(CvnStandIn("nowhere"), DllSearch::ByPath, port);
  LinkDll::Slot slot;
  constexpr std::array<const char*, 1> names = {"Connect"};
  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(slot, "Connect", names), nullptr);
  EXPECT_TRUE(dll.Failed());
  EXPECT_FALSE(dll.Loaded());
  std::int32_t handle = 0;
  EXPECT_EQ(dll.Missing().Connect(0x1234, 0x7312, 0, handle), LibraryMissingStatus);

  ASSERT_EQ(port.messages.size(), 1U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "\\standins\\nowhere\\CVN_CYUSB_USB4.dll could not be loaded"))
      << text;
  EXPECT_TRUE(Contains(text, "(error 126)")) << text;
  EXPECT_EQ(port.messages[0].icon, MessageIcon::Critical);
}

TEST(LinkDll, ALibraryOfTheOtherBitnessIsRefusedWithTheReason) {
  if (std::string(KX_OTHER_BITNESS_DLL).empty()) {
    GTEST_SKIP() << "no compiler for the other bitness in this build";
  }
  FakeOperator port;
  LinkDll dll(KX_OTHER_BITNESS_DLL, DllSearch::ByPath, port);
  LinkDll::Slot slot;
  constexpr std::array<const char*, 1> names = {"Search_For_Boards"};
  EXPECT_EQ(dll.Bind<LinkDll::AnyFunction>(slot, "Search_For_Boards", names), nullptr);
  BoardList list{};
  std::int32_t number = 0;
  dll.Missing().Search_For_Boards(0x1234, 0x7312, number, list);
  ASSERT_EQ(port.messages.size(), 1U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "(error 193)")) << text;
  EXPECT_TRUE(Contains(text, sizeof(void*) == 8 ? "is a 32-bit (x86) library, and this 64-bit"
                                                : "is a 64-bit (x64) library, and this 32-bit"))
      << text;
}

TEST(LinkDll, ALibraryNamedWithoutAFolderIsFoundByTheSystemsSearch) {
  FakeOperator port;
  const std::wstring folder = WindowsPath(KX_STANDIN_DIR "/io-plain");
  ASSERT_TRUE(SetDllDirectoryW(folder.c_str()));
  {
    LinkDll dll("UsbBoardIo.dll", DllSearch::ByName, port);
    EXPECT_EQ(dll.FileName(), "UsbBoardIo.dll");
    LinkDll::Slot slot;
    constexpr std::array<const char*, 1> names = {"LoadFirmWare"};
    EXPECT_NE(dll.Bind<LinkDll::AnyFunction>(slot, "LoadFirmWare", names), nullptr);
    // Named from then on by where the search found it.
    const std::string found = dll.FileName();
    const std::string tail = "\\standins\\io-plain\\UsbBoardIo.dll";
    ASSERT_GT(found.size(), tail.size());
    EXPECT_EQ(found.substr(found.size() - tail.size()), tail);
  }
  SetDllDirectoryW(nullptr);
  EXPECT_TRUE(port.messages.empty());

  LinkDll nowhere("UsbBoardIo.dll", DllSearch::ByName, port);
  LinkDll::Slot slot;
  constexpr std::array<const char*, 1> names = {"LoadFirmWare"};
  EXPECT_EQ(nowhere.Bind<LinkDll::AnyFunction>(slot, "LoadFirmWare", names), nullptr);
  nowhere.Missing().LoadFirmWare("x");
  ASSERT_EQ(port.messages.size(), 1U);
  EXPECT_TRUE(Contains(port.messages[0].text, "UsbBoardIo.dll could not be loaded"));
  EXPECT_TRUE(Contains(port.messages[0].text, "(error 126)"));
}

}  // namespace
}  // namespace kx::board::win
