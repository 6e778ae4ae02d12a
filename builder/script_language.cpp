#include "builder/script_language.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

#include "builder/default_messages.h"
#include "builder/script_writer.h"
#include "engine/changes/install_rules.h"
#include "engine/script/script_format.h"
#include "engine/script/script_header.h"
#include "engine/ui/screen_rules.h"
#include "host/pack.h"

namespace tarn {
namespace {

struct Token {
  enum Kind { kWord, kText, kNumber } kind;
  std::string text;
  long long number = 0;
};

struct Statement {
  int line = 0;
  std::vector<Token> tokens;
};

// Errors travel as exceptions inside the compiler only; CompileSetup turns them into a
// BuildError.
struct Failure {
  int line;
  std::string message;
};

[[noreturn]] void Fail(int line, const std::string& message) { throw Failure{line, message}; }

bool ParseNumber(const std::string& word, long long* value) {
  if (word.empty()) return false;
  size_t i = 0;
  bool negative = false;
  if (word[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i >= word.size()) return false;
  int base = 10;
  if (word.size() > i + 2 && word[i] == '0' && (word[i + 1] == 'x' || word[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  long long v = 0;
  for (; i < word.size(); ++i) {
    int digit;
    char c = word[i];
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return false;
    v = v * base + digit;
    if (v > 0xFFFFFFFFLL) return false;
  }
  *value = negative ? -v : v;
  return true;
}

std::vector<Statement> Tokenize(const std::string& source) {
  std::vector<Statement> statements;
  int line = 1;
  size_t i = 0;
  Statement current;
  current.line = line;
  auto finishLine = [&]() {
    if (!current.tokens.empty()) statements.push_back(current);
    current = Statement{};
    current.line = ++line;
  };
  while (i < source.size()) {
    char c = source[i];
    if (c == '\n') {
      finishLine();
      ++i;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      while (i < source.size() && source[i] != '\n') ++i;
    } else if (c == '"') {
      std::string text;
      ++i;
      bool closed = false;
      while (i < source.size() && source[i] != '\n') {
        char d = source[i++];
        if (d == '"') {
          if (i < source.size() && source[i] == '"') {  // "" stands for one quote
            text += '"';
            ++i;
            continue;
          }
          closed = true;
          break;
        }
        text += d;  // backslashes are plain characters: paths read as they are written
      }
      if (!closed) Fail(line, "text without its closing quote");
      if (text.find('\0') != std::string::npos) Fail(line, "a text cannot hold a zero byte");
      current.tokens.push_back(Token{Token::kText, text});
    } else {
      std::string word;
      while (i < source.size() && !std::isspace(static_cast<unsigned char>(source[i])) && source[i] != '"' &&
             source[i] != '#') {
        word += source[i++];
      }
      Token token{Token::kWord, word};
      if (ParseNumber(word, &token.number)) token.kind = Token::kNumber;
      current.tokens.push_back(token);
    }
  }
  finishLine();
  return statements;
}

// Reads the tokens of one statement in order.
class Cursor {
 public:
  explicit Cursor(const Statement& s) : s_(s) {}
  bool AtEnd() const { return at_ >= s_.tokens.size(); }
  int line() const { return s_.line; }
  const Token* Peek() const { return AtEnd() ? nullptr : &s_.tokens[at_]; }
  bool PeekWord(const char* word) const { return Peek() && Peek()->kind == Token::kWord && Peek()->text == word; }
  bool TakeWord(const char* word) {
    if (!PeekWord(word)) return false;
    ++at_;
    return true;
  }
  std::string Word(const char* what) {
    if (AtEnd() || s_.tokens[at_].kind == Token::kText) Fail(line(), std::string("expected ") + what);
    return s_.tokens[at_++].text;
  }
  std::string Text(const char* what) {
    if (AtEnd() || s_.tokens[at_].kind != Token::kText) Fail(line(), std::string("expected ") + what + " in quotes");
    return s_.tokens[at_++].text;
  }
  long long Number(const char* what, long long low, long long high) {
    if (AtEnd() || s_.tokens[at_].kind != Token::kNumber) Fail(line(), std::string("expected a number: ") + what);
    long long v = s_.tokens[at_++].number;
    if (v < low || v > high) {
      Fail(line(), std::string(what) + " must be between " + std::to_string(low) + " and " + std::to_string(high));
    }
    return v;
  }
  void End() {
    if (!AtEnd()) Fail(line(), "unexpected \"" + s_.tokens[at_].text + "\"");
  }

 private:
  const Statement& s_;
  size_t at_ = 0;
};

const std::map<std::string, uint8_t>& Operators() {
  static const std::map<std::string, uint8_t> ops = {
      {"==", 0}, {"!=", 1}, {"contains", 2}, {"lacks", 3}, {"~=", 4}, {"!~=", 5}, {">", 6}, {">=", 7},
      {"<", 8},  {"<=", 9}, {"has-any-of", 10}, {"has-other-than", 11}, {"length", 12}};
  return ops;
}

struct Block {
  enum Kind { kIf, kWhile } kind;
  int line;
  bool sawElse = false;
};

class Compiler {
 public:
  Compiler(const PayloadLoader& load, CompiledSetup* out) : load_(load), out_(out) {}

  void Run(const std::vector<Statement>& statements) {
    for (const Statement& s : statements) {
      if (IsHeaderStatement(s)) Header(s);
    }
    FinishHeader();
    for (const Statement& s : statements) {
      if (!IsHeaderStatement(s)) Record(s);
    }
    if (!blocks_.empty()) Fail(blocks_.back().line, "this block has no \"end\"");
    out_->script = writer_->bytes();
  }

 private:
  static bool IsHeaderStatement(const Statement& s) {
    static const char* words[] = {"title", "language", "message", "language-dialog", "log", "no-log", "option",
                                  "position", "user-key", "user-display", "user-local", "user-user", "user-version",
                                  "download-location", "download-id", "dialog-font", "status-file", "manufacturer",
                                  "product", "product-version", "serial", "uninstall-status-name", "total-size",
                                  "disk-size", "background", "host-flag", "restart-replace", "bytes-progress",
                                  "gradient", "transform-library", "registration-program", "progress-plugin",
                                  "download-library"};
    for (const char* w : words) {
      if (s.tokens[0].kind == Token::kWord && s.tokens[0].text == w) return true;
    }
    return false;
  }

  LanguageTexts& CurrentLanguage(int line) {
    if (fields_.languages.empty()) Fail(line, "no language yet");
    return fields_.languages.back();
  }

  void Header(const Statement& s) {
    Cursor c(s);
    std::string word = c.Word("a statement");
    if (word == "language") {
      LanguageTexts l;
      l.name = c.Text("the language's name");
      l.code = c.Text("the language's code");
      l.title = defaults_.title;
      l.messages = defaults_.messages;
      fields_.languages.push_back(l);
      inLanguage_ = true;
    } else if (word == "title") {
      std::string title = c.Text("the title");
      if (inLanguage_) CurrentLanguage(s.line).title = title;
      else defaults_.title = title;
    } else if (word == "message") {
      int n = static_cast<int>(c.Number("message number", 0, 53));
      std::string text = c.Text("the message");
      if (inLanguage_) CurrentLanguage(s.line).messages[static_cast<size_t>(n)] = text;
      else defaults_.messages[static_cast<size_t>(n)] = text;
    } else if (word == "language-dialog") {
      fields_.languageDialogCaption = c.Text("the caption");
      fields_.languageDialogText = c.Text("the text");
    } else if (word == "log") {
      fields_.logPath = c.Text("the log path");
    } else if (word == "no-log") {
      fields_.headerFlags |= kHeaderNoLog;
    } else if (word == "option") {
      std::string name = c.Word("an option");
      if (name == "no-cancel") fields_.headerOptions |= kOptionNoCancel;
      else if (name == "restore-point") fields_.headerOptions |= kOptionRestorePoint;
      else if (name == "log-file-details") fields_.headerOptions |= kOptionLogFileDetails;
      else if (name == "log-installer-details") fields_.headerOptions |= kOptionLogInstallerDetails;
      else if (name == "no-screen-pause") fields_.headerFlags &= static_cast<uint8_t>(~kHeaderPauseAllowed);
      else if (name == "place-all-dialogs") fields_.headerFlags |= kHeaderPlaceAllDialogs;
      else Fail(s.line, "unknown option \"" + name + "\"");
    } else if (word == "position") {
      fields_.headerFlags = static_cast<uint8_t>((fields_.headerFlags & ~kHeaderPositionMask) | c.Number("position", 0, 15));
    } else if (word == "user-key") {
      fields_.userKeyName = c.Text("the per-user key");
    } else if (word == "user-display") {
      fields_.userDisplay = c.Text("the display name");
    } else if (word == "user-local") {
      fields_.userLocal = c.Text("the local value");
    } else if (word == "user-user") {
      fields_.userUser = c.Text("the user value");
    } else if (word == "user-version") {
      fields_.userVersion = static_cast<uint8_t>(c.Number("version", 0, 255));
    } else if (word == "download-location") {
      fields_.downloadLocation = c.Text("the download location");
    } else if (word == "download-id") {
      fields_.downloadId = static_cast<uint32_t>(c.Number("download id", 0, 0xFFFFFFFFLL));
    } else if (word == "dialog-font") {
      fields_.dialogFont = c.Text("the face name");
      fields_.dialogFontSize = static_cast<uint8_t>(c.Number("point size", 1, 255));
    } else if (word == "status-file") {
      fields_.statusFileName = c.Text("the status file name");
      fields_.statusTemplate = c.Text("the status text");
    } else if (word == "manufacturer") {
      fields_.manufacturer = c.Text("the manufacturer");
    } else if (word == "product") {
      fields_.product = c.Text("the product");
    } else if (word == "product-version") {
      fields_.productVersion = c.Text("the product version");
    } else if (word == "serial") {
      fields_.serialNumber = c.Text("the serial number");
    } else if (word == "uninstall-status-name") {
      fields_.uninstallStatusName = c.Text("the name");
    } else if (word == "total-size") {
      totalSize_ = static_cast<uint32_t>(c.Number("total size", 0, 0xFFFFFFFFLL));
      totalSizeSet_ = true;
    } else if (word == "disk-size") {
      fields_.diskSize = out_->diskSize = static_cast<uint32_t>(c.Number("disk size", 0, 0xFFFFFFFFLL));
    } else if (word == "background") {
      std::string mode = c.Word("maximised, normal or hidden");
      uint32_t bits = mode == "maximised" ? 0 : mode == "normal" ? 1 : mode == "hidden" ? 2 : 99;
      if (bits == 99) Fail(s.line, "background is maximised, normal or hidden");
      out_->hostFlags = (out_->hostFlags & ~3u) | bits;
    } else if (word == "host-flag") {
      out_->hostFlags |= static_cast<uint32_t>(c.Number("host flag", 0, 0xFFFFFFFFLL));
    } else if (word == "restart-replace") {
      out_->hostFlags |= 0x2000;
    } else if (word == "bytes-progress") {
      out_->hostFlags |= 0x10000;
    } else if (word == "gradient") {
      for (int i = 0; i < 6; ++i) out_->gradient[i] = static_cast<int16_t>(c.Number("colour", -32768, 32767));
      out_->hostFlags |= 0x80;
    } else if (word == "transform-library" || word == "registration-program" || word == "progress-plugin" ||
               word == "download-library") {
      int index = word == "transform-library" ? 0 : word == "registration-program" ? 1 : word == "progress-plugin" ? 2 : 3;
      std::string path = c.Text("the file");
      PayloadFile file;
      if (!load_(path, &file)) Fail(s.line, "cannot read \"" + path + "\"");
      if (file.data.empty()) Fail(s.line, "\"" + path + "\" is empty");
      out_->auxEntries[static_cast<size_t>(index)] = file.data;
      if (index == 0) out_->hostFlags |= 0x8000;
      if (index == 1) out_->hostFlags |= 0x20000;
    }
    c.End();
  }

  void FinishHeader() {
    if (fields_.languages.empty()) {
      LanguageTexts l;
      l.name = "English";
      l.code = "ENU";
      l.title = defaults_.title;
      l.messages = defaults_.messages;
      fields_.languages.push_back(l);
    }
    if (fields_.languages.size() > 1 && fields_.languageDialogCaption.empty()) {
      fields_.languageDialogCaption = "Language";
      fields_.languageDialogText = "Choose the language of the installation:";
    }
    writer_ = std::make_unique<ScriptWriter>(fields_);
    languages_ = writer_->languageCount();
  }

  // The texts of one per-language string: one text for every language, or one each.
  std::vector<std::string> PerLanguage(Cursor& c, const char* what) {
    std::vector<std::string> texts;
    texts.push_back(c.Text(what));
    while (c.Peek() && c.Peek()->kind == Token::kText && static_cast<int>(texts.size()) < languages_) {
      texts.push_back(c.Text(what));
    }
    if (texts.size() == 1) texts.assign(static_cast<size_t>(languages_), texts[0]);
    if (static_cast<int>(texts.size()) != languages_) {
      Fail(c.line(), std::string("give one ") + what + " or one for each of the " + std::to_string(languages_) +
                         " languages");
    }
    return texts;
  }

  uint8_t Condition(Cursor& c, uint8_t extra, std::string* variable, std::string* value) {
    if (c.TakeWord("expression")) {
      *variable = "";
      *value = c.Text("the expression");
      return static_cast<uint8_t>(13 | extra);
    }
    *variable = c.Word("a variable name");
    if (variable->size() > 14) Fail(c.line(), "a variable name has at most 14 characters");
    std::string op = c.Word("a comparison");
    auto it = Operators().find(op);
    if (it == Operators().end()) Fail(c.line(), "unknown comparison \"" + op + "\"");
    *value = c.Text("the value");
    return static_cast<uint8_t>(it->second | extra);
  }

  void InstallOptions(Cursor& c, InstallFileFields& f) {
    while (!c.AtEnd()) {
      std::string option = c.Word("an install option");
      if (option == "check-version") f.flags |= kCheckVersion;
      else if (option == "shared") f.flags |= kSharedFile;
      else if (option == "no-log") f.flags |= kNoLog;
      else if (option == "skip-if-newer") f.flags = static_cast<uint8_t>((f.flags & ~kDateRuleMask) | kDateSkipIfNewer);
      else if (option == "skip-if-newer-or-same")
        f.flags = static_cast<uint8_t>((f.flags & ~kDateRuleMask) | kDateSkipIfNewerOrSame);
      else if (option == "only-if-missing") f.flags = static_cast<uint8_t>((f.flags & ~kDateRuleMask) | kDateOnlyIfMissing);
      else if (option == "no-progress") f.flags |= kNoProgress;
      else if (option == "self-register") f.flags2 |= kSelfRegister;
      else if (option == "private") f.flags2 |= kPrivateLocation;
      else if (option == "recurse") f.flags2 |= kRecurse;
      else if (option == "local-data") f.flags2 |= kLocalData;
      else if (option == "description") f.descriptions = PerLanguage(c, "description");
      else if (option == "transform") f.transformArg = c.Text("the transform argument");
      else if (option == "version") {
        std::string v = c.Word("a version a.b.c.d");
        unsigned a = 0, b = 0, d1 = 0, d2 = 0;
        if (std::sscanf(v.c_str(), "%u.%u.%u.%u", &a, &b, &d1, &d2) < 2 || a > 0xFFFF || b > 0xFFFF || d1 > 0xFFFF ||
            d2 > 0xFFFF) {
          Fail(c.line(), "a version is written a.b.c.d");
        }
        f.versionMS = (a << 16) | b;
        f.versionLS = (d1 << 16) | d2;
        f.fileOS = 0x40004;  // 32-bit Windows on NT
      } else if (option == "type") {
        std::string type = c.Word("app or dll");
        f.fileType = type == "app" ? 1 : type == "dll" ? 2 : 0;
        if (f.fileType == 0) Fail(c.line(), "type is app or dll");
      } else Fail(c.line(), "unknown install option \"" + option + "\"");
    }
  }

  void Record(const Statement& s) {
    Cursor c(s);
    std::string word = c.Word("a statement");
    ScriptWriter& w = *writer_;
    if (word == "install") {
      std::string from = c.Text("the payload file");
      if (!c.TakeWord("to")) Fail(s.line, "expected \"to\" and the destination");
      InstallFileFields f;
      f.destination = c.Text("the destination");
      InstallOptions(c, f);
      PayloadFile file;
      if (!load_(from, &file)) Fail(s.line, "cannot read \"" + from + "\"");
      std::vector<uint8_t> packed = PackBest(file.data);
      f.dataStart = static_cast<uint32_t>(out_->fileData.size());
      f.dataEnd = f.dataStart + static_cast<uint32_t>(packed.size());
      f.fileDate = file.dosDate;
      f.fileTime = file.dosTime;
      f.fileSize = static_cast<uint32_t>(file.data.size());
      f.dataChecksum = Checksum(file.data);
      out_->fileData.insert(out_->fileData.end(), packed.begin(), packed.end());
      payloadBytes_ += f.fileSize;
      w.InstallFile(f);
    } else if (word == "install-external" || word == "install-files") {
      InstallFileFields f;
      f.withSource = true;
      f.source = c.Text(word == "install-files" ? "the wildcard path" : "the source path");
      if (!c.TakeWord("to")) Fail(s.line, "expected \"to\" and the destination");
      f.destination = c.Text("the destination");
      f.flags = kExternalSource;
      if (word == "install-files") f.flags2 |= kWildcard;
      InstallOptions(c, f);
      w.InstallFile(f);
    } else if (word == "if" || word == "while") {
      std::string variable, value;
      uint8_t extra = word == "while" ? 0x10 : 0;
      if (word == "while" && c.TakeWord("after")) extra |= 0x20;  // the body runs once before the first test
      uint8_t condition = Condition(c, extra, &variable, &value);
      w.If(condition, variable, value);
      blocks_.push_back(Block{word == "if" ? Block::kIf : Block::kWhile, s.line});
    } else if (word == "else") {
      if (blocks_.empty() || blocks_.back().kind != Block::kIf) Fail(s.line, "\"else\" outside an \"if\"");
      if (blocks_.back().sawElse) Fail(s.line, "nothing may follow the plain \"else\" of this \"if\"");
      if (c.TakeWord("if")) {
        std::string variable, value;
        uint8_t condition = Condition(c, 0, &variable, &value);
        w.ElseIf(condition, variable, value);
      } else {
        w.Else();
        blocks_.back().sawElse = true;
      }
    } else if (word == "end") {
      if (blocks_.empty()) Fail(s.line, "\"end\" without a block");
      w.End(blocks_.back().kind == Block::kWhile);
      blocks_.pop_back();
    } else if (word == "message-box") {
      uint8_t style = c.TakeWord("style") ? static_cast<uint8_t>(c.Number("style", 0, 255)) : 0;
      std::vector<std::pair<std::string, std::string>> boxes;
      std::vector<std::string> texts;
      while (c.Peek() && c.Peek()->kind == Token::kText) texts.push_back(c.Text("a text"));
      if (texts.size() == 2) {
        boxes.assign(static_cast<size_t>(languages_), {texts[0], texts[1]});
      } else if (static_cast<int>(texts.size()) == 2 * languages_) {
        for (size_t i = 0; i < texts.size(); i += 2) boxes.push_back({texts[i], texts[i + 1]});
      } else {
        Fail(s.line, "a message box takes a caption and a text, once or for each language");
      }
      w.MessageBox(style, boxes);
      if (style & 0x01) blocks_.push_back(Block{Block::kIf, s.line});
    } else if (word == "exit") {
      w.Exit();
    } else if (word == "filler") {
      w.Filler();
    } else if (word == "log-text") {
      w.Record(OP_ADD_LOG_TEXT).Str(c.Text("the text")).Finish();
    } else if (word == "log-control") {
      std::string mode = c.Word("pause, resume or new");
      if (mode == "pause") w.Record(OP_LOG_CONTROL).U8(1).Str("").Finish();
      else if (mode == "resume") w.Record(OP_LOG_CONTROL).U8(0).Str("").Finish();
      else if (mode == "new") w.Record(OP_LOG_CONTROL).U8(2).Str(c.Text("the new log's path")).Finish();
      else Fail(s.line, "log-control is pause, resume or new");
    } else if (word == "create-directory") {
      w.Record(OP_CREATE_DIRECTORY).Str(c.Text("the path")).Finish();
    } else if (word == "delete-files") {
      uint8_t flags = c.TakeWord("flags") ? static_cast<uint8_t>(c.Number("flags", 0, 255)) : 0;
      w.Record(OP_DELETE_FILES).U8(flags).Str(c.Text("the wildcard path")).Finish();
    } else if (word == "rename") {
      std::string from = c.Text("the file");
      std::string to = c.Text("the new name");
      w.Record(OP_RENAME_FILE).Str(from).Str(to).Finish();
    } else if (word == "temp-file") {
      w.Record(OP_GET_TEMP_FILE_NAME).Str(c.Word("a variable name")).Finish();
    } else if (word == "play") {
      uint8_t flags = 0;
      if (c.TakeWord("video")) flags |= 0x02;
      std::string file = c.Text("the file");
      int16_t x = 0, y = 0;
      if (flags & 0x02) {
        x = static_cast<int16_t>(c.Number("x", -32768, 32767));
        y = static_cast<int16_t>(c.Number("y", -32768, 32767));
      }
      if (c.TakeWord("repeat")) flags |= 0x01;
      w.PlayMedia(flags, x, y, file);
    } else if (word == "stop-media") {
      w.PlayMedia(0, 0, 0, "");
    } else if (word == "section") {
      std::string which = c.Word("exit or abort");
      uint32_t offset = static_cast<uint32_t>(w.offset());
      if (which == "exit") out_->exitSectionOffset = offset;
      else if (which == "abort") out_->abortSectionOffset = offset;
      else Fail(s.line, "section is exit or abort");
    } else if (word == "registry") {
      static const char* roots[] = {"classes-root", "current-user", "local-machine", "users", "current-config"};
      static const char* types[] = {"string", "expand-string", "multi-string", "number", "binary"};
      std::string rootWord = c.Word("a registry root");
      int root = -1;
      for (int i = 0; i < 5; ++i) {
        if (rootWord == roots[i]) root = i;
      }
      if (root < 0) Fail(s.line, "unknown registry root \"" + rootWord + "\"");
      std::string key = c.Text("the key");
      uint8_t flags = static_cast<uint8_t>(root), type = 0;
      std::string name, value;
      if (c.TakeWord("remove-key")) {
        flags |= 0x80;
      } else {
        name = c.Text("the value name (\"\" for the default value)");
        if (name.empty()) flags |= 0x40;
        if (c.TakeWord("remove")) {
          flags |= 0x80 | 0x40;
        } else {
          if (!c.TakeWord("set")) Fail(s.line, "expected \"set\", \"remove\" or \"remove-key\"");
          std::string typeWord = c.Word("a value type");
          int t = -1;
          for (int i = 0; i < 5; ++i) {
            if (typeWord == types[i]) t = i;
          }
          if (t < 0) Fail(s.line, "unknown value type \"" + typeWord + "\"");
          type = static_cast<uint8_t>(t);
          value = c.Text("the value");
          if (c.TakeWord("keep-existing")) flags |= 0x20;
        }
      }
      w.Record(OP_EDIT_REGISTRY).U8(flags).U8(type).Str(key).Str(value).Str(name).Finish();
    } else if (word == "ini") {
      std::string file = c.Text("the INI file");
      std::string section = c.Text("the section");
      std::string lines = c.Peek() ? c.Text("the lines") : "";
      w.Record(OP_EDIT_INI_SECTION).Str(file).Str(section).Str(lines).Finish();
    } else if (word == "picture" || word == "remove-pictures") {
      Picture(word == "picture", c, w);
    } else if (word == "record") {
      GenericRecord(c, w);
    } else {
      Fail(s.line, "unknown statement \"" + word + "\"");
    }
    c.End();
  }

  // "picture FILE.BMP [at X Y] [options]": a picture on the background, its data packed
  // into the archive; "remove-pictures all|last|N" takes pictures away again.
  void Picture(bool add, Cursor& c, ScriptWriter& w) {
    uint16_t flags = 0, x = 0, y = 0;
    std::vector<uint8_t> packed;
    uint32_t size = 0;
    if (add) {
      std::string path = c.Text("the .BMP file");
      PayloadFile file;
      if (!load_(path, &file)) Fail(c.line(), "cannot read \"" + path + "\"");
      std::vector<uint8_t> block = GraphicBlockFromBmp(file.data);
      if (block.empty()) Fail(c.line(), "\"" + path + "\" is not a bitmap");
      packed = PackBest(block);
      size = static_cast<uint32_t>(block.size());
      static const std::map<std::string, int> effects = {
          {"dissolve", 1}, {"from-top", 2}, {"from-bottom", 3}, {"from-left", 4}, {"from-right", 5}};
      while (!c.AtEnd()) {
        std::string option = c.Word("a picture option");
        if (option == "at") {
          x = static_cast<uint16_t>((x & ~0x3FFF) | c.Number("x", 0, 0x3FFF));
          y = static_cast<uint16_t>((y & ~0x3FFF) | c.Number("y", 0, 0x3FFF));
        } else if (option == "transparent") flags |= 0x0002;
        else if (option == "centre") flags |= 0x0008 | 0x0010;
        else if (option == "scale") flags |= 0x0020;
        else if (option == "tile") flags |= 0x0040;
        else if (option == "right") x |= 0x4000;
        else if (option == "bottom") y |= 0x4000;
        else if (option == "billboard") x |= 0x8000;
        else if (option == "close-progress") flags |= 0x4000;
        else if (option == "effect") {
          auto it = effects.find(c.Word("an effect"));
          if (it == effects.end()) Fail(c.line(), "effects are dissolve, from-top, from-bottom, from-left, from-right");
          flags = static_cast<uint16_t>(flags | (it->second << 7));
        } else Fail(c.line(), "unknown picture option \"" + option + "\"");
      }
    } else {
      std::string which = c.Word("all, last or a count");
      flags = which == "all" ? 0x0001 : which == "last" ? 0x0004 : 0;
      if (flags == 0) Fail(c.line(), "remove-pictures takes all or last");
    }
    uint32_t start = static_cast<uint32_t>(out_->fileData.size());
    out_->fileData.insert(out_->fileData.end(), packed.begin(), packed.end());
    uint32_t end = static_cast<uint32_t>(out_->fileData.size());
    RecordBuilder r = w.Record(OP_DISPLAY_GRAPHIC);
    r.U16(flags).U16(x).U16(y);
    for (int i = 0; i < languages_; ++i) r.U32(start).U32(end).U32(size);
    r.Str("");
    r.Finish();
  }

  // "record OPCODE u8 N u16 N i16 N u32 N str "text" lang "text"...": any record, field by
  // field; the record table checks its shape.
  void GenericRecord(Cursor& c, ScriptWriter& w) {
    long long opcode = c.Number("opcode", 0, 35);
    if (ShapeOf(static_cast<uint8_t>(opcode)) == nullptr) Fail(c.line(), "opcode " + std::to_string(opcode) + " is not valid");
    RecordBuilder r = w.Record(static_cast<uint8_t>(opcode));
    while (!c.AtEnd()) {
      std::string kind = c.Word("u8, u16, i16, u32, str or lang");
      if (kind == "u8") r.U8(static_cast<uint8_t>(c.Number("byte", 0, 255)));
      else if (kind == "u16") r.U16(static_cast<uint16_t>(c.Number("16-bit value", 0, 65535)));
      else if (kind == "i16") r.I16(static_cast<int16_t>(c.Number("16-bit value", -32768, 32767)));
      else if (kind == "u32") r.U32(static_cast<uint32_t>(c.Number("32-bit value", -2147483648LL, 0xFFFFFFFFLL)));
      else if (kind == "str") r.Str(c.Text("a text"));
      else if (kind == "lang") r.PerLanguage(PerLanguage(c, "text"));
      else Fail(c.line(), "unknown field kind \"" + kind + "\"");
    }
    try {
      r.Finish();
    } catch (const std::logic_error& e) {
      Fail(c.line(), e.what());
    }
  }

  const PayloadLoader& load_;
  CompiledSetup* out_;
  ScriptHeaderFields fields_;
  LanguageTexts defaults_{"", "", "Setup", DefaultEnglishMessages()};
  bool inLanguage_ = false;
  std::unique_ptr<ScriptWriter> writer_;
  int languages_ = 1;
  std::vector<Block> blocks_;
  uint32_t totalSize_ = 0;
  bool totalSizeSet_ = false;
  uint64_t payloadBytes_ = 0;

 public:
  // The total the progress display counts towards: as set, else the payload's size.
  uint32_t TotalSize() const { return totalSizeSet_ ? totalSize_ : static_cast<uint32_t>(payloadBytes_); }
};

std::string Quote(const char* text) {
  std::string q = "\"";
  for (const char* p = text; *p; ++p) {
    if (*p == '"') q += "\"\"";
    else if (*p == '\r') q += "<CR>";
    else if (*p == '\n') q += "<LF>";
    else q += *p;
  }
  return q + "\"";
}

}  // namespace

bool CompileSetup(const std::string& source, const std::string& fileName, const PayloadLoader& load,
                  CompiledSetup* out, BuildError* error) {
  try {
    CompiledSetup result;
    Compiler compiler(load, &result);
    compiler.Run(Tokenize(source));
    // The total size figure lives at offset 5 of the header.
    uint32_t total = compiler.TotalSize();
    for (int i = 0; i < 4; ++i) result.script[5 + static_cast<size_t>(i)] = static_cast<uint8_t>(total >> (8 * i));
    *out = std::move(result);
    return true;
  } catch (const Failure& f) {
    *error = BuildError{fileName, f.line, f.message};
  } catch (const std::exception& e) {
    *error = BuildError{fileName, 0, e.what()};
  }
  return false;
}

std::string DumpScript(const std::vector<uint8_t>& script) {
  std::vector<uint8_t> buffer = script;
  buffer.push_back(OP_END_OF_SCRIPT);
  ScriptHeader header;
  std::string text;
  char line[128];
  if (ParseScriptHeader(buffer.data(), script.size(), &header) != HeaderError::kNone) {
    return "not a compiled script: its header is damaged\n";
  }
  std::snprintf(line, sizeof line, "header: %zu bytes, %d language(s), total size %u, options 0x%x, flags 0x%02x\n",
                header.firstRecord, header.languageCount, header.totalSize, header.headerOptions, header.headerFlags);
  text += line;
  size_t pos = header.firstRecord;
  for (;;) {
    uint8_t opcode = buffer[pos];
    const RecordShape* shape = ShapeOf(opcode);
    size_t next = pos;
    StepResult r = StepOverRecord(buffer.data(), buffer.size(), &next, header.languageCount);
    if (r == StepResult::kEndMarker) break;
    if (r != StepResult::kOk) {
      std::snprintf(line, sizeof line, "%08zx  damaged record (opcode %u)\n", pos, opcode);
      text += line;
      break;
    }
    std::snprintf(line, sizeof line, "%08zx  %-24s", pos, shape->name);
    text += line;
    size_t fixed = FixedLengthOf(opcode, header.languageCount);
    for (size_t i = 1; i < fixed; ++i) {
      std::snprintf(line, sizeof line, " %02x", buffer[pos + i]);
      text += line;
    }
    const char* s = reinterpret_cast<const char*>(buffer.data() + pos + fixed);
    for (int i = StringCountOf(opcode, header.languageCount); i > 0; --i) {
      text += " " + Quote(s);
      s += std::strlen(s) + 1;
    }
    text += "\n";
    pos = next;
  }
  return text;
}

}  // namespace tarn
