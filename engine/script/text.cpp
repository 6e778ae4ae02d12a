#include "engine/script/text.h"

#include <cstring>

namespace tarn {
namespace {
LeadBytePredicate g_leadByte = nullptr;

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }
}  // namespace

void SetLeadBytePredicate(LeadBytePredicate predicate) { g_leadByte = predicate; }

bool IsLeadByte(unsigned char c) { return g_leadByte != nullptr && g_leadByte(c); }

size_t CharLength(const char* p) {
  if (IsLeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0') return 2;
  return 1;
}

const char* FindChar(const char* text, char c) {
  for (const char* p = text; *p != '\0'; p += CharLength(p)) {
    if (*p == c) return p;
  }
  return nullptr;
}

const char* FindLastChar(const char* text, char c) {
  const char* found = nullptr;
  for (const char* p = text; *p != '\0'; p += CharLength(p)) {
    if (*p == c) found = p;
  }
  return found;
}

const char* LastChar(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p += CharLength(p)) last = p;
  return last;
}

const char* FilePart(const char* text) {
  const char* slash = FindLastChar(text, '\\');
  return slash ? slash + 1 : text;
}

void CutTrailing(char* text, const char* set) {
  for (;;) {
    char* last = const_cast<char*>(LastChar(text));
    if (last == nullptr || last[1] != '\0' || std::strchr(set, *last) == nullptr) return;
    *last = '\0';
  }
}

size_t CopyText(char* dst, size_t capacity, const char* src) {
  if (capacity == 0) return 0;
  size_t n = 0;
  while (src[n] != '\0') {
    size_t len = CharLength(src + n);
    if (n + len > capacity - 1) break;
    n += len;
  }
  std::memmove(dst, src, n);
  dst[n] = '\0';
  return n;
}

size_t AppendText(char* dst, size_t capacity, const char* src) {
  size_t used = std::strlen(dst);
  if (used >= capacity) return used;
  return used + CopyText(dst + used, capacity - used, src);
}

size_t FormatOneText(char* dst, size_t capacity, const char* format, const char* arg) {
  if (capacity == 0) return 0;
  dst[0] = '\0';
  const char* slot = std::strstr(format, "%s");
  if (slot == nullptr) return CopyText(dst, capacity, format);
  size_t before = static_cast<size_t>(slot - format);
  if (before > capacity - 1) before = capacity - 1;
  std::memcpy(dst, format, before);
  dst[before] = '\0';
  AppendText(dst, capacity, arg);
  return AppendText(dst, capacity, slot + 2);
}

bool EqualNoCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (Fold(ca) != Fold(cb)) return false;
    if (ca == '\0') return true;
  }
  return true;
}

bool EqualNoCase(const char* a, const char* b) {
  size_t la = std::strlen(a);
  return la == std::strlen(b) && EqualNoCase(a, b, la);
}

}  // namespace tarn
