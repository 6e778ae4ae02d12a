#include "engine/script/script_header.h"

#include "engine/script/script_format.h"
#include "engine/script/text.h"

namespace tarn {

size_t SkipStrings(const uint8_t* script, size_t length, size_t pos, int count) {
  for (int i = 0; i < count; ++i) {
    if (pos == 0) return 0;
    pos = SkipString(script, length, pos);
  }
  return pos;
}

HeaderError ParseScriptHeader(const uint8_t* script, size_t length, ScriptHeader* header) {
  ScriptHeader h;
  if (length < kFixedHeaderLength) return HeaderError::kTooShort;
  h.headerFlags = script[0];
  h.totalSize = ReadU32(script + 5);
  h.diskSize = ReadU32(script + 9);
  h.downloadId = ReadU32(script + 17);
  h.headerOptions = ReadU32(script + 21);

  size_t pos = kFixedHeaderLength;
  bool ok = true;
  // Takes the string at pos and moves past it; remembers failure once.
  auto str = [&]() -> size_t {
    size_t at = pos;
    size_t next = ok ? SkipString(script, length, pos) : 0;
    if (next == 0) {
      ok = false;
      return 0;
    }
    pos = next;
    return at;
  };
  auto byte = [&]() -> uint8_t {
    if (!ok || pos + 1 > length) {
      ok = false;
      return 0;
    }
    return script[pos++];
  };

  str();  // string 1, not used by the engine
  h.userKeyName = str();
  h.userDisplay = str();
  h.userLocal = str();
  h.userUser = str();
  h.userVersion = byte();
  h.downloadLocation = str();
  h.logPath = str();
  h.dialogFont = str();
  h.dialogFontSize = byte();
  h.dialogUnitsMode = byte();
  if (ok && pos + 4 <= length) {
    h.diskOffset = ReadU32(script + pos);
    pos += 4;
  } else {
    ok = false;
  }
  h.languageCountByte = static_cast<int8_t>(byte());
  h.languageCount = h.languageCountByte < 1 ? 1 : h.languageCountByte;
  h.statusFileName = str();
  h.statusTemplate = str();
  h.manufacturer = str();
  h.product = str();
  h.productVersion = str();
  h.serialNumber = str();
  h.uninstallStatusName = str();

  if (h.languageCountByte < 2) {
    h.singleLanguageName = str();
  } else {
    h.languageDialogCaption = str();
    h.languageDialogText = str();
    for (int i = 0; i < h.languageCount && ok; ++i) {
      LanguageEntry entry;
      entry.name = str();
      entry.code = str();
      h.languages.push_back(entry);
    }
  }
  if (!ok) return pos < length ? HeaderError::kUnterminatedString : HeaderError::kTooShort;

  h.titleTables = pos;
  size_t records = SkipStrings(script, length, pos, kStringsPerLanguage * h.languageCount);
  if (records == 0) return HeaderError::kUnterminatedString;
  h.firstRecord = records;
  *header = h;
  return HeaderError::kNone;
}

size_t TitleOffset(const uint8_t* script, size_t length, const ScriptHeader& header, int index) {
  return SkipStrings(script, length, header.titleTables, kStringsPerLanguage * index);
}

LanguageChoice ChooseLanguage(const char* const* codes, int count, const char* systemCode,
                              bool silent, bool testRun, bool alwaysShowList) {
  LanguageChoice choice;
  for (int i = 0; i < count; ++i) {
    if (EqualNoCase(codes[i], systemCode)) choice.preselected = i;
  }
  choice.closesByItself = silent || (choice.preselected >= 0 && !testRun && !alwaysShowList);
  return choice;
}

}  // namespace tarn
