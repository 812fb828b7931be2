#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QTest>
#include <string>

#include "support/temp_folder.h"
#include "view/viewer_window.h"

namespace kx::view {

// A viewer window shown on the offscreen screen, and a private folder for
// the files it opens.
class ViewerWindowFixture : public ::testing::Test {
 protected:
  ViewerWindowFixture() {
    window_.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }

  template <typename T>
  T* Find(const char* name) {
    T* widget = window_.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QString Write(const std::string& name, const std::string& text) {
    const std::string path = folder_.File(name);
    kx::testing::WriteBytes(path, text);
    return QString::fromStdString(path);
  }

  kx::testing::TempFolder folder_;
  ViewerWindow window_;
};

}  // namespace kx::view
