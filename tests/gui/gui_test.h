// The window's tests: Qt Test classes run by one executable on the
// offscreen platform, one CTest test per class ("gui_tests CLASS").
#ifndef PAGEWRIGHT_TESTS_GUI_GUI_TEST_H_
#define PAGEWRIGHT_TESTS_GUI_GUI_TEST_H_

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

#include "gui/window_port.h"

namespace pagewright::testing {

using TestFactory = std::function<std::unique_ptr<QObject>()>;
struct GuiTestRegistration {
  GuiTestRegistration(const char* name, TestFactory factory);
};

// Message boxes that are recorded and answered with `answer`.
struct RecordedMessages {
  QStringList told;
  bool answer = true;
  Messages Make() {
    Messages m;
    m.inform = [this](const QString& text, MessageIcon) { told << text; };
    m.ask = [this](const QString& text, MessageIcon) {
      told << text;
      return answer;
    };
    return m;
  }
};

}  // namespace pagewright::testing

#endif  // PAGEWRIGHT_TESTS_GUI_GUI_TEST_H_
