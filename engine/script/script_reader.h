// Reading the script in place: the header at start-up, then one record after another.
#pragma once
#include <cstddef>

#include "engine/script/script_format.h"

namespace tarn {

// Reads the header, chooses the language, sets the title, the message table and the
// built-in variables, and leaves the current record at the first record. 0 or -2.
int ReadScriptHeader();

// Moves the current record to the next one. kOk when it moved; otherwise the current
// record stays where it is (the end marker, an invalid opcode, or a record that would run
// past the end of the script).
StepResult NextRecord();

// Advances a string pointer by count x (chosen language index) strings.
const char* SelectLanguageStrings(const char* strings, int count);

}  // namespace tarn
