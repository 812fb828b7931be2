// On Windows: a link library that cannot be loaded is named in a box of its
// own, with what to do about it, before the panel's "No Evaluation Board
// Found"; the window then comes up as without a board.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "board/win/link_dll.h"
#include "board/win/wide_text.h"
#include "board/win/win_cvn_cyusb_usb4.h"
#include "board/win/win_usb_board_io.h"
#include "panel/panel_rig.h"
#include "support/temp_folder.h"

namespace kx::testing {
namespace {

struct NoticeCase {
  const char* what;
  std::string file;    // what lies at the library's path; empty: nothing
  std::string advice;  // what the notice says after the system's reason
};

TEST(WindowsLinkNotice, NamesTheLibraryAndWhatToDoBeforeNoBoard) {
  TempFolder folder;
  const std::string path = folder.File("CVN_CYUSB_USB4.dll");
  const std::string shown = board::win::Narrow(board::win::WindowsPath(path));
  // The headers of a 32-bit library, as vendors often ship: Windows refuses
  // the file in a 64-bit program, whatever follows them.
  std::string x86(0x40, '\0');
  x86[0] = 'M';
  x86[1] = 'Z';
  x86[0x3C] = 0x40;
  x86 += std::string("PE\0\0\x4C\x01", 6) + std::string(0x200, '\0');
  const NoticeCase cases[] = {
      {"missing", "",
       "; there is no such file: put the board's 64-bit (x64) CVN_CYUSB_USB4.dll in " +
           shown.substr(0, shown.rfind('\\'))},
      {"32-bit", x86,
       "; the file is a 32-bit (x86) library, and this 64-bit (x64) program loads only 64-bit "
       "(x64) ones: put the board's 64-bit (x64) CVN_CYUSB_USB4.dll in its place"},
  };
  for (const NoticeCase& c : cases) {
    std::filesystem::remove(path);
    if (!c.file.empty()) {
      WriteBytes(path, c.file);
    }
    panel::PanelOperatorPort port;
    board::win::WinCvnCyusbUsb4 cvn(port, path);
    board::win::WinUsbBoardIo io(port);
    panel::FrmStartup window(Version2Edition, board::LinkLibraries{&cvn, &io}, port,
                             FirmwareFolder());
    ModalWatcher watcher([&window] { return window.isVisible(); });
    window.Form_Load();
    window.show();

    ASSERT_EQ(watcher.boxes.size(), 2U) << c.what;
    const std::string& notice = watcher.boxes[0].text;
    const std::string start = "The link library " + shown + " could not be loaded: ";
    EXPECT_EQ(notice.substr(0, start.size()), start) << c.what << ": " << notice;
    const std::string end = c.advice + "\nThe panel carries on without a board.";
    ASSERT_GT(notice.size(), end.size()) << notice;
    EXPECT_EQ(notice.substr(notice.size() - end.size()), end) << c.what << ": " << notice;
    EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(watcher.boxes[1].text, "No Evaluation Board Found") << c.what;
    EXPECT_TRUE(window.isVisible());
  }
}

}  // namespace
}  // namespace kx::testing
