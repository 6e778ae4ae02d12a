#include "engine/script/condition.h"

#include <climits>
#include <cstring>
#include <string>

#include "engine/actions/expression.h"
#include "engine/script/text.h"

namespace tarn {
namespace {

bool IsLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsPrintable(unsigned char c) { return c >= 0x20 && c < 0x7F; }
bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
bool IsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsPunctuation(unsigned char c) { return IsPrintable(c) && c != ' ' && !IsLetter(c) && !IsDigit(c); }

// mm/dd/yy... becomes yy/mm/dd..., and a year 00 to 59 gets a leading "1" so that it
// sorts after 60 to 99.
void RewriteDate(std::string& text) {
  if (text.find('/') == std::string::npos || text.size() < 8) return;
  std::string head = text.substr(6, 2) + text[2] + text.substr(0, 5);
  text.replace(0, 8, head);
  if (text[0] >= '0' && text[0] <= '5') text.insert(text.begin(), '1');
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

}  // namespace

int CompareVersions(const char* leftText, const char* rightText) {
  std::string left(leftText, strnlen(leftText, 255));
  std::string right(rightText);
  RewriteDate(left);
  RewriteDate(right);
  const char* l = left.c_str();
  const char* r = right.c_str();
  while (IsSpace(static_cast<unsigned char>(*l))) ++l;
  while (IsSpace(static_cast<unsigned char>(*r))) ++r;
  while (*l != '\0' && *r != '\0') {
    unsigned char cl = static_cast<unsigned char>(*l), cr = static_cast<unsigned char>(*r);
    if (IsLetter(cl) || !IsPrintable(cl) || IsLetter(cr) || !IsPrintable(cr)) return Sign(std::strcmp(l, r));
    int32_t nl = ReadDecimal(l), nr = ReadDecimal(r);
    for (const char** p : {&l, &r}) {
      while (IsDigit(static_cast<unsigned char>(**p))) ++*p;
      while (IsPunctuation(static_cast<unsigned char>(**p)) || IsSpace(static_cast<unsigned char>(**p))) ++*p;
    }
    if (nl != nr) return nl > nr ? 1 : -1;
  }
  if (*l != '\0') return 1;
  if (*r != '\0') return -1;
  return 0;
}

bool CompareValues(unsigned op, const char* value, const char* text) {
  switch (op) {
    case 0:
      return std::strcmp(value, text) == 0;
    case 1:
      return std::strcmp(value, text) != 0;
    case 2:
      return std::strstr(value, text) != nullptr;
    case 3:
      return std::strstr(value, text) == nullptr;
    case 4:
      return EqualNoCase(value, text);
    case 5:
      return !EqualNoCase(value, text);
    case 6:
      return CompareVersions(value, text) > 0;
    case 7:
      return CompareVersions(value, text) >= 0;
    case 8:
      return CompareVersions(value, text) < 0;
    case 9:
      return CompareVersions(value, text) <= 0;
    case 10:
      return *text != '\0' && std::strpbrk(value, text) != nullptr;
    case 11:
      return value[std::strspn(value, text)] != '\0';
    case 12:
      return static_cast<int64_t>(std::strlen(value)) == ReadDecimal(text);
    default:
      return false;
  }
}

bool Compare(VariableStore& store, unsigned op, const char* name, const char* text, char* left, size_t leftSize) {
  op &= kConditionOperatorMask;
  if (op == 13) {
    EvaluateExpression(store, text, left, leftSize);
    return ReadDecimal(left) != 0;
  }
  GetVariable(store, name, left, leftSize);
  return CompareValues(op, left, text);
}

}  // namespace tarn
