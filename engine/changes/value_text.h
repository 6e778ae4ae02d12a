// Registry values as the engine handles them: the root and type tables, and the text form
// in which values travel between scripts, the registry and the installation log.
//
// Text forms by type index: 0 REG_SZ and 1 REG_EXPAND_SZ, the string itself; 2
// REG_MULTI_SZ, the strings joined by CR LF; 3 REG_DWORD, the number in decimal; 4
// REG_BINARY, two hexadecimal digits per byte. No Windows header: the registry's own
// numbers for roots and types are spelled out here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

constexpr int kRegistryRootCount = 5;  // 0 HKCR, 1 HKCU, 2 HKLM, 3 HKU, 4 HKCC
constexpr int kRegistryTypeCount = 5;

enum TypeIndex : int { kTypeString = 0, kTypeExpandString = 1, kTypeMultiString = 2, kTypeNumber = 3, kTypeBytes = 4 };

// The predefined key handle value of root index 0-4; 0 for any other index.
uint32_t RegistryRootHandle(int rootIndex);

// The registry type of type index 0-4; 0 (REG_NONE) for any other index.
uint32_t RegistryTypeOf(int typeIndex);
// The type index of a registry type; -1 for a type outside the table (counts as absent).
int TypeIndexOf(uint32_t registryType);

// The number of a number text: optional blanks and sign, then decimal digits (0 when
// there are none); wraps modulo 2^32 like the registry's unsigned 32-bit value.
uint32_t ParseRegistryNumber(const char* text);

// Turns the text form held in `buffer` (zero-terminated, within `capacity` bytes) into
// registry data in place and returns the data size:
// - strings: the text and its terminator;
// - number: 4 bytes, little-endian;
// - multi-string: CR (an LF after it skipped) and 0x7F separate strings; every string
//   ends in NUL and a final NUL follows; a text too long for that last NUL loses its
//   last character;
// - bytes: upper-cased, every pair of hexadecimal digits becomes one byte, high digit
//   first; other characters are passed over and a last unpaired digit is dropped.
// An unknown type index is treated as a string.
size_t TextToValueData(int typeIndex, char* buffer, size_t capacity);

// The whole text form of registry data of type index `typeIndex`. Strings end at their
// first NUL (or at the end of the data); a multi-string ends at its empty string.
std::string ValueDataToText(int typeIndex, const uint8_t* data, size_t size);

// The text form as the registry read gives it, in `out` (capacity bytes, always
// terminated): bytes are shown for at most 511 of them and at most capacity / 2 - 1, every
// other text is cut at capacity - 1.
void ReadValueText(int typeIndex, const uint8_t* data, size_t size, char* out, size_t capacity);

// The type digit of a type index ('0'-'4').
inline char TypeDigit(int typeIndex) { return static_cast<char>('0' + typeIndex); }

}  // namespace tarn
