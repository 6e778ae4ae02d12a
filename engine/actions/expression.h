// The postfix expression evaluator used by conditions (operator 13) and by the
// set-variable action. Pure logic: no Windows header.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/script/variables.h"

namespace tarn {

// Reads a decimal number as parameter texts carry it: leading white space, an optional
// sign, then digits up to the first other character; 0 without digits. Values beyond
// the 32-bit range are clamped to it, as the C library's long conversion does.
int32_t ReadDecimal(const char* text);

constexpr int kExpressionStackDepth = 128;

// Evaluates `expression` (tokens in postfix order, separated by blanks) into `output`
// (`outputSize` bytes, the engine passes its 61440-byte work buffers). Operands are
// quoted texts ("" inside quotes stands for one quote), runs of digits, or variable
// names beginning with a letter (their value; a missing variable is created empty).
// Operators are single bytes from 0x80 up. The result is the text of the single entry
// left on the stack; an invalid expression, one that leaves no entry or more than one,
// and a division by zero give an empty result. Texts that do not fit are cut.
void EvaluateExpression(VariableStore& store, const char* expression, char* output, size_t outputSize);

}  // namespace tarn
