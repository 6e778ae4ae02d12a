#include "builder/script_writer.h"

#include <stdexcept>

#include "engine/script/script_format.h"

namespace tarn {

void AppendU16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void AppendString(std::vector<uint8_t>& out, const std::string& s) {
  if (s.find('\0') != std::string::npos) throw std::logic_error("a script string cannot hold a zero byte");
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

ScriptWriter::ScriptWriter(const ScriptHeaderFields& h) {
  if (h.languages.empty()) throw std::logic_error("a script needs at least one language");
  if (h.languages.size() > 127) throw std::logic_error("at most 127 languages");
  languageCount_ = static_cast<int>(h.languages.size());
  std::vector<uint8_t>& b = bytes_;
  b.push_back(h.headerFlags);
  AppendU32(b, 0);
  AppendU32(b, h.totalSize);
  AppendU32(b, h.diskSize);
  AppendU32(b, 0);
  AppendU32(b, h.downloadId);
  AppendU32(b, h.headerOptions);
  for (int i = 0; i < 12; ++i) b.push_back(0);
  AppendString(b, h.string1);
  AppendString(b, h.userKeyName);
  AppendString(b, h.userDisplay);
  AppendString(b, h.userLocal);
  AppendString(b, h.userUser);
  b.push_back(h.userVersion);
  AppendString(b, h.downloadLocation);
  AppendString(b, h.logPath);
  AppendString(b, h.dialogFont);
  b.push_back(h.dialogFontSize);
  b.push_back(h.dialogUnitsMode);
  AppendU32(b, h.diskOffset);
  b.push_back(static_cast<uint8_t>(languageCount_));
  AppendString(b, h.statusFileName);
  AppendString(b, h.statusTemplate);
  AppendString(b, h.manufacturer);
  AppendString(b, h.product);
  AppendString(b, h.productVersion);
  AppendString(b, h.serialNumber);
  AppendString(b, h.uninstallStatusName);
  if (languageCount_ < 2) {
    AppendString(b, h.languages[0].name);
  } else {
    AppendString(b, h.languageDialogCaption);
    AppendString(b, h.languageDialogText);
    for (const LanguageTexts& l : h.languages) {
      AppendString(b, l.name);
      AppendString(b, l.code);
    }
  }
  for (const LanguageTexts& l : h.languages) {
    AppendString(b, l.title);
    for (const std::string& m : l.messages) AppendString(b, m);
  }
  headerLength_ = b.size();
}

RecordBuilder::RecordBuilder(ScriptWriter& writer, uint8_t opcode) : writer_(writer), opcode_(opcode) {
  fixed_.push_back(opcode);
}

RecordBuilder& RecordBuilder::U8(uint8_t v) {
  fixed_.push_back(v);
  return *this;
}
RecordBuilder& RecordBuilder::U16(uint16_t v) {
  AppendU16(fixed_, v);
  return *this;
}
RecordBuilder& RecordBuilder::U32(uint32_t v) {
  AppendU32(fixed_, v);
  return *this;
}
RecordBuilder& RecordBuilder::Zeros(size_t n) {
  fixed_.insert(fixed_.end(), n, 0);
  return *this;
}
RecordBuilder& RecordBuilder::Str(const std::string& s) {
  AppendString(strings_, s);
  ++stringCount_;
  return *this;
}
RecordBuilder& RecordBuilder::PerLanguage(const std::vector<std::string>& perLanguage) {
  if (static_cast<int>(perLanguage.size()) != writer_.languageCount_) {
    throw std::logic_error("one string per language expected");
  }
  for (const std::string& s : perLanguage) Str(s);
  return *this;
}

size_t RecordBuilder::Finish() {
  if (ShapeOf(opcode_) == nullptr) throw std::logic_error("invalid opcode " + std::to_string(opcode_));
  size_t fixedLength = FixedLengthOf(opcode_, writer_.languageCount_);
  int strings = StringCountOf(opcode_, writer_.languageCount_);
  if (fixed_.size() != fixedLength || stringCount_ != strings) {
    throw std::logic_error(std::string(ShapeOf(opcode_)->name) + ": expected " + std::to_string(fixedLength) +
                           " fixed bytes and " + std::to_string(strings) + " strings, got " +
                           std::to_string(fixed_.size()) + " and " + std::to_string(stringCount_));
  }
  size_t at = writer_.bytes_.size();
  writer_.bytes_.insert(writer_.bytes_.end(), fixed_.begin(), fixed_.end());
  writer_.bytes_.insert(writer_.bytes_.end(), strings_.begin(), strings_.end());
  return at;
}

size_t ScriptWriter::MessageBox(uint8_t style,
                                const std::vector<std::pair<std::string, std::string>>& captionAndText) {
  if (static_cast<int>(captionAndText.size()) != languageCount_) throw std::logic_error("one box per language");
  RecordBuilder r = Record(OP_MESSAGE_BOX).U8(style);
  for (const auto& [caption, text] : captionAndText) r.Str(caption).Str(text);
  return r.Finish();
}

size_t ScriptWriter::If(uint8_t condition, const std::string& variable, const std::string& value) {
  return Record(OP_IF_WHILE).U8(condition).Str(variable).Str(value).Finish();
}
size_t ScriptWriter::ElseIf(uint8_t condition, const std::string& variable, const std::string& value) {
  return Record(OP_ELSE_IF).U8(condition).Str(variable).Str(value).Finish();
}
size_t ScriptWriter::Else() { return Record(OP_ELSE).Finish(); }
size_t ScriptWriter::End(bool loopEnd) { return Record(OP_END_BLOCK).U8(loopEnd ? 1 : 0).Finish(); }
size_t ScriptWriter::Exit() { return Record(OP_EXIT_INSTALLATION).Finish(); }
size_t ScriptWriter::Filler() { return Record(OP_FILLER).Finish(); }
size_t ScriptWriter::PlayMedia(uint8_t flags, int16_t x, int16_t y, const std::string& file) {
  return Record(OP_PLAY_MEDIA).U8(flags).I16(x).I16(y).Str(file).Finish();
}
size_t ScriptWriter::Marker(const std::string& label) {
  RecordBuilder r = Record(OP_SKIPPED_TEXTS).U8(0).Str(label);
  for (int i = 0; i < 4 * languageCount_; ++i) r.Str("");
  return r.Finish();
}
size_t ScriptWriter::Blank(uint8_t opcode) {
  if (ShapeOf(opcode) == nullptr) throw std::logic_error("invalid opcode " + std::to_string(opcode));
  RecordBuilder r = Record(opcode).Zeros(FixedLengthOf(opcode, languageCount_) - 1);
  for (int i = StringCountOf(opcode, languageCount_); i > 0; --i) r.Str("");
  return r.Finish();
}
size_t ScriptWriter::InstallFile(const InstallFileFields& f) {
  RecordBuilder r = Record(f.withSource ? OP_INSTALL_FILE_EX : OP_INSTALL_FILE);
  r.U8(f.flags).U8(f.flags2).U32(f.dataStart).U32(f.dataEnd).U16(f.fileDate).U16(f.fileTime).U32(f.fileSize);
  r.U32(f.versionMS).U32(f.versionLS).U32(f.fileOS).U32(f.fileType).U32(f.fileSubtype).U32(f.dataChecksum);
  r.Str(f.destination);
  r.PerLanguage(f.descriptions.empty() ? std::vector<std::string>(static_cast<size_t>(languageCount_)) : f.descriptions);
  r.Str(f.transformArg);
  if (f.withSource) r.Str(f.source);
  return r.Finish();
}

void ScriptWriter::AppendRaw(const std::vector<uint8_t>& raw) { bytes_.insert(bytes_.end(), raw.begin(), raw.end()); }

}  // namespace tarn

namespace tarn {

size_t AddEditRegistry(ScriptWriter& w, uint8_t flags, uint8_t type, const std::string& key,
                       const std::string& value, const std::string& valueName) {
  return w.Record(OP_EDIT_REGISTRY).U8(flags).U8(type).Str(key).Str(value).Str(valueName).Finish();
}

size_t AddEditIni(ScriptWriter& w, const std::string& file, const std::string& section, const std::string& lines) {
  return w.Record(OP_EDIT_INI_SECTION).Str(file).Str(section).Str(lines).Finish();
}

size_t AddGetSystemInfo(ScriptWriter& w, uint8_t kind, const std::string& variable, const std::string& argument) {
  return w.Record(OP_GET_SYSTEM_INFO).U8(kind).Str(variable).Str(argument).Finish();
}

}  // namespace tarn
