// Reading the header of a compiled script: the fixed 37 bytes, the header strings, the
// language section and the title and message table of every language. Every position is
// an offset from the start of the script; every string is checked to end inside it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarn {

// headerFlags bits
constexpr uint8_t kHeaderPositionMask = 0x0F;
constexpr uint8_t kHeaderPauseAllowed = 0x20;
constexpr uint8_t kHeaderNoLog = 0x40;
constexpr uint8_t kHeaderPlaceAllDialogs = 0x80;
// headerOptions bits
constexpr uint32_t kOptionPromptMask = 0x18;
constexpr uint32_t kOptionLogFileDetails = 0x20;
constexpr uint32_t kOptionLogInstallerDetails = 0x40;
constexpr uint32_t kOptionNoCancel = 0x100;
constexpr uint32_t kOptionRestorePoint = 0x200;

struct LanguageEntry {
  size_t name;  // offset of the name shown in the list
  size_t code;  // offset of its code
};

struct ScriptHeader {
  uint8_t headerFlags = 0;
  uint32_t totalSize = 0;
  uint32_t diskSize = 0;
  uint32_t downloadId = 0;
  uint32_t headerOptions = 0;

  size_t userKeyName = 0, userDisplay = 0, userLocal = 0, userUser = 0;
  uint8_t userVersion = 0;
  size_t downloadLocation = 0, logPath = 0, dialogFont = 0;
  uint8_t dialogFontSize = 0;
  uint8_t dialogUnitsMode = 0;
  uint32_t diskOffset = 0;
  int8_t languageCountByte = 0;  // as stored (a signed byte)
  int languageCount = 1;         // number of title tables and per-language strings (at least 1)
  size_t statusFileName = 0, statusTemplate = 0, manufacturer = 0, product = 0,
         productVersion = 0, serialNumber = 0, uninstallStatusName = 0;

  // Language section: with one language its name; with several, the dialog texts and pairs.
  size_t singleLanguageName = 0;
  size_t languageDialogCaption = 0, languageDialogText = 0;
  std::vector<LanguageEntry> languages;

  size_t titleTables = 0;   // first string of language 0's title table
  size_t firstRecord = 0;   // header length: offset of the first record
};

enum class HeaderError { kNone, kTooShort, kUnterminatedString };

// Parses the header of `script` (`length` bytes). On success every offset in `header`
// points at a terminated string inside the script.
HeaderError ParseScriptHeader(const uint8_t* script, size_t length, ScriptHeader* header);

// Offset of the title of language `index` (0-based): 55 strings per language.
size_t TitleOffset(const uint8_t* script, size_t length, const ScriptHeader& header, int index);

// Advances a string offset by `count` strings; 0 when a string runs past `length`.
size_t SkipStrings(const uint8_t* script, size_t length, size_t pos, int count);

// Which language the list preselects: the last whose code equals the system's language
// code (case ignored), or -1. And whether the list closes without asking.
struct LanguageChoice {
  int preselected = -1;
  bool closesByItself = false;
};
LanguageChoice ChooseLanguage(const char* const* codes, int count, const char* systemCode,
                              bool silent, bool testRun, bool alwaysShowList);

}  // namespace tarn
