#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");  // as the program's start does: the run's LANG / LC_ALL rule
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
