#include "engine/changes/path_rules.h"

#include <cstdio>

#include "engine/script/text.h"

namespace tarn {

std::string NumberedName(const std::string& path, int n) {
  const char* file = FilePart(path.c_str());
  const char* dot = FindLastChar(file, '.');
  size_t keep = dot ? static_cast<size_t>(dot - path.c_str()) : path.size();
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, ".%03d", n);
  return path.substr(0, keep) + suffix;
}

std::string VolumeLabelAsShortName(const std::string& label) {
  if (label.size() <= 8) return label;
  return label.substr(0, 8) + "." + label.substr(8);
}

std::string TemporaryFileName(uint16_t counter) {
  char name[16];
  std::snprintf(name, sizeof name, "~ZEH%04x.TMP", counter);
  return name;
}

bool IsSystemOrAbove(const std::string& directory, const std::string& systemDir, const std::string& windowsDir) {
  for (const std::string* protectedDir : {&systemDir, &windowsDir}) {
    std::string withSlash = *protectedDir + "\\";
    if (directory.size() <= withSlash.size() && EqualNoCase(directory.c_str(), withSlash.c_str(), directory.size())) {
      return true;
    }
  }
  return false;
}

bool NextLine(LineBuffer& lines, char* out, size_t capacity, LineRefill refill, void* context) {
  size_t stored = 0;
  bool any = false;
  for (;;) {
    if (lines.pos >= lines.fill) {
      lines.fill = refill(context, lines.data, lines.size);
      lines.pos = 0;
      if (lines.fill == 0) break;
    }
    char c = lines.data[lines.pos++];
    if (c == '\n') continue;
    any = true;
    if (c == '\r') c = '\n';
    if (capacity >= 2 && stored < capacity - 2) out[stored++] = c;
    if (c == '\n') break;
  }
  if (capacity > 0) out[stored < capacity ? stored : capacity - 1] = '\0';
  return any || lines.pos < lines.fill;
}

}  // namespace tarn
