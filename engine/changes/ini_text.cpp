#include "engine/changes/ini_text.h"

#include "engine/script/text.h"

namespace tarn {
namespace {
bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
}  // namespace

std::string IniFileTemplate(const char* name) {
  if (name[0] == '%') return name;
  return std::string("%WIN%\\") + name;
}

bool NextIniLine(const char** pos, IniLine* line) {
  const char* p = *pos;
  while (IsLineBreak(*p)) ++p;
  if (*p == '\0') {
    *pos = p;
    return false;
  }
  const char* start = p;
  const char* equals = nullptr;
  while (*p != '\0' && !IsLineBreak(*p)) {
    if (*p == '=' && equals == nullptr) equals = p;
    p += CharLength(p);
  }
  line->hasEquals = equals != nullptr;
  if (equals != nullptr) {
    line->key.assign(start, equals);
    line->value.assign(equals + 1, p);
  } else {
    line->key.assign(start, p);
    line->value.clear();
  }
  *pos = p;
  return true;
}

}  // namespace tarn
