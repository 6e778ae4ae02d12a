#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "builder/script_language.h"
#include "builder/setup_file.h"
#include "engine/script/script_format.h"
#include "engine/script/script_header.h"
#include "host/pack.h"

namespace tarn {
namespace {

// Payload files of the tests, by name.
// A 1 x 1 24-bit .BMP file.
const std::string kTinyBitmap = std::string("BM\x3a\0\0\0\0\0\0\0\x36\0\0\0\x28\0\0\0\x01\0\0\0\x01\0\0\0\x01\0\x18\0", 30) +
                                std::string(24, '\0') + std::string("\x10\x20\x30\0", 4);
std::map<std::string, std::string> g_files = {
    {"a.txt", "hello"}, {"big.txt", std::string(5000, 'z')}, {"pic.bmp", kTinyBitmap}};

PayloadLoader Loader() {
  return [](const std::string& name, PayloadFile* file) {
    auto it = g_files.find(name);
    if (it == g_files.end()) return false;
    file->data.assign(it->second.begin(), it->second.end());
    file->dosDate = 0x5A21;
    file->dosTime = 0x6000;
    return true;
  };
}

CompiledSetup Compile(const std::string& source) {
  CompiledSetup out;
  BuildError error;
  EXPECT_TRUE(CompileSetup(source, "t.tsc", Loader(), &out, &error)) << error.Text();
  return out;
}

// The dump lines after the header line.
std::vector<std::string> Records(const CompiledSetup& setup) {
  std::string dump = DumpScript(setup.script);
  std::vector<std::string> lines;
  size_t start = dump.find('\n') + 1;
  while (start < dump.size()) {
    size_t end = dump.find('\n', start);
    lines.push_back(dump.substr(start + 10, end - start - 10));  // past the offset
    start = end + 1;
  }
  return lines;
}

TEST(Builder, EveryStatementShowsInTheDump) {
  struct Case {
    const char* statement;
    const char* dumped;
  } cases[] = {
      {"install \"a.txt\" to \"C:\\x\\a.txt\" shared no-log",
       "OP_INSTALL_FILE          06 00 00 00 00 00 06 00 00 00 21 5a 00 60 05 00 00 00"},
      {"install-external \"D:\\src.dll\" to \"%SYS%\\src.dll\" check-version",
       "OP_INSTALL_FILE_EX       41 00"},
      {"install-files \"D:\\tree\\*.*\" to \"C:\\tree\" recurse", "OP_INSTALL_FILE_EX       40 81"},
      {"if X == \"1\"\nend", "OP_IF_WHILE              00 \"X\" \"1\""},
      {"while after I < \"3\"\nend", "OP_IF_WHILE              38 \"I\" \"3\""},
      {"if expression \"1+1\"\nelse if Y ~= \"b\"\nelse\nend", "OP_ELSE_IF               04 \"Y\" \"b\""},
      {"message-box style 0x30 \"Cap\" \"Text \"\"quoted\"\"\"", "OP_MESSAGE_BOX           30 \"Cap\" \"Text \"\"quoted\"\"\""},
      {"exit", "OP_EXIT_INSTALLATION"},
      {"filler", "OP_FILLER"},
      {"log-text \"t%CRLF%\"", "OP_ADD_LOG_TEXT          \"t%CRLF%\""},
      {"log-control new \"C:\\n.log\"", "OP_LOG_CONTROL           02 \"C:\\n.log\""},
      {"log-control pause", "OP_LOG_CONTROL           01 \"\""},
      {"create-directory \"C:\\d\\\"", "OP_CREATE_DIRECTORY      \"C:\\d\\\""},
      {"delete-files flags 0x0c \"C:\\d\\*.*\"", "OP_DELETE_FILES          0c \"C:\\d\\*.*\""},
      {"rename \"C:\\a\" \"b\"", "OP_RENAME_FILE           \"C:\\a\" \"b\""},
      {"temp-file TMP", "OP_GET_TEMP_FILE_NAME    \"TMP\""},
      {"play \"ding.wav\" repeat", "OP_PLAY_MEDIA            01 00 00 00 00 \"ding.wav\""},
      {"play video \"a.avi\" 10 -2", "OP_PLAY_MEDIA            02 0a 00 fe ff \"a.avi\""},
      {"registry local-machine \"Software\\T\" \"V\" set number \"5\" keep-existing",
       "OP_EDIT_REGISTRY         22 03 \"Software\\T\" \"5\" \"V\""},
      {"registry current-user \"Software\\T\" \"\" remove", "OP_EDIT_REGISTRY         c1 00 \"Software\\T\" \"\" \"\""},
      {"registry classes-root \".tarn\" remove-key", "OP_EDIT_REGISTRY         80 00 \".tarn\" \"\" \"\""},
      {"ini \"app.ini\" \"Sect\" \"k=v\"", "OP_EDIT_INI_SECTION      \"app.ini\" \"Sect\" \"k=v\""},
      {"record 21 u8 3 str \"OUT\" str \"C:\\\"", "OP_GET_SYSTEM_INFO       03 \"OUT\" \"C:\\\""},
      {"picture \"pic.bmp\" at 10 20 effect dissolve transparent", "OP_DISPLAY_GRAPHIC       82 00 0a 00 14 00 00 00 00 00"},
      {"remove-pictures all", "OP_DISPLAY_GRAPHIC       01 00 00 00 00 00"},
      {"record 20 u32 1 u32 2 u32 3 str \"V\" str \"x\"", "OP_CUSTOM_DIALOG         01 00 00 00 02 00 00 00 03 00 00 00 \"V\" \"x\""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> records = Records(Compile(c.statement));
    bool found = false;
    for (const std::string& line : records) found = found || line.rfind(c.dumped, 0) == 0;
    EXPECT_TRUE(found) << c.statement << "\n  got: " << (records.empty() ? "" : records[0]);
  }
}

TEST(Builder, CompiledBytesMatchTheFormatByHand) {
  CompiledSetup s = Compile("title \"T\"\nif V == \"1\"\nexit\nend\nfiller\n");
  ScriptHeader h;
  ASSERT_EQ(ParseScriptHeader(s.script.data(), s.script.size(), &h), HeaderError::kNone);
  std::vector<uint8_t> records(s.script.begin() + static_cast<long>(h.firstRecord), s.script.end());
  const std::vector<uint8_t> expected = {
      OP_IF_WHILE, 0x00, 'V', 0, '1', 0,  // if V == "1"
      OP_EXIT_INSTALLATION,               // exit
      OP_END_BLOCK, 0x00,                 // end of a block
      OP_FILLER,                          // filler
  };
  EXPECT_EQ(records, expected);
  // The fixed header: flags with the pause allowed, the total size of the payload (none).
  EXPECT_EQ(s.script[0], 0x20);
  EXPECT_EQ(h.totalSize, 0u);
  EXPECT_EQ(h.languageCount, 1);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.script.data() + h.singleLanguageName)), "English");
  // An install record: the payload's size, checksum, date and place in the file data.
  CompiledSetup f = Compile("install \"a.txt\" to \"C:\\a.txt\"\ninstall \"big.txt\" to \"C:\\b.txt\"\n");
  ASSERT_EQ(ParseScriptHeader(f.script.data(), f.script.size(), &h), HeaderError::kNone);
  const uint8_t* first = f.script.data() + h.firstRecord;
  EXPECT_EQ(ReadU32(first + 3), 0u);                        // dataStart
  EXPECT_EQ(ReadU32(first + 7), 6u);                        // dataEnd: method byte + 5 stored bytes
  EXPECT_EQ(ReadU16(first + 11), 0x5A21);                   // date
  EXPECT_EQ(ReadU32(first + 15), 5u);                       // size
  EXPECT_EQ(ReadU32(first + 39), Checksum({'h', 'e', 'l', 'l', 'o'}));
  EXPECT_EQ(h.totalSize, 5005u);
  size_t second = h.firstRecord;
  StepOverRecord(f.script.data(), f.script.size() + 1, &second, 1);
  std::vector<uint8_t> withMarker = f.script;
  EXPECT_EQ(ReadU32(f.script.data() + second + 3), 6u);
  uint32_t end = ReadU32(f.script.data() + second + 7);
  EXPECT_LT(end - 6, 100u);  // 5000 equal bytes deflate to a few bytes
  std::vector<uint8_t> packed(f.fileData.begin() + 6, f.fileData.begin() + end);
  std::vector<uint8_t> unpacked;
  ASSERT_TRUE(Unpack(packed, &unpacked));
  EXPECT_EQ(std::string(unpacked.begin(), unpacked.end()), g_files["big.txt"]);
}

TEST(Builder, ErrorsNameTheLineAndProduceNothing) {
  struct Case {
    const char* source;
    const char* error;
  } cases[] = {
      {"title \"x\"\nif X ?? \"1\"\nend", "t.tsc:2: unknown comparison \"??\""},
      {"exit\nend", "t.tsc:2: \"end\" without a block"},
      {"\n\nif X == \"1\"\n", "t.tsc:3: this block has no \"end\""},
      {"install \"missing.txt\" to \"C:\\m\"", "t.tsc:1: cannot read \"missing.txt\""},
      {"message 54 \"x\"", "t.tsc:1: message number must be between 0 and 53"},
      {"log-text \"unterminated", "t.tsc:1: text without its closing quote"},
      {"frobnicate", "t.tsc:1: unknown statement \"frobnicate\""},
      {"if X == \"1\"\nelse\nelse\nend", "t.tsc:3: nothing may follow the plain \"else\" of this \"if\""},
      {"record 14", "t.tsc:1: opcode 14 is not valid"},
      {"record 12 u8 0 str \"V\"", "t.tsc:1: OP_IF_WHILE: expected 2 fixed bytes and 2 strings, got 2 and 1"},
      {"if LONGVARIABLENAME15 == \"1\"\nend", "t.tsc:1: a variable name has at most 14 characters"},
      {"exit extra", "t.tsc:1: unexpected \"extra\""},
  };
  for (const Case& c : cases) {
    CompiledSetup out;
    out.script = {1, 2, 3};
    BuildError error;
    EXPECT_FALSE(CompileSetup(c.source, "t.tsc", Loader(), &out, &error)) << c.source;
    EXPECT_EQ(error.Text(), c.error) << c.source;
    EXPECT_EQ(out.script, (std::vector<uint8_t>{1, 2, 3})) << c.source;
  }
}

TEST(Builder, EachLanguageGetsItsOwnTexts) {
  CompiledSetup s = Compile(
      "message 3 \"Installing \"\n"
      "language \"English\" \"ENU\"\ntitle \"Setup\"\n"
      "language \"Deutsch\" \"DEU\"\ntitle \"Installation\"\nmessage 3 \"Installiere \"\n"
      "message-box \"Hi\" \"Hello\" \"Hallo\" \"Guten Tag\"\n");
  ScriptHeader h;
  ASSERT_EQ(ParseScriptHeader(s.script.data(), s.script.size(), &h), HeaderError::kNone);
  ASSERT_EQ(h.languageCount, 2);
  auto text = [&](size_t at) { return std::string(reinterpret_cast<const char*>(s.script.data() + at)); };
  EXPECT_EQ(text(h.languages[1].code), "DEU");
  size_t german = TitleOffset(s.script.data(), s.script.size(), h, 1);
  EXPECT_EQ(text(german), "Installation");
  EXPECT_EQ(text(SkipStrings(s.script.data(), s.script.size(), german, 4)), "Installiere ");
  size_t english = TitleOffset(s.script.data(), s.script.size(), h, 0);
  EXPECT_EQ(text(SkipStrings(s.script.data(), s.script.size(), english, 4)), "Installing ");
  // The default message table fills what a script leaves out.
  EXPECT_FALSE(text(SkipStrings(s.script.data(), s.script.size(), german, 38)).empty());
  EXPECT_EQ(Records(s)[0], "OP_MESSAGE_BOX           00 \"Hi\" \"Hello\" \"Hallo\" \"Guten Tag\"");
}

TEST(Builder, PackingAndTheSetupFile) {
  std::vector<uint8_t> text(20000, 'a');
  std::vector<uint8_t> noise(20000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 16);
  std::vector<uint8_t> packedText = PackBest(text), packedNoise = PackBest(noise), back;
  EXPECT_LT(packedText.size(), 200u);
  EXPECT_EQ(packedNoise.size(), noise.size() + 1);  // incompressible data is stored
  ASSERT_TRUE(Unpack(packedText, &back));
  EXPECT_EQ(back, text);
  ASSERT_TRUE(Unpack(packedNoise, &back));
  EXPECT_EQ(back, noise);
  packedText.resize(packedText.size() / 2);
  EXPECT_FALSE(Unpack(packedText, &back));  // a cut deflate stream is an error

  // A stand-in for the stub: a PE image of one section ending at byte 1000.
  std::vector<uint8_t> stub(1000, 0);
  stub[0] = 'M';
  stub[1] = 'Z';
  stub[60] = 64;
  stub[64] = 'P';
  stub[65] = 'E';
  stub[64 + 6] = 1;              // one section
  stub[64 + 24 + 16] = 0x84;     // raw size 900 (0x384)
  stub[64 + 24 + 17] = 0x03;
  stub[64 + 24 + 20] = 100;      // raw data at 100
  EXPECT_EQ(PeImageEnd(stub.data(), stub.size()), 1000u);
  stub.resize(1200, 0xEE);       // anything after the image is not part of the setup

  CompiledSetup s = Compile("install \"big.txt\" to \"C:\\a.txt\"\n");
  std::vector<uint8_t> file = AssembleSetup(stub, std::vector<uint8_t>(1000, 7), s);
  std::vector<uint8_t> script;
  ASSERT_TRUE(ExtractScript(file, &script));
  EXPECT_EQ(script, s.script);

  // Split into parts of 50 bytes: the parts hold the archive in order.
  std::vector<std::vector<uint8_t>> parts = SplitSetup(file, 50);
  ASSERT_GT(parts.size(), 2u);
  std::vector<uint8_t> joined = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) {
    EXPECT_LE(parts[i].size(), 50u);
    joined.insert(joined.end(), parts[i].begin(), parts[i].end());
  }
  SetupRecord record;
  std::memcpy(&record, parts[0].data() + 1000, sizeof record);
  EXPECT_EQ(record.diskSize, 50u);
  EXPECT_EQ(record.firstPartSize, 50u);
  EXPECT_EQ(parts[0].size(), record.archiveOffset + 50u);
  EXPECT_TRUE(std::equal(joined.begin() + record.archiveOffset, joined.end(), file.begin() + record.archiveOffset));

  file[1000 + 88] ^= 1;  // a damaged record
  EXPECT_FALSE(ExtractScript(file, &script));
}

}  // namespace
}  // namespace tarn
