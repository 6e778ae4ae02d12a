#include "engine/actions/expression.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "engine/script/text.h"

namespace tarn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool AllDigits(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!IsDigit(*text)) return false;
  }
  return true;
}

// First occurrence of `pattern` in `text` that starts on a character boundary.
const char* FindText(const char* text, const char* pattern) {
  size_t length = std::strlen(pattern);
  for (const char* p = text; *p != '\0'; p += CharLength(p)) {
    if (std::strncmp(p, pattern, length) == 0) return p;
  }
  return length == 0 ? text : nullptr;
}

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// The operand stack lives in the output buffer: entry i starts at start[i], each entry is
// zero-terminated and the next one follows its terminator.
struct Stack {
  char* buffer;
  size_t size;
  size_t start[kExpressionStackDepth];
  int count = 0;

  char* Entry(int i) { return buffer + start[i]; }
  size_t Free() const { return count == 0 ? 0 : start[count - 1] + std::strlen(buffer + start[count - 1]) + 1; }

  // Opens a new entry; nullptr when the stack or the buffer is full.
  char* Push(size_t* room) {
    size_t at = Free();
    if (count == kExpressionStackDepth || at >= size) return nullptr;
    start[count++] = at;
    *room = size - at;
    buffer[at] = '\0';
    return buffer + at;
  }

  // Replaces the entries from `lowest` up by one result: the lowest entry's text has
  // already been rewritten in place.
  void Collapse(int lowest) { count = lowest + 1; }

  void SetNumber(int lowest, int32_t value) {
    char number[16];
    std::snprintf(number, sizeof number, "%ld", static_cast<long>(value));
    CopyText(Entry(lowest), size - start[lowest], number);
    Collapse(lowest);
  }
};

// Copies the quoted text at `p` (just after the opening quote) into the entry; returns
// the position after the closing quote, or nullptr when the quote is never closed.
const char* ReadQuoted(const char* p, char* out, size_t room) {
  size_t n = 0;
  for (;;) {
    if (*p == '\0') return nullptr;
    if (*p == '"') {
      if (p[1] != '"') break;
      ++p;  // a doubled quote stands for one
    }
    if (n + 1 < room) out[n++] = *p;
    ++p;
  }
  out[n] = '\0';
  return p + 1;
}

void PushVariable(VariableStore& store, const char* word, size_t length, char* out, size_t room) {
  char name[kValueSize];
  if (length >= sizeof name) length = sizeof name - 1;  // far beyond any name: nothing found
  std::memcpy(name, word, length);
  name[length] = '\0';
  const char* value = FindOrAddVariable(store, name);
  // A long value runs on through the following value slots; never read past the table.
  const char* tableEnd = &store.values[0][0] + sizeof store.values;
  size_t limit = (value >= &store.values[0][0] && value < tableEnd) ? static_cast<size_t>(tableEnd - value) : kValueSize;
  size_t valueLength = strnlen(value, limit);
  if (valueLength > room - 1) valueLength = room - 1;
  std::memcpy(out, value, valueLength);
  out[valueLength] = '\0';
}

void ChangeCase(char* text, bool upper) {
  for (char* p = text; *p != '\0'; p += CharLength(p)) {
    if (CharLength(p) != 1) continue;
    if (upper && *p >= 'a' && *p <= 'z') *p = static_cast<char>(*p - 32);
    if (!upper && *p >= 'A' && *p <= 'Z') *p = static_cast<char>(*p + 32);
  }
}

// Applies operator `code`; false when the expression is invalid.
bool Apply(Stack& s, unsigned char code) {
  int operands;
  if (code <= 0x87) {
    operands = 1;
  } else if (code == 0xBD) {
    operands = 3;
  } else {
    operands = 2;
  }
  if (s.count < operands) return false;
  int lowest = s.count - operands;
  char* b = s.Entry(s.count - 1);
  char* a = operands >= 2 ? s.Entry(s.count - 2) : nullptr;
  switch (code) {
    case 0x80:
      s.SetNumber(lowest, Wrap(static_cast<int64_t>(std::strlen(b))));
      return true;
    case 0x81: {
      char* p = b;
      while (IsBlank(*p)) ++p;
      std::memmove(b, p, std::strlen(p) + 1);
      s.Collapse(lowest);
      return true;
    }
    case 0x82:
      s.SetNumber(lowest, ReadDecimal(b) == 0 ? 1 : 0);
      return true;
    case 0x83:
      CutTrailing(b, " \t\r\n\v\f");
      s.Collapse(lowest);
      return true;
    case 0x85:
    case 0x87:
      ChangeCase(b, code == 0x85);
      s.Collapse(lowest);
      return true;
    default:
      break;
  }
  if (operands == 1) return false;  // 0x84 and 0x86 are no operators
  if (operands == 3) {  // 0xBD: from c, at position a (1-based), at most b characters
    char* c = s.Entry(lowest);
    int32_t position = ReadDecimal(a);
    int32_t count = ReadDecimal(b);
    size_t length = std::strlen(c);
    size_t from = position < 1 ? 0 : static_cast<size_t>(position) - 1;
    size_t take = 0;
    if (from < length && count > 0) {
      take = length - from;
      if (static_cast<size_t>(count) < take) take = static_cast<size_t>(count);
    }
    std::memmove(c, c + (take ? from : 0), take);
    c[take] = '\0';
    s.Collapse(lowest);
    return true;
  }
  int32_t x = ReadDecimal(a);
  int32_t y = ReadDecimal(b);
  size_t lengthA = std::strlen(a);
  switch (code) {
    case 0x9E:
      s.SetNumber(lowest, (x != 0 && y != 0) ? 1 : 0);
      return true;
    case 0xA0:
      s.SetNumber(lowest, (x != 0 || y != 0) ? 1 : 0);
      return true;
    case 0x9F:
    case 0xA1: {
      const char* found = *b != '\0' ? FindText(a, b) : nullptr;
      if (found != nullptr) {
        if (code == 0x9F) {
          a[found - a] = '\0';
        } else {
          const char* after = found + std::strlen(b);
          std::memmove(a, after, std::strlen(after) + 1);
        }
      }
      s.Collapse(lowest);
      return true;
    }
    case 0xA2:
      s.SetNumber(lowest, (AllDigits(a) && AllDigits(b)) ? (x == y) : (std::strcmp(a, b) == 0));
      return true;
    case 0xA8: {
      int result;
      if (AllDigits(a) && AllDigits(b)) {
        result = x != y;
      } else {
        int order = std::strcmp(a, b);
        result = order < 0 ? -1 : (order > 0 ? 1 : 0);
      }
      s.SetNumber(lowest, result);
      return true;
    }
    case 0xA3:
      // A negative count keeps nothing instead of writing before the text.
      if (y <= 0) {
        a[0] = '\0';
      } else if (static_cast<size_t>(y) < lengthA) {
        a[y] = '\0';
      }
      s.Collapse(lowest);
      return true;
    case 0xA5:
      if (y >= 0 && static_cast<size_t>(y) < lengthA) std::memmove(a, a + lengthA - y, static_cast<size_t>(y) + 1);
      s.Collapse(lowest);
      return true;
    case 0xA7:
      // b follows a's terminator directly, so joining is one move to the left.
      std::memmove(a + lengthA, b, std::strlen(b) + 1);
      s.Collapse(lowest);
      return true;
    case 0xA4:
      s.SetNumber(lowest, x < y);
      return true;
    case 0xA6:
      s.SetNumber(lowest, x > y);
      return true;
    case 0xAA:
      s.SetNumber(lowest, x <= y);
      return true;
    case 0xAC:
      s.SetNumber(lowest, x >= y);
      return true;
    case 0xAE:
      s.SetNumber(lowest, Wrap(static_cast<int64_t>(x) + y));
      return true;
    case 0xB0:
      s.SetNumber(lowest, Wrap(static_cast<int64_t>(x) - y));
      return true;
    case 0xB2:
      s.SetNumber(lowest, Wrap(static_cast<int64_t>(x) * y));
      return true;
    case 0xB4:
      if (y == 0) return false;  // no meaningful quotient: the expression has no result
      s.SetNumber(lowest, Wrap(static_cast<int64_t>(x) / y));
      return true;
    case 0xB6: {
      const char* found = FindText(a, b);
      s.SetNumber(lowest, found ? Wrap(found - a + 1) : 0);
      return true;
    }
    default:
      return false;
  }
}

bool Evaluate(VariableStore& store, const char* p, Stack& s) {
  for (;;) {
    while (IsBlank(*p)) ++p;
    char c = *p;
    if (c == '\0') return true;
    if (static_cast<unsigned char>(c) >= 0x80) {
      if (!Apply(s, static_cast<unsigned char>(c))) return false;
      ++p;
      continue;
    }
    size_t room = 0;
    char* out = s.Push(&room);
    if (out == nullptr) return false;
    if (c == '"') {
      p = ReadQuoted(p + 1, out, room);
      if (p == nullptr) return false;
    } else if (IsDigit(c)) {
      size_t n = 0;
      while (IsDigit(p[n])) ++n;
      CopyText(out, n + 1 < room ? n + 1 : room, p);
      p += n;
    } else if (IsAsciiLetter(c)) {
      size_t n = 0;
      while (p[n] != '\0' && !IsBlank(p[n])) ++n;
      PushVariable(store, p, n, out, room);
      p += n;
    } else {
      return false;
    }
  }
}

}  // namespace

int32_t ReadDecimal(const char* text) {
  const char* p = text;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  int64_t value = 0;
  for (; IsDigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > static_cast<int64_t>(INT32_MAX) + 1) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

void EvaluateExpression(VariableStore& store, const char* expression, char* output, size_t outputSize) {
  if (outputSize == 0) return;
  Stack s{output, outputSize, {}, 0};
  output[0] = '\0';
  if (!Evaluate(store, expression, s) || s.count != 1) output[0] = '\0';
}

}  // namespace tarn
