// The operators of conditional and loop records, and the version comparison.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/script/condition.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

TEST(CompareVersions, NumbersDatesAndLetters) {
  const struct {
    const char* left;
    const char* right;
    int order;
  } cases[] = {
      {"2.10", "2.9", 1},
      {"1.0a", "1.0b", -1},         // from the letter on, plain text
      {"1.0b", "1.0B", 1},
      {"12/31/99", "01/01/00", -1},  // 00 counts after 99
      {"12/31/59", "01/01/60", 1},
      {"01/02/03", "01/02/03", 0},
      {"3.1", "3.1.1", -1},
      {"3.1.1", "3.1", 1},
      {"  4.0", "4.0", 0},
      {"4,0", "4.0", 0},            // any punctuation separates
      {"", "", 0},
      {"", "1", -1},
      {"10", "9", 1},
      {"1.\xE9", "1.a", 1},         // an unprintable character compares as text
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareVersions(c.left, c.right), c.order) << c.left << " vs " << c.right;
    EXPECT_EQ(CompareVersions(c.right, c.left), -c.order) << c.right << " vs " << c.left;
  }
}

TEST(CompareVersions, OnlyTheFirst255CharactersOfTheValueCount) {
  std::string value(255, '1');
  EXPECT_EQ(CompareVersions((value + "9").c_str(), value.c_str()), 0);
}

TEST(CompareValues, OperatorTable) {
  const struct {
    unsigned op;
    const char* value;
    const char* text;
    bool result;
  } cases[] = {
      {0, "Yes", "yes", false}, {0, "yes", "yes", true},
      {1, "Yes", "yes", true},  {1, "yes", "yes", false},
      {2, "abcdef", "cd", true}, {2, "abcdef", "CD", false}, {2, "abc", "", true},
      {3, "abcdef", "cd", false}, {3, "abcdef", "x", true},
      {4, "Yes", "yes", true},  {4, "Yes", "yes!", false},
      {5, "Yes", "yes", false}, {5, "Yes", "no", true},
      {6, "2.10", "2.9", true}, {6, "2.9", "2.9", false},
      {7, "2.9", "2.9", true},  {7, "2.8", "2.9", false},
      {8, "3.1", "3.1.1", true}, {8, "3.1.1", "3.1", false},
      {9, "3.1", "3.1", true},  {9, "3.2", "3.1", false},
      {10, "abc", "xyc", true}, {10, "abc", "xyz", false}, {10, "abc", "", false},
      {11, "abc", "abc", false}, {11, "abcd", "abc", true}, {11, "", "abc", false}, {11, "", "", false},
      {12, "", "0", true},      {12, "abc", "3", true}, {12, "abc", " 3x", true}, {12, "abc", "2", false},
      {14, "a", "a", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CompareValues(c.op, c.value, c.text), c.result)
        << "op " << c.op << " value '" << c.value << "' text '" << c.text << "'";
  }
}

TEST(Compare, ReadsTheVariableOrEvaluatesTheText) {
  auto store = std::make_unique<VariableStore>();
  ClearVariables(*store);
  SetVariable(*store, "ANSWER", "Yes");
  std::string left(61440, '\0');
  EXPECT_TRUE(Compare(*store, 4, "ANSWER", "yes", left.data(), left.size()));
  EXPECT_FALSE(Compare(*store, 0, "ANSWER", "yes", left.data(), left.size()));
  EXPECT_FALSE(Compare(*store, 0, "MISSING", "x", left.data(), left.size()));
  EXPECT_TRUE(Compare(*store, 0, "MISSING", "", left.data(), left.size()));
  // Operator 13: the text is an expression; the variable is not used.
  EXPECT_TRUE(Compare(*store, 13, "ANSWER", "2 3 \xA4", left.data(), left.size()));
  EXPECT_FALSE(Compare(*store, 13, "ANSWER", "3 2 \xA4", left.data(), left.size()));
  EXPECT_FALSE(Compare(*store, 13, "ANSWER", "1 2", left.data(), left.size()));
  // Only the low four bits of the condition byte are the operator.
  EXPECT_TRUE(Compare(*store, 0x74, "ANSWER", "yes", left.data(), left.size()));
}

}  // namespace
}  // namespace tarn
