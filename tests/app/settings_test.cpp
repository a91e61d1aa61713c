// The 24-byte settings file: layout, sizes that are ignored, missing file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/module_dir.h"
#include "app/settings.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(QRTOOL_TEST_TMP) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    SetModuleDirectory(dir_.c_str());
    SetDefaultSettings();
  }
  fs::path file() const { return dir_ / "pa.dat"; }
  std::string ReadFile() const {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFile(const std::string& bytes) const {
    std::ofstream(file(), std::ios::binary) << bytes;
  }
  static void Set(const char* address, int32_t port, int32_t interval) {
    std::memset(InterfaceSettings.SendAddress, 0, 16);
    std::memcpy(InterfaceSettings.SendAddress, address, std::min<size_t>(std::strlen(address), 16));
    InterfaceSettings.SendPort = port;
    InterfaceSettings.RepeatInterval = interval;
  }
  fs::path dir_;
};

TEST_F(SettingsTest, SavedBytesHoldAddressThenPortThenIntervalLittleEndianAndLoadBack) {
  const struct {
    const char* address;
    int32_t port, interval;
    std::string bytes;
  } cases[] = {
      {"192.168.1.20", 6000, 5, std::string("192.168.1.20\0\0\0\0\x70\x17\0\0\x05\0\0\0", 24)},
      // Fifteen characters: the NUL is the sixteenth byte.
      {"255.255.255.255", 9981, 1, std::string("255.255.255.255\0\xFD\x26\0\0\x01\0\0\0", 24)},
      {"10.0.0.7", 999999, 0, std::string("10.0.0.7\0\0\0\0\0\0\0\0\x3F\x42\x0F\0\0\0\0\0", 24)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    WriteFile(std::string(100, 'x'));  // a longer file is replaced
    Set(c.address, c.port, c.interval);
    ASSERT_EQ(SaveSettings(), 1);
    EXPECT_EQ(ReadFile(), c.bytes);
    SetDefaultSettings();
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_STREQ(InterfaceSettings.SendAddress, c.address);
    EXPECT_EQ(InterfaceSettings.SendPort, c.port);
    EXPECT_EQ(InterfaceSettings.RepeatInterval, c.interval);
  }
}

TEST_F(SettingsTest, FileOfWrongSizeIsIgnoredAndLeftAsItIs) {
  for (size_t size : {0u, 23u, 25u}) {
    SCOPED_TRACE(size);
    std::string bytes(size, '\x07');
    WriteFile(bytes);
    SetDefaultSettings();
    EXPECT_EQ(LoadSettings(), 0);
    EXPECT_STREQ(InterfaceSettings.SendAddress, "127.0.0.1");
    EXPECT_EQ(InterfaceSettings.SendPort, 9981);
    EXPECT_EQ(InterfaceSettings.RepeatInterval, 1);
    EXPECT_EQ(ReadFile(), bytes);
  }
}

TEST_F(SettingsTest, MissingOrUnreadableFileGivesMinusOne) {
  EXPECT_EQ(LoadSettings(), -1);
  fs::create_directory(file());  // a folder where the file should be
  EXPECT_EQ(LoadSettings(), -1);
  EXPECT_EQ(SaveSettings(), -1);
  EXPECT_STREQ(InterfaceSettings.SendAddress, "127.0.0.1");
}

TEST_F(SettingsTest, NonsenseOfTheRightSizeIsTakenAsItIs) {
  std::string bytes("not an address!!" "\x01\x02\x03\x04" "\x00\x00\x00\x80", 24);
  WriteFile(bytes);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(std::string(InterfaceSettings.SendAddress, 16), "not an address!!");
  EXPECT_EQ(InterfaceSettings.SendPort, 0x04030201);
  EXPECT_EQ(InterfaceSettings.RepeatInterval, INT32_MIN);
  // Saving an address of 16 bytes with no NUL writes exactly those 16 bytes.
  ASSERT_EQ(SaveSettings(), 1);
  EXPECT_EQ(ReadFile(), bytes);
}

}  // namespace
