// The registry step and the registry routines, read back through the system's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/changes/registry.h"
#include "engine/entry/run_state.h"
#include "tests/support/engine_fixture.h"
#include "tests/wine/change_runs.h"

namespace tarn {
namespace {

using namespace std::string_literals;
using test::RunLogged;

constexpr uint8_t kHKCR = 0, kHKCU = 1, kHKLM = 2;
const std::string kBase = "Software\\TarnTest\\";

struct Raw {
  bool present = false;
  DWORD type = 0;
  std::string data;
};

Raw ReadRaw(HKEY root, const std::string& key, const std::string& name) {
  Raw raw;
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return raw;
  char buffer[4096];
  DWORD size = sizeof buffer;
  raw.present = RegQueryValueExA(h, name.c_str(), nullptr, &raw.type, reinterpret_cast<BYTE*>(buffer), &size) ==
                ERROR_SUCCESS;
  if (raw.present) raw.data.assign(buffer, size);
  RegCloseKey(h);
  return raw;
}

void SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& data) {
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS);
  RegSetValueExA(h, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(h);
}

bool KeyExists(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// Cleans up before a test (the registry outlives each test process).
void RemoveTree(HKEY root, const std::string& key) {
  HKEY h;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
  char name[256];
  for (;;) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(h, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    RemoveTree(root, key + "\\" + name);
  }
  RegCloseKey(h);
  RegDeleteKeyA(root, key.c_str());
}

std::string Dword(uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

std::string WindowsDirectory() {
  char buffer[MAX_PATH];
  GetWindowsDirectoryA(buffer, sizeof buffer);
  return buffer;
}

TEST(Registry, WritesEveryTypeExpandedAndLogsIt) {
  const std::string key = kBase + "Types";
  RemoveTree(HKEY_CURRENT_USER, key);
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU, 0, "Software\\TarnTest\\Types", "%WIN%", "S%%");
    AddEditRegistry(w, kHKCU, 1, key, "C:\\x;%%PATH%%", "E");
    AddEditRegistry(w, kHKCU, 2, key, "a\r\nb\x7f" "c", "M");
    AddEditRegistry(w, kHKCU, 3, key, "1234", "N");
    AddEditRegistry(w, kHKCU, 4, key, "0a 1B f", "B");
  });
  EXPECT_EQ(run.result.returnValue, 0);
  struct Want {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Want want[] = {
      {"S%", REG_SZ, WindowsDirectory() + '\0'},
      {"E", REG_EXPAND_SZ, "C:\\x;%PATH%\0"s},
      {"M", REG_MULTI_SZ, "a\0b\0c\0\0"s},
      {"N", REG_DWORD, Dword(1234)},
      {"B", REG_BINARY, "\x0a\x1b"s},
  };
  for (const Want& w : want) {
    Raw raw = ReadRaw(HKEY_CURRENT_USER, key, w.name);
    EXPECT_TRUE(raw.present) << w.name;
    EXPECT_EQ(raw.type, w.type) << w.name;
    EXPECT_EQ(raw.data, w.data) << w.name;
  }
  // New values: no type line, no old lines; the root line because the flag byte is set.
  const std::string k = "RegDB Key: " + key + "\r\n";
  EXPECT_EQ(run.records,
            k + "RegDB Val: " + WindowsDirectory() + "\r\nRegDB Name: S%\r\nRegDB Root: 1\r\n" +
            k + "RegDB Val: C:\\x;%PATH%\r\nRegDB Name: E\r\nRegDB Root: 1\r\n" +
            k + "RegDB Val: a\r\nb\r\nc\r\nRegDB Name: M\r\nRegDB Root: 1\r\n" +
            k + "RegDB Val: 1234\r\nRegDB Name: N\r\nRegDB Root: 1\r\n" +
            k + "RegDB Val: 0A1B\r\nRegDB Name: B\r\nRegDB Root: 1\r\n");
}

TEST(Registry, LogRecordsOfReplacedValues) {
  const std::string key = kBase + "Log";
  RemoveTree(HKEY_CURRENT_USER, key);
  RemoveTree(HKEY_CLASSES_ROOT, "TarnTestClass");
  SetRaw(HKEY_CURRENT_USER, key, "M", REG_MULTI_SZ, "x\0y\0\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "N", REG_DWORD, Dword(5));
  SetRaw(HKEY_CURRENT_USER, key, "Empty", REG_SZ, "\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "B", REG_BINARY, "\x01\x02"s);
  SetRaw(HKEY_CURRENT_USER, key, "", REG_SZ, "old default\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "Other", REG_SZ, "untouched\0"s);
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCR, 0, "TarnTestClass\\shell", "open", "");
    AddEditRegistry(w, kHKCU, 2, key, "a\r\nb\r\nc", "M");
    AddEditRegistry(w, kHKCU, 3, key, "6", "N");
    AddEditRegistry(w, kHKCU, 0, key, "new", "Empty");
    AddEditRegistry(w, kHKCU, 4, key, "ff", "B");
    // The default value, whatever name the record carries.
    AddEditRegistry(w, kHKCU | kRegNoValueName, 0, key, "new default", "Other");
  });
  EXPECT_EQ(run.result.returnValue, 0);
  const std::string k = "RegDB Key: " + key + "\r\n";
  EXPECT_EQ(run.records,
            "RegDB Key: TarnTestClass\\shell\r\nRegDB Val: open\r\n" +
            k + "RegDB Val: a\r\nRegDB Val: b\r\nRegDB Val: c\r\nRegDB Name: M\r\nRegDB Type: 2\r\nRegDB Root: 1\r\n"
                "RegDB Old: x\r\nRegDB Old: y\r\n" +
            k + "RegDB Val: 6\r\nRegDB Name: N\r\nRegDB Type: 3\r\nRegDB Root: 1\r\nRegDB Old: 5\r\n" +
            k + "RegDB Val: new\r\nRegDB Name: Empty\r\nRegDB Root: 1\r\n" +
            k + "RegDB Val: FF\r\nRegDB Name: B\r\nRegDB Type: 4\r\nRegDB Root: 1\r\nRegDB Old: 0102\r\n" +
            k + "RegDB Val: new default\r\nRegDB Root: 1\r\nRegDB Old: old default\r\n");
  EXPECT_EQ(ReadRaw(HKEY_CLASSES_ROOT, "TarnTestClass\\shell", "").data, "open\0"s);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key, "").data, "new default\0"s);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key, "Other").data, "untouched\0"s);
  RemoveTree(HKEY_CLASSES_ROOT, "TarnTestClass");
}

TEST(Registry, KeepExistingLeavesAPresentValueAndLogsNothing) {
  const std::string key = kBase + "Keep";
  RemoveTree(HKEY_CURRENT_USER, key);
  SetRaw(HKEY_CURRENT_USER, key, "K", REG_SZ, "old\0"s);
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU | kRegKeepExisting, 0, key, "new", "K");
    AddEditRegistry(w, kHKCU | kRegKeepExisting, 3, key, "9", "Absent");
  });
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key, "K").data, "old\0"s);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key, "Absent").data, Dword(9));
  // Only the value that was absent is logged; its flag byte is not 0.
  EXPECT_EQ(run.records, "RegDB Key: " + key + "\r\nRegDB Val: 9\r\nRegDB Name: Absent\r\nRegDB Root: 1\r\n");
}

TEST(Registry, RemovesValuesAndKeyTrees) {
  const std::string tree = kBase + "Tree";
  const std::string values = kBase + "Values";
  const std::string canary = kBase + "Canary";
  RemoveTree(HKEY_CURRENT_USER, tree);
  RemoveTree(HKEY_CURRENT_USER, values);
  for (const char* sub : {"\\a\\b\\c", "\\a\\d", "\\e"}) SetRaw(HKEY_CURRENT_USER, tree + sub, "v", REG_SZ, "x\0"s);
  SetRaw(HKEY_CURRENT_USER, values, "gone", REG_SZ, "x\0"s);
  SetRaw(HKEY_CURRENT_USER, values, "kept", REG_SZ, "y\0"s);
  SetRaw(HKEY_CURRENT_USER, values, "", REG_SZ, "default\0"s);
  SetRaw(HKEY_CURRENT_USER, canary, "alive", REG_SZ, "1\0"s);
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU | kRegRemove, 0, tree, "", "");
    AddEditRegistry(w, kHKCU | kRegRemove | kRegNoValueName, 0, values, "", "gone");
    AddEditRegistry(w, kHKCU | kRegRemove | kRegNoValueName, 0, values, "", "");  // the default value
    // Missing keys and values are passed over.
    AddEditRegistry(w, kHKCU | kRegRemove, 0, kBase + "NoSuchKey", "", "");
    AddEditRegistry(w, kHKCU | kRegRemove | kRegNoValueName, 0, values, "", "no such value");
    // A key path that names no key below the root removes nothing.
    AddEditRegistry(w, kHKCU | kRegRemove, 0, "%EMPTY%", "", "");
    AddEditRegistry(w, kHKCU | kRegRemove, 0, "\\", "", "");
  });
  EXPECT_EQ(run.result.returnValue, 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, tree));
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, values, "gone").present);
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, values, "").present);
  EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, values, "kept").present);
  EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, canary, "alive").present);
  EXPECT_EQ(run.records, "");
}

TEST(Registry, KeyTreeDeletionStopsAt2048SubtreesPerLevel) {
  test::EngineFixture fixture;
  const std::string key = kBase + "Wide";
  RemoveTree(HKEY_CURRENT_USER, key);
  HKEY h;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  for (int i = 0; i < 2050; ++i) {
    HKEY sub;
    RegCreateKeyExA(h, ("k" + std::to_string(10000 + i)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub,
                    nullptr);
    RegCloseKey(sub);
  }
  RegCloseKey(h);
  DeleteKeyTree(kRootCurrentUser, key.c_str());
  // Two subkeys are left, so the key itself stays too.
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
  DWORD subkeys = 0;
  RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(h);
  EXPECT_EQ(subkeys, 2u);
  DeleteKeyTree(kRootCurrentUser, key.c_str());
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
}

// What the run's marks were before the end of the run.
bool g_settingsChanged = false;
bool g_perUserData = false;

TEST(Registry, PerUserMirrorAndSavedValues) {
  const std::string key = kBase + "PerUser";
  const std::string area = "Software\\Tarn Solutions\\KAMUser\\PerUserT\\Registry\\" + key;
  const std::string machineKey = kBase + "Machine";
  RemoveTree(HKEY_CURRENT_USER, key);
  RemoveTree(HKEY_CURRENT_USER, "Software\\Tarn Solutions\\KAMUser\\PerUserT");
  RemoveTree(HKEY_LOCAL_MACHINE, "Software\\Tarn Solutions\\KAMUser\\PerUserT");
  SetRaw(HKEY_CURRENT_USER, key, "*X", REG_SZ, "oldX\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "", REG_SZ, "old default\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "Z", REG_DWORD, Dword(3));
  g_run.hooks.beforeRelease = [] {
    g_settingsChanged = g_run.settingsChanged;
    g_perUserData = g_run.perUserData;
  };
  auto first = RunLogged("PerUserT", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU, 0, key, "newX", "*X");
    AddEditRegistry(w, kHKCU, 0, key, "newY", "Y");
    AddEditRegistry(w, kHKCU | kRegNoValueName, 0, key, "new default", "");
    AddEditRegistry(w, kHKCU, 3, key, "7", "Z");
    AddEditRegistry(w, kHKLM, 0, machineKey, "m", "L");  // not a per-user root
  });
  EXPECT_EQ(first.result.returnValue, 0);
  EXPECT_TRUE(g_settingsChanged);
  EXPECT_TRUE(g_perUserData);

  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, key, "*X").data, "newX\0"s);
  // The new values, mirrored for other users.
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, area, "*X").data, "newX\0"s);
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, area, "Y").data, "newY\0"s);
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, area, "").data, "new default\0"s);
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, area, "Z").data, Dword(7));
  // The values they replaced: *X escaped as **X, absent Y marked *1Y, Z with its own type.
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, area, "**X").data, "oldX\0"s);
  Raw y = ReadRaw(HKEY_CURRENT_USER, area, "*1Y");
  EXPECT_EQ(y.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(y.data, "\0"s);
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, area, "Y").present);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, area, "").data, "old default\0"s);
  Raw z = ReadRaw(HKEY_CURRENT_USER, area, "Z");
  EXPECT_EQ(z.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(z.data, Dword(3));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Tarn Solutions\\KAMUser\\PerUserT\\Registry\\" + machineKey));

  // A later run keeps the first saved values (the ones from before the installation),
  // but the default value is saved again each time.
  auto second = RunLogged("PerUserT", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU, 0, key, "newerX", "*X");
    AddEditRegistry(w, kHKCU, 0, key, "newerY", "Y");
    AddEditRegistry(w, kHKCU | kRegNoValueName, 0, key, "newer default", "");
  });
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, area, "**X").data, "oldX\0"s);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, area, "*1Y").data, "\0"s);
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, area, "Y").present);
  EXPECT_EQ(ReadRaw(HKEY_CURRENT_USER, area, "").data, "new default\0"s);
  EXPECT_EQ(ReadRaw(HKEY_LOCAL_MACHINE, area, "*X").data, "newerX\0"s);
}

TEST(Registry, AFailedWriteReportsMessage44AndAbortsTheRun) {
  const std::string key = kBase + "Fail";
  RemoveTree(HKEY_CURRENT_USER, key);
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, 7, 0, key, "x", "bad root");  // root index 7 names no root
    AddEditRegistry(w, kHKCU, 0, key, "x", "after");
  });
  EXPECT_EQ(run.result.returnValue, 1);
  EXPECT_STREQ(g_run.errorText, "message 44");
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, key, "after").present);
  EXPECT_EQ(run.records.find("RegDB"), std::string::npos);
}

TEST(Registry, TestRunChangesNothing) {
  const std::string key = kBase + "TestRun";
  RemoveTree(HKEY_CURRENT_USER, key);
  SetRaw(HKEY_CURRENT_USER, key, "old", REG_SZ, "x\0"s);
  g_settingsChanged = true;
  g_run.hooks.beforeRelease = [] { g_settingsChanged = g_run.settingsChanged; };
  auto run = RunLogged("", [&](ScriptWriter& w) {
    AddEditRegistry(w, kHKCU, 0, key, "new", "new");
    AddEditRegistry(w, kHKCU | kRegRemove, 0, key, "", "");
  }, "/T");
  g_run.hooks.beforeRelease = nullptr;
  EXPECT_EQ(run.result.returnValue, 0);
  EXPECT_FALSE(g_settingsChanged);
  EXPECT_FALSE(ReadRaw(HKEY_CURRENT_USER, key, "new").present);
  EXPECT_TRUE(ReadRaw(HKEY_CURRENT_USER, key, "old").present);
}

TEST(Registry, ReadGivesTextFormsAndRefusesWhatItCannotShow) {
  test::EngineFixture fixture;
  const std::string key = kBase + "Read";
  RemoveTree(HKEY_CURRENT_USER, key);
  SetRaw(HKEY_CURRENT_USER, key, "S", REG_SZ, "text\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "M", REG_MULTI_SZ, "a\0b\0\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "B4", REG_BINARY, "\x01\x02\x00\x00"s);
  SetRaw(HKEY_CURRENT_USER, key, "Q", REG_QWORD, "\x01\0\0\0\0\0\0\0"s);
  SetRaw(HKEY_CURRENT_USER, key, "Long", REG_SZ, std::string(40, 'x') + '\0');
  struct Case {
    const char* name;
    bool numberOption;
    size_t capacity;
    int result;
    char digit;
    const char* text;
  };
  const Case cases[] = {
      {"S", false, 256, 0, '0', "text"},
      {"M", false, 256, 0, '2', "a\r\nb"},
      {"B4", false, 256, 0, '4', "01020000"},
      {"B4", true, 256, 0, '3', "513"},
      {"Q", false, 256, 1, '-', "-"},       // a type outside the table
      {"Long", false, 16, 1, '-', "-"},     // larger than the buffer
      {"Missing", false, 256, 1, '-', "-"},
  };
  for (const Case& c : cases) {
    std::vector<char> out(c.capacity, '-');
    out[1] = '\0';
    char digit = '-';
    EXPECT_EQ(ReadRegistryValue(kRootCurrentUser, key.c_str(), out.data(), c.name, &digit, out.size(), c.numberOption),
              c.result)
        << c.name;
    EXPECT_EQ(digit, c.digit) << c.name;
    EXPECT_STREQ(out.data(), c.text) << c.name;
  }
  EXPECT_EQ(ReadRegistryValue(kRootCurrentUser, (kBase + "NoKey").c_str(), nullptr, "S", nullptr, 256, false), 1);
}

}  // namespace
}  // namespace tarn
