#include "engine/script/variables.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/script/text.h"

namespace tarn {
namespace {

class Variables : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = std::make_unique<VariableStore>();
    ClearVariables(*store_);
    WriteSlotDirect(*store_, 0, "%CMDLINE%", "/T");
    WriteSlotDirect(*store_, 1, "%LANG%", "English");
    WriteSlotDirect(*store_, 2, "%%", "%");
    store_->count = 3;
    SetVariable(*store_, "WIN", "C:\\WINDOWS");
  }
  std::string Expand(const std::string& text, size_t capacity = 256) {
    std::string buffer(capacity, 'X');
    ExpandText(*store_, buffer.data(), text.c_str(), capacity);
    return buffer.c_str();
  }
  std::string Get(const char* name) {
    char out[1024];
    GetVariable(*store_, name, out, sizeof out);
    return out;
  }
  std::unique_ptr<VariableStore> store_;
};

TEST_F(Variables, ExpansionCases) {
  SetVariable(*store_, "QUOTE", "%WIN%");
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"%WIN%\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
      {"%win%\\SYSTEM", "C:\\WINDOWS\\SYSTEM"},
      {"100%%", "100%"},
      {"50% done", "50"},
      {"a % b %WIN%", "a WIN"},
      {"%UNDEFINED%X", "X"},
      {"<%QUOTE%>", "<%WIN%>"},  // a value is inserted as it is, never expanded again
      {"%CMDLINE% %LANG%", "/T English"},
      {"no references", "no references"},
      {"%", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Expand(c.text), c.expected) << c.text;
}

TEST_F(Variables, ExpansionIsCutAtCapacity) {
  std::string longValue(200, 'v');
  SetVariable(*store_, "LONG", longValue.c_str());
  std::string expanded = Expand("%LONG%%LONG%tail");
  EXPECT_EQ(expanded.size(), 255u);
  EXPECT_EQ(expanded, std::string(255, 'v'));
  // A text longer than the capacity is cut even without references.
  EXPECT_EQ(Expand(std::string(300, 'a')).size(), 255u);
  // The same buffer as source and destination.
  char same[16] = "x%WIN%y";
  ExpandText(*store_, same, same, sizeof same);
  EXPECT_STREQ(same, "xC:\\WINDOWSy");
  // The source is cut before expansion: "%WI" is an unmatched reference.
  EXPECT_EQ(Expand("%WIN%", 4), "");
  EXPECT_EQ(Expand("%WIN%", 6), "C:\\WI");
}

TEST_F(Variables, LongValueSpansSlotsAndShrinking) {
  SetVariable(*store_, "AFTER", "later");
  std::string big(300, 'b');
  ASSERT_TRUE(SetVariable(*store_, "BIG", big.c_str()));
  int slot = FindVariableSlot(*store_, "%BIG%");
  ASSERT_EQ(slot, 5);
  EXPECT_EQ(store_->names[6][0], '\0');  // continuation slot
  EXPECT_EQ(store_->count, 7);
  EXPECT_EQ(Get("BIG"), big);

  // Growing the earlier variable moves every later slot up.
  std::string bigger(600, 'c');
  ASSERT_TRUE(SetVariable(*store_, "WIN", bigger.c_str()));
  EXPECT_EQ(store_->count, 9);
  EXPECT_EQ(FindVariableSlot(*store_, "%AFTER%"), 6);
  EXPECT_EQ(Get("AFTER"), "later");
  EXPECT_EQ(Get("BIG"), big);

  // Shrinking frees the continuation slots and moves later slots down.
  ASSERT_TRUE(SetVariable(*store_, "WIN", "x"));
  EXPECT_EQ(store_->count, 7);
  EXPECT_EQ(FindVariableSlot(*store_, "%AFTER%"), 4);
  ASSERT_TRUE(SetVariable(*store_, "BIG", "x"));
  EXPECT_EQ(store_->count, 6);
  EXPECT_EQ(Get("AFTER"), "later");
  EXPECT_EQ(Get("BIG"), "x");
}

TEST_F(Variables, NamesIgnoreCase) {
  SetVariable(*store_, "Path", "one");
  SetVariable(*store_, "PATH", "two");
  EXPECT_EQ(Get("path"), "two");
  EXPECT_EQ(store_->count, 5);
  EXPECT_STREQ(store_->names[4], "%Path%");  // letters of the first SetVariable
  FindOrAddVariable(*store_, "pAtH");
  EXPECT_STREQ(store_->names[4], "%pAtH%");  // FindOrAddVariable writes its own letters
}

TEST_F(Variables, FindOrAddCreatesEmptyAndAcceptsPercentForm) {
  char* value = FindOrAddVariable(*store_, "NEWVAR");
  EXPECT_STREQ(value, "");
  CopyText(value, kValueSize, "set directly");
  EXPECT_EQ(FindOrAddVariable(*store_, "%NEWVAR%"), value);
  EXPECT_EQ(Get("NEWVAR"), "set directly");
}

TEST_F(Variables, LimitsRefuseWithoutWritingOutside) {
  EXPECT_FALSE(SetVariable(*store_, "FIFTEENCHARSXXX", "v"));
  EXPECT_TRUE(SetVariable(*store_, "FOURTEENCHARSX", "v"));
  EXPECT_EQ(FindOrAddVariable(*store_, "FIFTEENCHARSXXX"), store_->discard);

  // Fill the store: SetVariable stops at 524 slots, FindOrAddVariable may take the last.
  char name[16];
  int made = 0;
  for (int i = 0; i < 600; ++i) {
    std::snprintf(name, sizeof name, "V%d", i);
    if (SetVariable(*store_, name, "1")) ++made;
  }
  EXPECT_EQ(store_->count, kSetVariableLimit);
  char* last = FindOrAddVariable(*store_, "LASTONE");
  EXPECT_NE(last, store_->discard);
  EXPECT_EQ(store_->count, kVariableCapacity);
  EXPECT_EQ(FindOrAddVariable(*store_, "NOROOM"), store_->discard);
  // Growing an existing variable past the limit keeps its old value.
  std::string big(600, 'g');
  EXPECT_FALSE(SetVariable(*store_, "WIN", big.c_str()));
  EXPECT_EQ(Get("WIN"), "C:\\WINDOWS");
  // Replacing with the same extent still works in a full store.
  EXPECT_TRUE(SetVariable(*store_, "WIN", "D:\\WIN"));
  EXPECT_EQ(Get("WIN"), "D:\\WIN");
}

TEST_F(Variables, GetVariableIsBoundedByTheCallersBuffer) {
  std::string big(700, 'q');
  SetVariable(*store_, "BIG", big.c_str());
  char small[10];
  GetVariable(*store_, "BIG", small, sizeof small);
  EXPECT_EQ(std::string(small), std::string(9, 'q'));
  GetVariable(*store_, "MISSING", small, sizeof small);
  EXPECT_STREQ(small, "");
}

// Shift-JIS style lead bytes 0x81..0x9F: a trail byte equal to "%" is not a percent sign.
bool JapaneseLeadByte(unsigned char c) { return c >= 0x81 && c <= 0x9F; }

TEST_F(Variables, DoubleByteTrailPercentIsNotAReference) {
  SetLeadBytePredicate(&JapaneseLeadByte);
  std::string text = "\x81%%WIN%\x81%";  // two double-byte characters around a reference
  EXPECT_EQ(Expand(text), "\x81%C:\\WINDOWS\x81%");
  SetLeadBytePredicate(nullptr);
  // Single-byte: "%%" yields "%", then "%\x81%" is an unmatched reference.
  EXPECT_EQ(Expand(text), "\x81%WIN");
}

}  // namespace
}  // namespace tarn
