#include <gtest/gtest.h>

#include <QApplication>

namespace {

// The offscreen platform reports, for every window, that it cannot pass size
// hints on; that is noise in a test log.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains(QStringLiteral("propagateSizeHints"))) {
    return;
  }
  qt_message_output(type, context, message);
}

}  // namespace

// Every Qt test (the panel's, the viewer's) runs on real widgets of one
// application, drawn offscreen unless a display is asked for.
int main(int argc, char** argv) {
  qInstallMessageHandler(QuietHandler);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
