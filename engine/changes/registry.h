// Registry reading and writing for the whole engine, and the registry step.
//
// Roots are given by index (0 HKEY_CLASSES_ROOT, 1 HKEY_CURRENT_USER, 2
// HKEY_LOCAL_MACHINE, 3 HKEY_USERS, 4 HKEY_CURRENT_CONFIG), types by type index (see
// value_text.h); values travel as text forms.
#pragma once
#include <cstddef>

namespace tarn {

constexpr int kRootClasses = 0;
constexpr int kRootCurrentUser = 1;
constexpr int kRootLocalMachine = 2;

// Where the per-user mirror and the per-user application record live.
constexpr const char kPerUserBase[] = "Software\\Tarn Solutions\\KAMUser";

// Reads the value `valueName` ("" = the key's default value) into `out` as text form and
// its type digit ('0'-'4') into `typeDigit` (may be null). With `numberOption` a 4-byte
// REG_BINARY value is read as a number (type digit '3'). 0 when read; 1 (out and
// typeDigit untouched) for a missing key or value, a value of a type outside the type
// table, or one larger than `capacity` bytes.
int ReadRegistryValue(int root, const char* keyPath, char* out, const char* valueName, char* typeDigit,
                      size_t capacity, bool numberOption);

// Creates or opens the key and, unless `valueName` is null, sets the value ("" = the
// default value) to `size` bytes of `data` as type `typeIndex`. 0 on success; 1 on
// failure, reported with message 44 when `report` is set. An unknown root or type index
// fails.
int WriteRegistryValue(int root, const char* keyPath, const char* valueName, int typeIndex, const void* data,
                       size_t size, bool report);

// Whether the key holds a value named `valueName`, of any type.
bool RegistryValueExists(int root, const char* keyPath, const char* valueName);

// Deletes the key with all its subkeys: at most 2048 subtrees per level, then the key
// itself. A key path that names no key below the root (empty, or only backslashes) is
// refused, so a root is never emptied.
void DeleteKeyTree(int root, const char* keyPath);

}  // namespace tarn
