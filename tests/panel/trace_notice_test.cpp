// A trace file that cannot be written: the operator hears of it once, after
// the handler that ran into it, and the panel goes on with the board.
#include "panel/trace_notice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_backend.h"
#include "panel/frm_startup.h"
#include "panel/modal_watcher.h"
#include "panel/panel_actions.h"
#include "panel/panel_operator_port.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"
#include "support/temp_folder.h"

namespace kx::testing {
namespace {

// The window as the programs start it, on the simulated board, with its
// trace going to a file that takes no bytes.
struct TracedWindow {
  explicit TracedWindow(const std::string& settings = {}) {
    board::LinkOptions options;
    options.simulate = true;
    options.trace = "/dev/full";
    if (!settings.empty()) {
      options.sim_settings = settings;
    }
    auto created = board::LinkBackend::Create(Version2Edition.link, options, port);
    if (auto* error = std::get_if<std::string>(&created)) {
      ADD_FAILURE() << *error;
      return;
    }
    backend = std::move(std::get<std::unique_ptr<board::LinkBackend>>(created));
    backend->OnTraceFailure([this](const std::string& problem) { notice.Report(problem); });
    window = std::make_unique<panel::FrmStartup>(Version2Edition, backend->Libraries(), port,
                                                 FirmwareFolder());
    watcher = std::make_unique<ModalWatcher>([this] { return window->isVisible(); });
  }
  ~TracedWindow() {
    watcher.reset();
    window.reset();
  }

  void Start() {
    window->Form_Load();
    window->show();
    QApplication::setActiveWindow(window.get());
  }

  // Lets queued work run until `count` boxes came up or `wait_ms` passed.
  void AwaitBoxes(std::size_t count, qint64 wait_ms = 5000) const {
    QElapsedTimer clock;
    clock.start();
    while (watcher->boxes.size() < count && clock.elapsed() < wait_ms) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    // Long enough for a second message, if one were coming, to show up.
    const qint64 settled = clock.elapsed();
    while (clock.elapsed() < settled + 300) {
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
  }

  panel::PanelOperatorPort port;
  panel::TraceNotice notice{port};
  std::unique_ptr<board::LinkBackend> backend;
  std::unique_ptr<panel::FrmStartup> window;
  std::unique_ptr<ModalWatcher> watcher;
};

bool NamesTheTraceFailure(const ModalWatcher::Box& box) {
  return box.title == panel::TraceNotice::Title &&
         box.text.starts_with("The trace file /dev/full could not be written (") &&
         box.icon == QMessageBox::Warning;
}

TEST(TraceNotice, ComesOnceAfterTheHandlerThatRanIntoIt) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  TracedWindow traced;
  ASSERT_NE(traced.window, nullptr);

  // Start-up already fails the trace; its message comes once the window is up.
  traced.Start();
  traced.AwaitBoxes(1);
  ASSERT_EQ(traced.watcher->boxes.size(), 1U);
  EXPECT_TRUE(NamesTheTraceFailure(traced.watcher->boxes[0])) << traced.watcher->boxes[0].text;
  EXPECT_TRUE(traced.watcher->boxes[0].window_visible);

  // The board link went on without its trace; nothing more is said.
  Retype(*traced.window, traced.window->Text2, QStringLiteral("8310"));
  Click(*traced.window, traced.window->cmdReadADC);
  Click(*traced.window, traced.window->cmdWriteADC);
  traced.AwaitBoxes(2, 500);
  EXPECT_EQ(traced.watcher->boxes.size(), 1U);
  EXPECT_EQ(traced.window->Label2->text().toStdString(), "ADC Write: 0x8310");
}

TEST(TraceNotice, WaitsForTheOperationsOwnBox) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  TempFolder folder;
  WriteBytes(folder.File("absent.json"), R"({"present": false})");
  TracedWindow traced(folder.File("absent.json"));
  ASSERT_NE(traced.window, nullptr);
  bool form_load_done = false;
  std::vector<bool> done_as_shown;
  traced.watcher->on_box = [&] { done_as_shown.push_back(form_load_done); };

  traced.Start();
  form_load_done = true;
  traced.AwaitBoxes(2);
  ASSERT_EQ(traced.watcher->boxes.size(), 2U);
  EXPECT_EQ(traced.watcher->boxes[0].text, "No Evaluation Board Found");
  EXPECT_TRUE(NamesTheTraceFailure(traced.watcher->boxes[1])) << traced.watcher->boxes[1].text;
  EXPECT_EQ(done_as_shown, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace kx::testing
