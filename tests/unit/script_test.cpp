#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "builder/script_writer.h"
#include "engine/script/script_format.h"
#include "engine/script/script_header.h"

namespace tarn {
namespace {

ScriptHeaderFields Header(int languages) {
  ScriptHeaderFields h;
  h.languageDialogCaption = "Choose";
  h.languageDialogText = "Which language?";
  for (int i = 0; i < languages; ++i) {
    LanguageTexts l;
    l.name = "Lang" + std::to_string(i);
    l.code = "L" + std::to_string(i);
    l.title = "Title " + std::to_string(i);
    for (int m = 0; m < 54; ++m) l.messages[m] = "msg" + std::to_string(i) + "." + std::to_string(m);
    h.languages.push_back(l);
  }
  return h;
}

// Walks the records of `script` from the first one; returns the offsets of the records
// and the final result.
StepResult Walk(const std::vector<uint8_t>& script, size_t first, int languages, std::vector<size_t>* offsets) {
  std::vector<uint8_t> buffer = script;
  buffer.push_back(OP_END_OF_SCRIPT);
  size_t pos = first;
  for (;;) {
    offsets->push_back(pos);
    StepResult r = StepOverRecord(buffer.data(), buffer.size(), &pos, languages);
    if (r != StepResult::kOk) return r;
  }
}

TEST(RecordTable, CoversEveryOpcodeAndMarksInvalidOnes) {
  for (int op : {1, 14, 19, 31, 32, 33, 34}) EXPECT_EQ(ShapeOf(static_cast<uint8_t>(op)), nullptr) << op;
  for (int op : {36, 62, 63, 64, 255}) EXPECT_EQ(ShapeOf(static_cast<uint8_t>(op)), nullptr) << op;
  EXPECT_STREQ(ShapeOf(OP_ELSE_IF)->name, "OP_ELSE_IF");
  EXPECT_EQ(FixedLengthOf(OP_DISPLAY_GRAPHIC, 1), 19u);
  EXPECT_EQ(FixedLengthOf(OP_DISPLAY_GRAPHIC, 2), 31u);
  EXPECT_EQ(StringCountOf(OP_INSTALL_FILE_EX, 3), 6);
}

TEST(RecordStepping, LengthsFollowTheLanguageCount) {
  struct Case {
    const char* what;
    int languages;
    std::vector<uint8_t> record;  // one record; a filler follows it
    size_t length;
  };
  std::vector<uint8_t> graphic2(31, 0);
  graphic2[0] = OP_DISPLAY_GRAPHIC;
  graphic2.push_back('g');
  graphic2.push_back(0);
  std::vector<uint8_t> box2 = {OP_MESSAGE_BOX, 0x10, 'c', 0, 't', 0, 'C', 0, 'T', 0};
  std::vector<uint8_t> ifRec = {OP_IF_WHILE, 0x00, 'V', 0, '1', 0};
  std::vector<uint8_t> callRec = {OP_CALL_DLL_FUNCTION, 0x08, 0, 'f', '0', 0, 0, 0, 'p', 0, 'q', 0, 'r', 0};
  const Case cases[] = {
      {"display graphic, two languages: 31 fixed bytes and one string", 2, graphic2, 33},
      {"message box, two languages: four strings", 2, box2, 10},
      {"if: two plain strings", 1, ifRec, 6},
      {"call function, three languages: four plain and three per-language strings", 3, callRec, 14},
      {"filler: one byte", 1, {OP_FILLER}, 1},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> script = c.record;
    script.push_back(OP_FILLER);
    std::vector<size_t> offsets;
    EXPECT_EQ(Walk(script, 0, c.languages, &offsets), StepResult::kEndMarker) << c.what;
    ASSERT_EQ(offsets.size(), 3u) << c.what;
    EXPECT_EQ(offsets[1], c.length) << c.what;
  }
}

TEST(RecordStepping, RunOfFillersIsSteppedOneByteEach) {
  std::vector<uint8_t> script(5, OP_FILLER);
  std::vector<size_t> offsets;
  EXPECT_EQ(Walk(script, 0, 1, &offsets), StepResult::kEndMarker);
  EXPECT_EQ(offsets, (std::vector<size_t>{0, 1, 2, 3, 4, 5}));
}

TEST(RecordStepping, MalformedRecordsNeverReadPastTheEnd) {
  struct Case {
    const char* what;
    std::vector<uint8_t> script;
    StepResult result;
  } cases[] = {
      {"invalid opcode", {OP_FILLER, 1}, StepResult::kInvalidOpcode},
      {"opcode above 35", {OP_FILLER, 40}, StepResult::kInvalidOpcode},
      {"unterminated string", {OP_FILLER, OP_CREATE_DIRECTORY, 'a', 'b'}, StepResult::kOverrun},
      {"fixed part longer than the script", {OP_INSTALL_FILE, 0, 0}, StepResult::kOverrun},
      {"strings missing", {OP_IF_WHILE, 0, 'V', 0}, StepResult::kOverrun},
      {"empty script", {}, StepResult::kEndMarker},
  };
  for (const Case& c : cases) {
    // An exact-size heap copy: AddressSanitizer catches any read past the marker.
    std::vector<uint8_t> buffer = c.script;
    buffer.push_back(OP_END_OF_SCRIPT);
    std::unique_ptr<uint8_t[]> exact(new uint8_t[buffer.size()]);
    std::memcpy(exact.get(), buffer.data(), buffer.size());
    size_t pos = 0;
    StepResult r;
    do {
      r = StepOverRecord(exact.get(), buffer.size(), &pos, 1);
    } while (r == StepResult::kOk);
    EXPECT_EQ(r, c.result) << c.what;
  }
}

TEST(ScriptHeader, ThreeLanguagesFindEachLanguagesTexts) {
  ScriptWriter w(Header(3));
  w.Record(OP_CALL_DLL_FUNCTION).U8(0x08).Str("").Str("f0").Str("").Str("").PerLanguage({"p0", "p1", "p2"}).Finish();
  const std::vector<uint8_t>& s = w.bytes();
  ScriptHeader h;
  ASSERT_EQ(ParseScriptHeader(s.data(), s.size(), &h), HeaderError::kNone);
  EXPECT_EQ(h.languageCount, 3);
  ASSERT_EQ(h.languages.size(), 3u);
  EXPECT_STREQ(reinterpret_cast<const char*>(s.data() + h.languages[2].code), "L2");
  size_t title2 = TitleOffset(s.data(), s.size(), h, 2);
  // The title of language 2 is the 111th string after the language section.
  EXPECT_EQ(title2, SkipStrings(s.data(), s.size(), h.titleTables, 110));
  EXPECT_STREQ(reinterpret_cast<const char*>(s.data() + title2), "Title 2");
  EXPECT_EQ(h.firstRecord, w.headerLength());
  // Each per-language string of a record is found after skipping 2 x L strings.
  size_t params = SkipStrings(s.data(), s.size(), h.firstRecord + 2, 4);
  EXPECT_STREQ(reinterpret_cast<const char*>(s.data() + SkipStrings(s.data(), s.size(), params, 2)), "p2");
}

TEST(ScriptHeader, OneLanguageAndFields) {
  ScriptHeaderFields f = Header(1);
  f.headerFlags = 0x43;
  f.totalSize = 123456;
  f.diskSize = 1440000;
  f.downloadId = 0xCAFEBABE;
  f.headerOptions = kOptionNoCancel | kOptionLogInstallerDetails;
  f.userKeyName = "App";
  f.logPath = "%WIN%\\app.log";
  f.dialogFont = "MS Sans Serif";
  f.diskOffset = 77;
  f.statusFileName = "status.mif";
  f.uninstallStatusName = "UNINST";
  ScriptWriter w(f);
  const std::vector<uint8_t>& s = w.bytes();
  ScriptHeader h;
  ASSERT_EQ(ParseScriptHeader(s.data(), s.size(), &h), HeaderError::kNone);
  auto text = [&](size_t at) { return std::string(reinterpret_cast<const char*>(s.data() + at)); };
  EXPECT_EQ(h.headerFlags, 0x43);
  EXPECT_EQ(h.totalSize, 123456u);
  EXPECT_EQ(h.diskSize, 1440000u);
  EXPECT_EQ(h.downloadId, 0xCAFEBABEu);
  EXPECT_EQ(h.headerOptions, kOptionNoCancel | kOptionLogInstallerDetails);
  EXPECT_EQ(h.diskOffset, 77u);
  EXPECT_EQ(h.languageCount, 1);
  EXPECT_EQ(text(h.userKeyName), "App");
  EXPECT_EQ(text(h.logPath), "%WIN%\\app.log");
  EXPECT_EQ(text(h.dialogFont), "MS Sans Serif");
  EXPECT_EQ(text(h.statusFileName), "status.mif");
  EXPECT_EQ(text(h.uninstallStatusName), "UNINST");
  EXPECT_EQ(text(h.singleLanguageName), "Lang0");
  EXPECT_EQ(text(TitleOffset(s.data(), s.size(), h, 0)), "Title 0");
  EXPECT_EQ(h.firstRecord, s.size());
}

TEST(ScriptHeader, TruncatedHeadersAreRejected) {
  ScriptWriter w(Header(2));
  const std::vector<uint8_t>& full = w.bytes();
  ScriptHeader h;
  // Every prefix of a header is rejected, never read past.
  for (size_t n = 0; n < full.size(); n += 7) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n + 1]);
    if (n) std::memcpy(exact.get(), full.data(), n);
    EXPECT_NE(ParseScriptHeader(exact.get(), n, &h), HeaderError::kNone) << n;
  }
  EXPECT_EQ(ParseScriptHeader(full.data(), full.size(), &h), HeaderError::kNone);
}

TEST(ScriptWriter, ChecksRecordShapesAndWritesBytesExactly) {
  ScriptWriter w(Header(2));
  size_t start = w.offset();
  w.MessageBox(0x01, {{"c0", "t0"}, {"c1", "t1"}});
  w.If(0x14, "I", "3");
  w.End(true);
  const std::vector<uint8_t> expected = {OP_MESSAGE_BOX, 0x01, 'c', '0', 0, 't', '0', 0, 'c', '1', 0, 't', '1', 0,
                                         OP_IF_WHILE, 0x14, 'I', 0, '3', 0, OP_END_BLOCK, 1};
  EXPECT_EQ(std::vector<uint8_t>(w.bytes().begin() + static_cast<long>(start), w.bytes().end()), expected);
  EXPECT_THROW(w.Record(OP_IF_WHILE).U8(0).Str("only one").Finish(), std::logic_error);
  EXPECT_THROW(w.Record(OP_ELSE).U8(0).Finish(), std::logic_error);
  EXPECT_THROW(w.Record(1).Finish(), std::logic_error);
  EXPECT_THROW(w.MessageBox(0, {{"only", "one language"}}), std::logic_error);
}

TEST(LanguageChoice, PreselectsTheLastMatchAndClosesByItself) {
  const char* codes[] = {"enu", "deu", "ENU"};
  LanguageChoice c = ChooseLanguage(codes, 3, "ENU", false, false, false);
  EXPECT_EQ(c.preselected, 2);
  EXPECT_TRUE(c.closesByItself);
  EXPECT_FALSE(ChooseLanguage(codes, 3, "ENU", false, true, false).closesByItself);   // test run
  EXPECT_FALSE(ChooseLanguage(codes, 3, "ENU", false, false, true).closesByItself);   // list option
  LanguageChoice none = ChooseLanguage(codes, 3, "FRA", false, false, false);
  EXPECT_EQ(none.preselected, -1);
  EXPECT_FALSE(none.closesByItself);
  EXPECT_TRUE(ChooseLanguage(codes, 3, "FRA", true, false, false).closesByItself);    // silent
}

}  // namespace
}  // namespace tarn
