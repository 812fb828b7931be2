// The programs' link backend on Windows: without --simulate they bind the
// vendor's libraries, not the simulated board.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/firmware_path.h"
#include "board/usb_board_io_link.h"
#include "board/win/link_dll.h"
#include "session/edition.h"
#include "standin_paths.h"
#include "support/fake_operator.h"

namespace kx::board {
namespace {

using kx::testing::FakeOperator;

std::unique_ptr<LinkBackend> Created(const Edition& edition, const LinkOptions& options,
                                     FakeOperator& port) {
  auto created = LinkBackend::Create(edition.link, options, port);
  if (auto* error = std::get_if<std::string>(&created)) {
    ADD_FAILURE() << *error;
    return nullptr;
  }
  return std::move(std::get<std::unique_ptr<LinkBackend>>(created));
}

TEST(WindowsLinkBackend, TheClassicProgramFindsUsbBoardIoThroughTheLibrarySearch) {
  const std::wstring folder = board::win::WindowsPath(board::win::StandIn("io-decorated", ""));
  ASSERT_TRUE(SetDllDirectoryW(folder.c_str()));
  FakeOperator port;
  {
    std::unique_ptr<LinkBackend> backend = Created(ClassicEdition, {}, port);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->Simulated(), nullptr);
    board::UsbBoardIoLink link(*backend->Libraries().io, board::ProgramFolder());
    port.ShowLoad(link.LoadUSB());
    EXPECT_EQ(link.State().LinkStatus, 0);
    HMODULE loaded = GetModuleHandleW(L"UsbBoardIo.dll");
    ASSERT_NE(loaded, nullptr);
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(loaded, path, MAX_PATH);
    EXPECT_NE(std::wstring(path).find(L"\\io-decorated\\UsbBoardIo.dll"), std::wstring::npos);
  }
  SetDllDirectoryW(nullptr);
  EXPECT_TRUE(port.messages.empty());
}

TEST(WindowsLinkBackend, WithoutTheLibraryTheProgramIsToldAndCarriesOn) {
  FakeOperator port;
  std::unique_ptr<LinkBackend> backend = Created(ClassicEdition, {}, port);
  ASSERT_NE(backend, nullptr);
  board::UsbBoardIoLink link(*backend->Libraries().io, board::ProgramFolder());
  port.ShowLoad(link.LoadUSB());
  ASSERT_EQ(port.messages.size(), 2U);
  EXPECT_NE(port.messages[0].text.find("UsbBoardIo.dll could not be loaded"), std::string::npos);
  EXPECT_EQ(port.messages[1].text, "No Evaluation Board Found");
}

TEST(WindowsLinkBackend, RefusesTheOptionsOfTheUsbBackend) {
  FakeOperator port;
  LinkOptions options;
  options.usb_bus = "1:5";
  auto created = LinkBackend::Create(Version2Edition.link, options, port);
  ASSERT_TRUE(std::holds_alternative<std::string>(created));
  EXPECT_NE(std::get<std::string>(created).find("vendor's link library"), std::string::npos);
  EXPECT_TRUE(port.messages.empty());
}

}  // namespace
}  // namespace kx::board
