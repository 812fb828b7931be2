// On Windows: a link library that cannot be loaded gets a box of its own,
// saying what to do, before the panel's "No Evaluation Board Found"; the
// window then comes up as without a board.
#include <gtest/gtest.h>

#include <string>

#include "board/win/link_dll.h"
#include "board/win/wide_text.h"
#include "board/win/win_cvn_cyusb_usb4.h"
#include "board/win/win_usb_board_io.h"
#include "panel/panel_rig.h"
#include "support/temp_folder.h"

namespace kx::testing {
namespace {

TEST(WindowsLinkNotice, SaysWhatToDoAboutTheLibraryBeforeNoBoard) {
  // The headers of a 32-bit library, as vendors often ship: Windows refuses
  // the file in a 64-bit program whatever follows them.
  TempFolder folder;
  const std::string path = folder.File("CVN_CYUSB_USB4.dll");
  std::string x86(0x40, '\0');
  x86[0] = 'M';
  x86[1] = 'Z';
  x86[0x3C] = 0x40;
  WriteBytes(path, x86 + std::string("PE\0\0\x4C\x01", 6) + std::string(0x200, '\0'));

  panel::PanelOperatorPort port;
  board::win::WinCvnCyusbUsb4 cvn(port, path);
  board::win::WinUsbBoardIo io(port);
  panel::FrmStartup window(Version2Edition, board::LinkLibraries{&cvn, &io}, port,
                           FirmwareFolder());
  ModalWatcher watcher([&window] { return window.isVisible(); });
  window.Form_Load();
  window.show();

  ASSERT_EQ(watcher.boxes.size(), 2U);
  const std::string& notice = watcher.boxes[0].text;
  const std::string start = "The link library " +
                            board::win::Narrow(board::win::WindowsPath(path)) +
                            " could not be loaded: ";
  const std::string end =
      "(error 193); the file is a 32-bit (x86) library, and this 64-bit (x64) program loads only "
      "64-bit (x64) ones: put the board's 64-bit (x64) CVN_CYUSB_USB4.dll in its place\n"
      "The panel carries on without a board.";
  ASSERT_GT(notice.size(), start.size() + end.size()) << notice;
  EXPECT_EQ(notice.substr(0, start.size()), start) << notice;
  EXPECT_EQ(notice.substr(notice.size() - end.size()), end) << notice;
  EXPECT_EQ(watcher.boxes[0].icon, QMessageBox::Critical);
  EXPECT_EQ(watcher.boxes[1].text, "No Evaluation Board Found");
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace kx::testing
