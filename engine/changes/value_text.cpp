#include "engine/changes/value_text.h"

#include <cstdio>
#include <cstring>

#include "engine/script/text.h"

namespace tarn {
namespace {

// The registry's own numbers.
constexpr uint32_t kRootHandles[kRegistryRootCount] = {
    0x80000000u,  // HKEY_CLASSES_ROOT
    0x80000001u,  // HKEY_CURRENT_USER
    0x80000002u,  // HKEY_LOCAL_MACHINE
    0x80000003u,  // HKEY_USERS
    0x80000005u,  // HKEY_CURRENT_CONFIG
};
constexpr uint32_t kRegistryTypes[kRegistryTypeCount] = {
    1,  // REG_SZ
    2,  // REG_EXPAND_SZ
    7,  // REG_MULTI_SZ
    4,  // REG_DWORD
    3,  // REG_BINARY
};

constexpr size_t kMaxBytesShown = 511;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

size_t MultiStringToData(char* buffer, size_t capacity) {
  if (capacity < 2) {
    if (capacity == 1) buffer[0] = '\0';
    return capacity;
  }
  // Room for the final NUL after the last string's own one.
  size_t length = std::strlen(buffer);
  if (length + 2 > capacity) {
    buffer[capacity - 2] = '\0';
    length = capacity - 2;
  }
  size_t in = 0, out = 0;
  while (in < length) {
    char c = buffer[in];
    if (c == '\r') {
      buffer[out++] = '\0';
      ++in;
      if (in < length && buffer[in] == '\n') ++in;
    } else if (c == '\x7f') {
      buffer[out++] = '\0';
      ++in;
    } else {
      size_t n = CharLength(buffer + in);
      if (in + n > length) n = length - in;
      std::memmove(buffer + out, buffer + in, n);
      in += n;
      out += n;
    }
  }
  buffer[out++] = '\0';
  buffer[out++] = '\0';
  return out;
}

size_t HexTextToData(char* buffer) {
  size_t length = std::strlen(buffer);
  size_t in = 0, out = 0;
  int high = -1;
  while (in < length) {
    size_t n = CharLength(buffer + in);
    if (n == 1) {
      int digit = HexDigitValue(Upper(buffer[in]));
      if (digit >= 0) {
        if (high < 0) {
          high = digit;
        } else {
          buffer[out++] = static_cast<char>((high << 4) | digit);
          high = -1;
        }
      }
    }
    in += n;
  }
  return out;
}

std::string HexText(const uint8_t* data, size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

}  // namespace

uint32_t RegistryRootHandle(int rootIndex) {
  return (rootIndex >= 0 && rootIndex < kRegistryRootCount) ? kRootHandles[rootIndex] : 0;
}

uint32_t RegistryTypeOf(int typeIndex) {
  return (typeIndex >= 0 && typeIndex < kRegistryTypeCount) ? kRegistryTypes[typeIndex] : 0;
}

int TypeIndexOf(uint32_t registryType) {
  for (int i = 0; i < kRegistryTypeCount; ++i) {
    if (kRegistryTypes[i] == registryType) return i;
  }
  return -1;
}

uint32_t ParseRegistryNumber(const char* text) {
  while (*text == ' ' || *text == '\t') ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  uint32_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  return negative ? 0u - value : value;
}

size_t TextToValueData(int typeIndex, char* buffer, size_t capacity) {
  if (capacity == 0) return 0;
  switch (typeIndex) {
    case kTypeNumber: {
      if (capacity < 4) return 0;
      uint32_t value = ParseRegistryNumber(buffer);
      for (int i = 0; i < 4; ++i) buffer[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
      return 4;
    }
    case kTypeMultiString:
      return MultiStringToData(buffer, capacity);
    case kTypeBytes:
      return HexTextToData(buffer);
    default:
      return std::strlen(buffer) + 1;
  }
}

std::string ValueDataToText(int typeIndex, const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  switch (typeIndex) {
    case kTypeNumber: {
      uint32_t value = 0;
      for (size_t i = 0; i < 4 && i < size; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
      char number[16];
      std::snprintf(number, sizeof number, "%lu", static_cast<unsigned long>(value));
      return number;
    }
    case kTypeMultiString: {
      std::string joined;
      size_t at = 0;
      while (at < size && data[at] != 0) {
        size_t end = at;
        while (end < size && data[end] != 0) ++end;
        if (at > 0) joined += "\r\n";
        joined.append(text + at, end - at);
        at = end + 1;
      }
      return joined;
    }
    case kTypeBytes:
      return HexText(data, size);
    default: {
      size_t end = 0;
      while (end < size && data[end] != 0) ++end;
      return std::string(text, end);
    }
  }
}

void ReadValueText(int typeIndex, const uint8_t* data, size_t size, char* out, size_t capacity) {
  if (capacity == 0) return;
  if (typeIndex == kTypeBytes) {
    size_t limit = capacity / 2 > 0 ? capacity / 2 - 1 : 0;
    if (limit > kMaxBytesShown) limit = kMaxBytesShown;
    if (size > limit) size = limit;
  }
  CopyText(out, capacity, ValueDataToText(typeIndex, data, size).c_str());
}

}  // namespace tarn
