// The comparisons of conditional and loop records: fourteen operators between a
// variable's value and a text. Pure logic: no Windows header.
#pragma once
#include <cstddef>

#include "engine/script/variables.h"

namespace tarn {

// Bits of the condition byte of IF/WHILE and ELSE IF records.
constexpr unsigned kConditionOperatorMask = 0x0F;
constexpr unsigned kConditionLoop = 0x10;
constexpr unsigned kConditionTestAtEnd = 0x20;  // the body runs once before the first test
constexpr unsigned kConditionTestNow = 0x40;    // a test-at-end loop past its first pass

// Compares two version texts: -1, 0 or 1 for left less, equal or greater. Dates written
// mm/dd/yy compare by year first, years 00 to 59 counting after 60 to 99; numbers
// compare as numbers; from a letter (or an unprintable character) on, the rest compares
// as plain text. Only the first 255 characters of `left` count.
int CompareVersions(const char* left, const char* right);

// Operators 0 to 12 between `value` and `text` (13 needs the evaluator: see Compare).
bool CompareValues(unsigned op, const char* value, const char* text);

// The whole operator table: for operators below 13 the value of variable `name` is read
// into `left`; operator 13 evaluates `text` as an expression into `left` and is true for
// a non-zero number. `left` holds `leftSize` bytes (the engine's leftBuffer).
bool Compare(VariableStore& store, unsigned op, const char* name, const char* text, char* left, size_t leftSize);

}  // namespace tarn
