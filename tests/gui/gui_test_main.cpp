#include <QApplication>
#include <QStandardPaths>
#include <QTest>
#include <cstdio>
#include <map>
#include <string>

#include "gui_test.h"

namespace pagewright::testing {
namespace {
std::map<std::string, TestFactory>& Registry() {
  static std::map<std::string, TestFactory> tests;
  return tests;
}
}  // namespace

GuiTestRegistration::GuiTestRegistration(const char* name, TestFactory factory) {
  Registry()[name] = std::move(factory);
}

}  // namespace pagewright::testing

// gui_tests [CLASS [Qt Test options]]: the one class, or every class.
int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStandardPaths::setTestModeEnabled(true);  // settings of the tests' own
  QApplication::setOrganizationName(QStringLiteral("KorvaneTests"));
  QApplication::setApplicationName(QStringLiteral("PagewrightGuiTests"));
  auto& tests = pagewright::testing::Registry();
  int failed = 0;
  if (argc > 1 && argv[1][0] != '-') {
    auto it = tests.find(argv[1]);
    if (it == tests.end()) {
      std::fprintf(stderr, "gui_tests: no test class %s\n", argv[1]);
      return 1;
    }
    auto test = it->second();
    argv[1] = argv[0];
    return QTest::qExec(test.get(), argc - 1, argv + 1);
  }
  for (auto& [name, factory] : tests) {
    auto test = factory();
    failed += QTest::qExec(test.get(), argc, argv);
  }
  return failed == 0 ? 0 : 1;
}
