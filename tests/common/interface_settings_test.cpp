// The 24-byte settings file: layout, sizes that are ignored, missing file, odd contents.
#include "common/interface_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/test_dir.h"

namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  fs::path file() const { return dir_ / "pa.dat"; }
  std::string ReadFile() const {
    std::ifstream in(file(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteFile(const std::string& bytes) const { std::ofstream(file(), std::ios::binary) << bytes; }
  const fs::path dir_ = FreshTestDir();
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.address);
    WriteFile(std::string(100, 'x'));  // a longer file is replaced
    InterfaceSettings settings;
    SetSendAddress(&settings, c.address);
    settings.sendPort = c.port;
    settings.repeatInterval = c.interval;
    ASSERT_EQ(SaveSettings(dir_.string(), settings), 1);
    EXPECT_EQ(ReadFile(), c.bytes);
    InterfaceSettings loaded;
    ASSERT_EQ(LoadSettings(dir_.string(), &loaded), 1);
    EXPECT_EQ(SendAddressText(loaded), c.address);
    EXPECT_EQ(loaded.sendPort, c.port);
    EXPECT_EQ(loaded.repeatInterval, c.interval);
  }
}

TEST_F(SettingsTest, WrongSizeOrMissingFileLeavesTheDefaultsAndOddBytesRoundTrip) {
  InterfaceSettings settings;
  EXPECT_EQ(LoadSettings(dir_.string(), &settings), -1);
  for (size_t size : {0u, 23u, 25u}) {
    SCOPED_TRACE(size);
    WriteFile(std::string(size, '\x07'));
    EXPECT_EQ(LoadSettings(dir_.string(), &settings), 0);
    EXPECT_EQ(ReadFile(), std::string(size, '\x07'));
  }
  fs::remove(file());
  fs::create_directory(file());  // a folder where the file should be
  EXPECT_EQ(LoadSettings(dir_.string(), &settings), -1);
  EXPECT_EQ(SaveSettings(dir_.string(), settings), -1);
  EXPECT_EQ(SendAddressText(settings), "127.0.0.1");
  EXPECT_EQ(settings.sendPort, 9981);
  EXPECT_EQ(settings.repeatInterval, 1);
  // Sixteen address bytes without a NUL, and every byte of both numbers, round trip.
  fs::remove(file());
  const std::string bytes("not an address!!" "\x01\x02\x03\x04" "\x00\x00\x00\x80", 24);
  WriteFile(bytes);
  ASSERT_EQ(LoadSettings(dir_.string(), &settings), 1);
  EXPECT_EQ(SendAddressText(settings), "not an address!!");
  EXPECT_EQ(settings.sendPort, 0x04030201);
  EXPECT_EQ(settings.repeatInterval, INT32_MIN);
  ASSERT_EQ(SaveSettings(dir_.string(), settings), 1);
  EXPECT_EQ(ReadFile(), bytes);
}

}  // namespace
