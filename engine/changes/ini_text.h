// The texts of the INI step: where its file lives and how its list of lines reads.
#pragma once
#include <string>

namespace tarn {

// The INI file name before expansion: a name that begins with "%" is used as it is, any
// other is taken in the Windows directory ("%WIN%\" in front).
std::string IniFileTemplate(const char* name);

// One line of an INI step: a key, and the value after "=" (empty when there is none).
struct IniLine {
  std::string key;
  std::string value;
  bool hasEquals = false;
};

// Reads the line at *pos and moves *pos past it. Lines end at CR or LF; every run of CR
// and LF characters between lines is passed over. False when no line is left.
bool NextIniLine(const char** pos, IniLine* line);

}  // namespace tarn
