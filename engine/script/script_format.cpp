#include "engine/script/script_format.h"

namespace tarn {

#define SHAPE(name, f, p, l) RecordShape{name, f, p, l}
#define INVALID RecordShape{nullptr, 0, 0, 0}

const RecordShape kRecordTable[kOpcodeCount] = {
    SHAPE("OP_INSTALL_FILE", 43, 2, 1),        // 0
    INVALID,                                   // 1
    SHAPE("OP_SKIPPED_TEXTS", 2, 1, 4),        // 2
    SHAPE("OP_MESSAGE_BOX", 2, 0, 2),          // 3
    SHAPE("OP_PROGMAN_COMMAND", 2, 0, 1),      // 4
    SHAPE("OP_EDIT_INI_SECTION", 1, 3, 0),     // 5
    SHAPE("OP_DISPLAY_GRAPHIC", 19, 1, 0),     // 6: +12 fixed bytes per further language
    SHAPE("OP_RUN_PROGRAM", 2, 3, 0),          // 7
    SHAPE("OP_END_BLOCK", 2, 0, 0),            // 8
    SHAPE("OP_CALL_DLL_FUNCTION", 2, 4, 1),    // 9
    SHAPE("OP_EDIT_REGISTRY", 3, 3, 0),        // 10
    SHAPE("OP_DELETE_FILES", 2, 1, 0),         // 11
    SHAPE("OP_IF_WHILE", 2, 2, 0),             // 12
    SHAPE("OP_ELSE", 1, 0, 0),                 // 13
    INVALID,                                   // 14
    SHAPE("OP_BEGIN_PROGMAN", 1, 0, 0),        // 15
    SHAPE("OP_END_PROGMAN", 1, 0, 0),          // 16
    SHAPE("OP_CREATE_DIRECTORY", 1, 1, 0),     // 17
    SHAPE("OP_INSTALL_FILE_EX", 43, 3, 1),     // 18
    INVALID,                                   // 19
    SHAPE("OP_CUSTOM_DIALOG", 13, 2, 0),       // 20
    SHAPE("OP_GET_SYSTEM_INFO", 2, 2, 0),      // 21
    SHAPE("OP_GET_TEMP_FILE_NAME", 1, 1, 0),   // 22
    SHAPE("OP_PLAY_MEDIA", 6, 1, 0),           // 23
    SHAPE("OP_EXIT_INSTALLATION", 1, 0, 0),    // 24
    SHAPE("OP_ODBC_INSTALL_DRIVER", 2, 3, 0),  // 25
    SHAPE("OP_ODBC_CONFIG_SOURCE", 2, 2, 0),   // 26
    SHAPE("OP_FILLER", 1, 0, 0),               // 27
    SHAPE("OP_ADD_LOG_TEXT", 1, 1, 0),         // 28
    SHAPE("OP_RENAME_FILE", 1, 2, 0),          // 29
    SHAPE("OP_LOG_CONTROL", 2, 1, 0),          // 30
    INVALID,                                   // 31
    INVALID,                                   // 32
    INVALID,                                   // 33
    INVALID,                                   // 34
    SHAPE("OP_ELSE_IF", 2, 2, 0),              // 35
};
static_assert(sizeof(kRecordTable) / sizeof(kRecordTable[0]) == 36, "the table covers opcodes 0 to 35");

#undef SHAPE
#undef INVALID

const RecordShape* ShapeOf(uint8_t opcode) {
  if (opcode >= kOpcodeCount || kRecordTable[opcode].fixedLength == 0) return nullptr;
  return &kRecordTable[opcode];
}

size_t FixedLengthOf(uint8_t opcode, int languageCount) {
  if (opcode == OP_DISPLAY_GRAPHIC) {
    return kDisplayGraphicFixed + kDisplayGraphicPerLanguage * static_cast<size_t>(languageCount - 1);
  }
  const RecordShape* shape = ShapeOf(opcode);
  return shape ? shape->fixedLength : 0;
}

int StringCountOf(uint8_t opcode, int languageCount) {
  const RecordShape* shape = ShapeOf(opcode);
  if (shape == nullptr) return 0;
  return shape->plainCount + shape->perLanguage * languageCount;
}

size_t SkipString(const uint8_t* script, size_t limit, size_t pos) {
  for (size_t i = pos; i < limit; ++i) {
    if (script[i] == 0) return i + 1;
  }
  return 0;
}

StepResult StepOverRecord(const uint8_t* script, size_t limit, size_t* pos, int languageCount) {
  size_t at = *pos;
  if (at >= limit) return StepResult::kOverrun;
  uint8_t opcode = script[at];
  if (opcode == OP_END_OF_SCRIPT) return StepResult::kEndMarker;
  if (ShapeOf(opcode) == nullptr) return StepResult::kInvalidOpcode;
  size_t next = at + FixedLengthOf(opcode, languageCount);
  // The next opcode byte must still be readable: the end marker itself lies inside limit.
  if (next >= limit) return StepResult::kOverrun;
  for (int i = StringCountOf(opcode, languageCount); i > 0; --i) {
    next = SkipString(script, limit, next);
    if (next == 0 || next >= limit) return StepResult::kOverrun;
  }
  *pos = next;
  return StepResult::kOk;
}

}  // namespace tarn
