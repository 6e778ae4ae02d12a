// Text forms of registry values, the INI step's lines and the system-information recipes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/changes/ini_text.h"
#include "engine/changes/system_info_text.h"
#include "engine/changes/value_text.h"

namespace tarn {
namespace {

std::string Data(int type, const std::string& text, size_t capacity = 64) {
  std::vector<char> buffer(capacity, '#');
  std::memcpy(buffer.data(), text.c_str(), text.size() + 1);
  size_t size = TextToValueData(type, buffer.data(), capacity);
  EXPECT_LE(size, capacity);
  return std::string(buffer.data(), size);
}

std::string Text(int type, const std::string& data) {
  return ValueDataToText(type, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

TEST(ValueText, Tables) {
  EXPECT_EQ(RegistryRootHandle(0), 0x80000000u);
  EXPECT_EQ(RegistryRootHandle(4), 0x80000005u);
  EXPECT_EQ(RegistryRootHandle(5), 0u);
  EXPECT_EQ(RegistryRootHandle(-1), 0u);
  const uint32_t types[] = {1, 2, 7, 4, 3};
  for (int i = 0; i < kRegistryTypeCount; ++i) {
    EXPECT_EQ(RegistryTypeOf(i), types[i]);
    EXPECT_EQ(TypeIndexOf(types[i]), i);
  }
  EXPECT_EQ(RegistryTypeOf(5), 0u);
  EXPECT_EQ(TypeIndexOf(11), -1);  // REG_QWORD counts as absent
  EXPECT_EQ(TypeIndexOf(0), -1);
}

TEST(ValueText, RoundTrips) {
  using namespace std::string_literals;
  struct Case {
    int type;
    std::string text, data, readBack;
  };
  const Case cases[] = {
      {kTypeString, "plain", "plain\0"s, "plain"},
      {kTypeExpandString, "%SystemRoot%\\x", "%SystemRoot%\\x\0"s, "%SystemRoot%\\x"},
      {kTypeString, "", "\0"s, ""},
      {kTypeMultiString, "a\r\nb", "a\0b\0\0"s, "a\r\nb"},
      {kTypeMultiString, "a\rb\x7f" "c", "a\0b\0c\0\0"s, "a\r\nb\r\nc"},
      {kTypeMultiString, "", "\0\0"s, ""},
      {kTypeBytes, "0a 1B f", "\x0a\x1b"s, "0A1B"},
      {kTypeBytes, "0 a-1,b", "\x0a\x1b"s, "0A1B"},
      {kTypeBytes, "ff00zz", "\xff\x00"s, "FF00"},
      {kTypeBytes, "", ""s, ""},
      {kTypeNumber, "1234", "\xd2\x04\0\0"s, "1234"},
      {kTypeNumber, "  42abc", "\x2a\0\0\0"s, "42"},
      {kTypeNumber, "none", "\0\0\0\0"s, "0"},
      {kTypeNumber, "4294967295", "\xff\xff\xff\xff"s, "4294967295"},
      {kTypeNumber, "-1", "\xff\xff\xff\xff"s, "4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string data = Data(c.type, c.text);
    EXPECT_EQ(data, c.data);
    EXPECT_EQ(Text(c.type, data), c.readBack);
  }
}

TEST(ValueText, ReadingOddData) {
  using namespace std::string_literals;
  // Strings without a terminator end with the data; a multi-string ends at its empty string.
  EXPECT_EQ(Text(kTypeString, "abc"), "abc");
  EXPECT_EQ(Text(kTypeString, "ab\0cd"s), "ab");
  EXPECT_EQ(Text(kTypeMultiString, "a\0\0b\0\0"s), "a");
  EXPECT_EQ(Text(kTypeMultiString, "a\0b"s), "a\r\nb");
  EXPECT_EQ(Text(kTypeNumber, "\x01\x01"s), "257");
}

TEST(ValueText, LongTextsAreCutNeverOverflowed) {
  // A multi-string that fills its buffer loses its last character to make room for the
  // final NUL; nothing is written past the buffer (the guard byte stays).
  std::vector<char> buffer(9, '#');
  std::memcpy(buffer.data(), "ab\r\ncdef", 9);
  size_t size = TextToValueData(kTypeMultiString, buffer.data(), 8);
  // The text was cut to "ab" CR LF "cd".
  EXPECT_EQ(std::string(buffer.data(), size), std::string("ab\0cd\0\0", 7));
  EXPECT_EQ(buffer[8], '\0');  // the original terminator, untouched

  EXPECT_EQ(TextToValueData(kTypeNumber, buffer.data(), 3), 0u);  // no room for a number

  // The read form: bytes at most 511 and at most half the buffer less one.
  std::vector<uint8_t> bytes(600, 0xAB);
  char small[11];
  ReadValueText(kTypeBytes, bytes.data(), bytes.size(), small, sizeof small);
  EXPECT_STREQ(small, "ABABABAB");  // 11 / 2 - 1 = 4 bytes
  std::vector<char> big(4096);
  ReadValueText(kTypeBytes, bytes.data(), bytes.size(), big.data(), big.size());
  EXPECT_EQ(std::strlen(big.data()), 511u * 2);
  // Multi-strings grow when read (NUL -> CR LF) and are cut at the buffer.
  std::string multi("aaaa\0bbbb\0\0", 11);
  char cut[8];
  ReadValueText(kTypeMultiString, reinterpret_cast<const uint8_t*>(multi.data()), multi.size(), cut, sizeof cut);
  EXPECT_STREQ(cut, "aaaa\r\nb");
}

TEST(IniText, FileNamesAndLines) {
  EXPECT_EQ(IniFileTemplate("APP.INI"), "%WIN%\\APP.INI");
  EXPECT_EQ(IniFileTemplate("%MAINDIR%\\APP.INI"), "%MAINDIR%\\APP.INI");

  const char* text = "\r\nA=1\r\n\r\nB\rC=\n\nD=x=y\r\n=v\r";
  struct Want {
    const char* key;
    const char* value;
    bool hasEquals;
  };
  const Want want[] = {{"A", "1", true}, {"B", "", false}, {"C", "", true}, {"D", "x=y", true}, {"", "v", true}};
  const char* pos = text;
  IniLine line;
  for (const Want& w : want) {
    ASSERT_TRUE(NextIniLine(&pos, &line));
    EXPECT_EQ(line.key, w.key);
    EXPECT_EQ(line.value, w.value);
    EXPECT_EQ(line.hasEquals, w.hasEquals);
  }
  EXPECT_FALSE(NextIniLine(&pos, &line));
  pos = "";
  EXPECT_FALSE(NextIniLine(&pos, &line));
}

TEST(SystemInfoText, FreeSpaceRoots) {
  struct Case {
    const char* path;
    const char* root;
  };
  const Case cases[] = {
      {"", ""},
      {"C", ""},
      {"C:", "C:\\"},
      {"C:\\", "C:\\"},
      {"C:\\Program Files\\App", "C:\\"},
      {"\\\\server\\share\\dir\\sub", "\\\\server\\share\\"},
      {"\\\\server\\share", "\\\\server\\share\\"},
      {"D:dir", "D:dir\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(FreeSpaceRoot(c.path), c.root) << c.path;
}

TEST(SystemInfoText, ClassicFreeSpace) {
  EXPECT_EQ(ClassicFreeKb(8, 512, 1000), 4000u);        // 4 KB clusters
  EXPECT_EQ(ClassicFreeKb(1, 256, 10), 2u);             // clusters below 512 bytes
  EXPECT_EQ(ClassicFreeKb(3, 300, 1024), 900u);         // not a multiple of 512
  EXPECT_EQ(ClassicFreeKb(64, 512, 0xFFFFFFFFu), 0xFFFFFFFFull * 32);  // no 32-bit wrap
}

TEST(SystemInfoText, ServicePackAndDates) {
  EXPECT_EQ(ServicePackNumber("Service Pack 3"), "3");
  EXPECT_EQ(ServicePackNumber("Service Pack 6a"), "6a");
  EXPECT_EQ(ServicePackNumber(""), "0");
  EXPECT_EQ(ServicePackNumber("Beta"), "0");

  EXPECT_EQ(InfoDateTime(2005, 3, 7, 9, 5, 4, false), "03/07/05 9:05:04");
  EXPECT_EQ(InfoDateTime(2005, 3, 7, 19, 5, 4, true), "03/07/2005 19:05:04");
  EXPECT_EQ(InfoDateTime(1999, 12, 31, 0, 0, 0, false), "12/31/99 0:00:00");
  uint16_t date = static_cast<uint16_t>(((2005 - 1980) << 9) | (6 << 5) | 15);
  uint16_t time = static_cast<uint16_t>((13 << 11) | (45 << 5) | (31 / 2));
  EXPECT_EQ(InfoDosDateTime(date, time, false), "06/15/05 13:45:30");
  EXPECT_EQ(InfoDosDateTime(date, time, true), "06/15/2005 13:45:30");
}

}  // namespace
}  // namespace tarn
