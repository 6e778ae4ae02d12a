#include "engine/changes/registry.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/changes/install_log.h"
#include "engine/changes/value_text.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "engine/script/variables.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr int kMessageRegistryWrite = 44;
constexpr int kMaxSubtrees = 2048;
constexpr REGSAM kRemoveAccess =
    KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY;

// regFlags of the registry record.
constexpr uint8_t kRootBits = 0x1F;
constexpr uint8_t kKeepExisting = 0x20;
constexpr uint8_t kNoValueName = 0x40;
constexpr uint8_t kRemove = 0x80;

constexpr size_t kKeyPathSize = 513;  // 512 characters

HKEY RootKey(int index) {
  uint32_t handle = RegistryRootHandle(index);
  return handle == 0 ? nullptr : reinterpret_cast<HKEY>(static_cast<uintptr_t>(handle));
}

bool NamesAKey(const char* keyPath) {
  for (const char* p = keyPath; *p != '\0'; ++p) {
    if (*p != '\\') return true;
  }
  return false;
}

const char* NextString(const char* s) { return s + std::strlen(s) + 1; }

std::string PerUserId() {
  if (g_run.script == nullptr || g_run.header.firstRecord == 0) return {};
  return reinterpret_cast<const char*>(g_run.script + g_run.header.userKeyName);
}

// The previous value of a per-user write, kept under HKEY_CURRENT_USER in the per-user
// area so that the write can be undone for other users, and the new value mirrored under
// HKEY_LOCAL_MACHINE so that it can be reproduced for them. With a value name N the old
// value is saved as N (or "*N" when N begins with "*"), or, when there was none, an empty
// string as "*1N"; an existing save under either name is from an earlier run and is kept.
void MirrorPerUser(const std::string& id, const char* keyPath, const char* name, int typeIndex, const char* data,
                   size_t size, const char* previous, char previousType, bool present) {
  std::string area = std::string(kPerUserBase) + "\\" + id + "\\Registry\\" + keyPath;
  WriteRegistryValue(kRootLocalMachine, area.c_str(), name, typeIndex, data, size, false);

  int previousIndex = previousType - '0';
  std::vector<char> saved(previous, previous + std::strlen(previous) + 1);
  saved.resize(saved.size() + 4);  // room for a number or the multi-string's last NUL
  size_t savedSize = TextToValueData(previousIndex, saved.data(), saved.size());
  if (name[0] == '\0') {
    WriteRegistryValue(kRootCurrentUser, area.c_str(), "", previousIndex, saved.data(), savedSize, false);
  } else {
    std::string escaped = name[0] == '*' ? std::string("*") + name : std::string(name);
    std::string marker = std::string("*1") + name;
    const std::string& save = present ? escaped : marker;
    const std::string& other = present ? marker : escaped;
    if (!RegistryValueExists(kRootCurrentUser, area.c_str(), save.c_str()) &&
        !RegistryValueExists(kRootCurrentUser, area.c_str(), other.c_str())) {
      WriteRegistryValue(kRootCurrentUser, area.c_str(), save.c_str(), previousIndex, saved.data(), savedSize, false);
    }
  }
  g_run.perUserData = true;
}

}  // namespace

int ReadRegistryValue(int root, const char* keyPath, char* out, const char* valueName, char* typeDigit,
                      size_t capacity, bool numberOption) {
  HKEY rootKey = RootKey(root);
  if (rootKey == nullptr || capacity == 0) return 1;
  HKEY key;
  if (RegOpenKeyExA(rootKey, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return 1;
  std::vector<uint8_t> data(capacity);
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(capacity);
  LONG result = RegQueryValueExA(key, valueName, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return 1;
  int index = TypeIndexOf(type);
  if (index < 0) return 1;
  if (numberOption && index == kTypeBytes && size == 4) index = kTypeNumber;
  if (typeDigit != nullptr) *typeDigit = TypeDigit(index);
  ReadValueText(index, data.data(), size, out, capacity);
  return 0;
}

int WriteRegistryValue(int root, const char* keyPath, const char* valueName, int typeIndex, const void* data,
                       size_t size, bool report) {
  HKEY rootKey = RootKey(root);
  DWORD type = RegistryTypeOf(typeIndex);
  LONG result = ERROR_INVALID_PARAMETER;
  if (rootKey != nullptr && (valueName == nullptr || type != REG_NONE)) {
    HKEY key;
    DWORD disposition;
    result = RegCreateKeyExA(rootKey, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_CREATE_SUB_KEY | KEY_SET_VALUE,
                             nullptr, &key, &disposition);
    if (result == ERROR_SUCCESS) {
      if (valueName != nullptr) {
        result = RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size));
      }
      RegCloseKey(key);
    }
  }
  if (result == ERROR_SUCCESS) return 0;
  if (report) ReportMessageError(kMessageRegistryWrite);
  return 1;
}

bool RegistryValueExists(int root, const char* keyPath, const char* valueName) {
  HKEY rootKey = RootKey(root);
  HKEY key;
  if (rootKey == nullptr || RegOpenKeyExA(rootKey, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
  bool exists = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return exists;
}

// Deletes the first subkey's tree again and again until none is left. A subkey that
// survives its own deletion (no right to delete it) ends the loop instead of being tried
// 2048 times at every level below.
void DeleteKeyTree(int root, const char* keyPath) {
  HKEY rootKey = RootKey(root);
  if (rootKey == nullptr || !NamesAKey(keyPath)) return;
  std::string previous;
  for (int i = 0; i < kMaxSubtrees; ++i) {
    HKEY key;
    if (RegOpenKeyExA(rootKey, keyPath, 0, kRemoveAccess, &key) != ERROR_SUCCESS) break;
    char name[257];
    DWORD length = sizeof name;
    LONG result = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) break;
    if (i > 0 && previous == name) break;
    previous = name;
    DeleteKeyTree(root, (std::string(keyPath) + "\\" + name).c_str());
  }
  RegDeleteKeyA(rootKey, keyPath);
}

// The registry step: see the comments inside for its order. Returns 1 (the run is
// aborted) only when the value itself cannot be written.
int EditRegistryStep(const uint8_t* record) {
  if (g_run.options.runMode == kRunTest) return 0;
  VariableStore& vars = *g_run.variables;
  uint8_t flags = record[1];
  int root = flags & kRootBits;
  int typeIndex = record[2];
  const char* keyText = reinterpret_cast<const char*>(record + 3);
  const char* valueText = NextString(keyText);
  const char* nameText = NextString(valueText);

  char keyPath[kKeyPathSize];
  ExpandText(vars, keyPath, keyText, sizeof keyPath);
  char* value = g_run.dataBuffer;
  ExpandText(vars, value, valueText, kWorkBufferSize);
  char valueName[kValueSize];
  ExpandPath(vars, valueName, nameText);

  if (flags & kRemove) {
    if (flags & kNoValueName) {
      HKEY rootKey = RootKey(root);
      HKEY key;
      if (rootKey != nullptr && RegOpenKeyExA(rootKey, keyPath, 0, kRemoveAccess, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, valueName);
        RegCloseKey(key);
      }
    } else {
      DeleteKeyTree(root, keyPath);
    }
    return 0;
  }

  // The value this step replaces: read and logged under the name actually written.
  const char* name = (flags & kNoValueName) ? "" : valueName;
  std::vector<char> previous(kWorkBufferSize, '\0');
  char previousType = '0';
  bool present = ReadRegistryValue(root, keyPath, previous.data(), name, &previousType, previous.size(), false) == 0;
  if (!present) {
    previous[0] = '\0';
    previousType = '0';
  } else if (flags & kKeepExisting) {
    return 0;
  }

  g_run.settingsChanged = true;
  size_t size = TextToValueData(typeIndex, value, kWorkBufferSize);
  if (WriteRegistryValue(root, keyPath, name, typeIndex, value, size, true) != 0) return 1;

  if (root == kRootCurrentUser) {
    std::string id = PerUserId();
    if (!id.empty()) {
      MirrorPerUser(id, keyPath, name, typeIndex, value, size, previous.data(), previousType, present);
    }
  }

  // The log holds the new value in text form, as a later read would give it.
  std::string newText = ValueDataToText(typeIndex, reinterpret_cast<const uint8_t*>(value), size);
  WriteRegistryRecord(keyPath, newText, previous.data(), present, name, previousType, flags, root);
  return 0;
}

}  // namespace tarn
