// Writes compiled scripts byte by byte: the header, the language section, the title and
// message table of every language, then records. Every record is checked against the
// engine's record table when it is finished, so a writer mistake shows at once instead
// of as a misread script. No Windows header: the builder runs on Linux too.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tarn {

struct LanguageTexts {
  std::string name;   // shown in the language list (and %LANG%)
  std::string code;   // compared with the system's language code
  std::string title;
  std::array<std::string, 54> messages;
};

struct ScriptHeaderFields {
  uint8_t headerFlags = 0x20;  // pause of the screen update allowed
  uint32_t totalSize = 0;
  uint32_t diskSize = 0;
  uint32_t downloadId = 0;
  uint32_t headerOptions = 0;
  std::string string1;
  std::string userKeyName, userDisplay, userLocal, userUser;
  uint8_t userVersion = 0;
  std::string downloadLocation, logPath, dialogFont;
  uint8_t dialogFontSize = 8;
  uint8_t dialogUnitsMode = 0;
  uint32_t diskOffset = 0;
  std::string statusFileName, statusTemplate, manufacturer, product, productVersion, serialNumber,
      uninstallStatusName;
  std::string languageDialogCaption, languageDialogText;  // used with two or more languages
  std::vector<LanguageTexts> languages;                   // at least one
};

class ScriptWriter;

// The fields of an install-file record (opcode 0, or 18 when it carries a source).
struct InstallFileFields {
  uint8_t flags = 0;
  uint8_t flags2 = 0;
  uint32_t dataStart = 0;
  uint32_t dataEnd = 0;
  uint16_t fileDate = 0;
  uint16_t fileTime = 0;
  uint32_t fileSize = 0;
  uint32_t versionMS = 0, versionLS = 0, fileOS = 0, fileType = 0, fileSubtype = 0;
  uint32_t dataChecksum = 0;
  std::string destination;
  std::vector<std::string> descriptions;  // one per language; empty = "" for each
  std::string transformArg;
  bool withSource = false;  // opcode 18
  std::string source;
};

// One record under construction: fixed fields first, then strings. Finish() checks the
// record's shape and appends it to the script.
class RecordBuilder {
 public:
  RecordBuilder& U8(uint8_t v);
  RecordBuilder& U16(uint16_t v);
  RecordBuilder& I16(int16_t v) { return U16(static_cast<uint16_t>(v)); }
  RecordBuilder& U32(uint32_t v);
  RecordBuilder& Zeros(size_t n);
  RecordBuilder& Str(const std::string& s);
  // One string per language, in language order (L = 1).
  RecordBuilder& PerLanguage(const std::vector<std::string>& perLanguage);
  // Appends the record; returns its offset. Throws std::logic_error on a shape mismatch.
  size_t Finish();

 private:
  friend class ScriptWriter;
  RecordBuilder(ScriptWriter& writer, uint8_t opcode);
  ScriptWriter& writer_;
  uint8_t opcode_;
  std::vector<uint8_t> fixed_;
  std::vector<uint8_t> strings_;
  int stringCount_ = 0;
};

class ScriptWriter {
 public:
  explicit ScriptWriter(const ScriptHeaderFields& header);

  int languageCount() const { return languageCount_; }
  size_t offset() const { return bytes_.size(); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t headerLength() const { return headerLength_; }

  RecordBuilder Record(uint8_t opcode) { return RecordBuilder(*this, opcode); }

  // Records of the interpreter's own steps.
  size_t MessageBox(uint8_t style, const std::vector<std::pair<std::string, std::string>>& captionAndText);
  size_t If(uint8_t condition, const std::string& variable, const std::string& value);
  size_t ElseIf(uint8_t condition, const std::string& variable, const std::string& value);
  size_t Else();
  size_t End(bool loopEnd = false);
  size_t Exit();
  size_t Filler();
  size_t PlayMedia(uint8_t flags, int16_t x, int16_t y, const std::string& file);
  size_t InstallFile(const InstallFileFields& f);
  // A record the engine passes over without action (opcode 2) carrying `label` as its
  // plain string: a landmark that tests see executed.
  size_t Marker(const std::string& label);
  // A record of `opcode` with zeroed fixed fields and empty strings.
  size_t Blank(uint8_t opcode);
  // Raw bytes, for scripts that are malformed on purpose.
  void AppendRaw(const std::vector<uint8_t>& raw);

 private:
  friend class RecordBuilder;
  std::vector<uint8_t> bytes_;
  int languageCount_ = 1;
  size_t headerLength_ = 0;
};

void AppendU16(std::vector<uint8_t>& out, uint16_t v);
void AppendU32(std::vector<uint8_t>& out, uint32_t v);
void AppendString(std::vector<uint8_t>& out, const std::string& s);

}  // namespace tarn

namespace tarn {

// Registry, INI and system-information records.
constexpr uint8_t kRegKeepExisting = 0x20;
constexpr uint8_t kRegNoValueName = 0x40;
constexpr uint8_t kRegRemove = 0x80;
// Opcode 10: `flags` holds the root index (0-4) in its low bits and the options above.
size_t AddEditRegistry(ScriptWriter& w, uint8_t flags, uint8_t type, const std::string& key,
                       const std::string& value, const std::string& valueName);
// Opcode 5: file, section, lines ("KEY=VALUE" separated by CR LF; empty = delete the section).
size_t AddEditIni(ScriptWriter& w, const std::string& file, const std::string& section, const std::string& lines);
// Opcode 21.
size_t AddGetSystemInfo(ScriptWriter& w, uint8_t kind, const std::string& variable, const std::string& argument);

}  // namespace tarn
