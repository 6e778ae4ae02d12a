// The postfix expression evaluator: operands, every operator, and the expressions that
// have no result.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/actions/expression.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

class Expression : public ::testing::Test {
 protected:
  void SetUp() override {
    store_ = std::make_unique<VariableStore>();
    ClearVariables(*store_);
    SetVariable(*store_, "FOUR", "4");
    SetVariable(*store_, "MINUS7", "-7");
    SetVariable(*store_, "PATH", "C:\\DIR\\FILE.TXT");
  }
  std::string Eval(const std::string& expression, size_t outputSize = 61440) {
    std::string out(outputSize, '\x55');
    EvaluateExpression(*store_, expression.c_str(), out.data(), outputSize);
    return std::string(out.c_str());
  }
  std::unique_ptr<VariableStore> store_;
};

struct Case {
  const char* expression;
  const char* result;
};

TEST_F(Expression, OperandsAndOperators) {
  const Case cases[] = {
      // operands
      {"\"abc\"", "abc"},
      {"  \"a\"\"b\"  ", "a\"b"},
      {"123", "123"},
      {"FOUR", "4"},
      {"four", "4"},
      {"\"abc\" 2 \xA3", "ab"},
      // one operand
      {"\"hello\" \x80", "5"},
      {"\"\" \x80", "0"},
      {"\"  x \" \x81", "x "},
      {"\"0\" \x82", "1"},
      {"\"x\" \x82", "1"},
      {"7 \x82", "0"},
      {"\" x \t \" \x83", " x"},
      {"\"aB1\" \x85", "AB1"},
      {"\"aB1\" \x87", "ab1"},
      // texts
      {"\"a.b.c\" \".\" \x9F", "a"},
      {"\"a.b.c\" \".\" \xA1", "b.c"},
      {"\"abc\" \"x\" \x9F", "abc"},
      {"\"abc\" \"\" \xA1", "abc"},
      {"PATH \"\\\" \xA1", "DIR\\FILE.TXT"},
      {"\"abcdef\" 2 \xA5", "ef"},
      {"\"abc\" 3 \xA5", "abc"},
      {"\"abc\" 9 \xA3", "abc"},
      {"\"a\" \"b\" \xA7", "ab"},
      {"\"x\" \"y\" \xA7 \"z\" \xA7", "xyz"},
      {"\"hello world\" \"o\" \xB6", "5"},
      {"\"hello\" \"z\" \xB6", "0"},
      {"\"hello\" 2 3 \xBD", "ell"},
      {"\"hello\" 0 2 \xBD", "he"},
      {"\"hello\" 4 9 \xBD", "lo"},
      {"\"hello\" 9 2 \xBD", ""},
      // numbers
      {"1 0 \x9E", "0"},
      {"1 2 \x9E", "1"},
      {"0 0 \xA0", "0"},
      {"0 3 \xA0", "1"},
      {"\"007\" 7 \xA2", "1"},
      {"\"abc\" \"abc\" \xA2", "1"},
      {"\"abc\" \"ABC\" \xA2", "0"},
      {"5 5 \xA8", "0"},
      {"\"007\" 8 \xA8", "1"},
      {"\"a\" \"b\" \xA8", "-1"},
      {"\"b\" \"a\" \xA8", "1"},
      {"2 3 \xA4", "1"},
      {"2 3 \xA6", "0"},
      {"3 3 \xAA", "1"},
      {"2 3 \xAC", "0"},
      {"3 4 \xAE", "7"},
      {"3 4 \xB0", "-1"},
      {"3 4 \xB2", "12"},
      {"7 2 \xB4", "3"},
      {"MINUS7 2 \xB4", "-3"},
      {"FOUR 1 \xAE", "5"},
      {"1 2 \xAE 3 4 \xAE \xB2", "21"},
      {"2147483647 1 \xAE", "-2147483648"},
      {"99999999999 0 \xAE", "2147483647"},
  };
  for (const Case& c : cases) EXPECT_EQ(Eval(c.expression), c.result) << c.expression;
}

TEST_F(Expression, ExpressionsWithoutResultAreEmpty) {
  const char* const cases[] = {
      "",
      "1 2",                  // two operands, no operator
      "\xAE",                 // operator without operands
      "\"abc\" \xA7",         // one operand short
      "\"abc\" \"b\" \xBD",   // one operand short of three
      "7 0 \xB4",             // division by zero
      "\"abc",                // quote never closed
      "1 + 2",                // not a token
      "1 2 \x90",             // not an operator
      "1 \x84",               // not an operator either
  };
  for (const char* c : cases) EXPECT_EQ(Eval(c), "") << c;
}

TEST_F(Expression, CountsNeverWriteOutsideTheText) {
  // A negative count keeps nothing; a position before the start counts as 1.
  SetVariable(*store_, "NEG", "-1");
  EXPECT_EQ(Eval("\"abc\" NEG \xA3"), "");
  EXPECT_EQ(Eval("\"abc\" NEG \xA5"), "abc");
  EXPECT_EQ(Eval("\"abc\" NEG 2 \xBD"), "ab");
  EXPECT_EQ(Eval("\"abc\" 1 NEG \xBD"), "");
}

TEST_F(Expression, MissingVariableIsCreatedEmpty) {
  EXPECT_EQ(Eval("NEWNAME \x80"), "0");
  EXPECT_GE(FindVariableSlot(*store_, "%NEWNAME%"), 0);
}

TEST_F(Expression, StackHoldsAtMost128Entries) {
  std::string full, over;
  for (int i = 0; i < 128; ++i) full += "1 ";
  for (int i = 0; i < 127; ++i) full += "\xAE ";
  EXPECT_EQ(Eval(full), "128");
  over = "1 " + full + "\xAE";
  EXPECT_EQ(Eval(over), "");
}

TEST_F(Expression, ResultIsCutToTheOutputBuffer) {
  EXPECT_EQ(Eval("\"abcdef\"", 4), "abc");
  EXPECT_EQ(Eval("\"abc\" \"def\" \xA7", 6), "abcd");  // the second operand is cut to the room left
  EXPECT_EQ(Eval("\"abcde\" \"f\" \xA7", 6), "");      // no room at all for the second operand
}

TEST(ReadDecimal, AsParameterTextsCarryIt) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0}, {"abc", 0}, {"  42x", 42}, {"-17", -17}, {"+5", 5}, {"\t\n 9", 9},
      {"- 5", 0}, {"2147483648", 2147483647}, {"-2147483649", -2147483647 - 1},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadDecimal(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace tarn
