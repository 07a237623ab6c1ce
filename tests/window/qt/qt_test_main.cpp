#include <gtest/gtest.h>

#include <QApplication>

// Only QApplication: the tests check that Qt's start selects the user's locale for the core, as
// the program relies on.
int main(int argc, char** argv) {
  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
