// A fresh empty folder for the running test, named after it.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>

inline std::filesystem::path FreshTestDir() {
  const auto dir = std::filesystem::path(QRTOOL_TEST_TMP) /
                   ::testing::UnitTest::GetInstance()->current_test_info()->name();
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}
