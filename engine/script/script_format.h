// The compiled script: byte layout of the header and the records, and the rule by which
// the engine steps from one record to the next. Little-endian, byte-packed, strings are
// zero-terminated ANSI texts without length prefixes.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

enum Opcode : uint8_t {
  OP_INSTALL_FILE = 0,
  OP_SKIPPED_TEXTS = 2,
  OP_MESSAGE_BOX = 3,
  OP_PROGMAN_COMMAND = 4,
  OP_EDIT_INI_SECTION = 5,
  OP_DISPLAY_GRAPHIC = 6,
  OP_RUN_PROGRAM = 7,
  OP_END_BLOCK = 8,
  OP_CALL_DLL_FUNCTION = 9,
  OP_EDIT_REGISTRY = 10,
  OP_DELETE_FILES = 11,
  OP_IF_WHILE = 12,
  OP_ELSE = 13,
  OP_BEGIN_PROGMAN = 15,
  OP_END_PROGMAN = 16,
  OP_CREATE_DIRECTORY = 17,
  OP_INSTALL_FILE_EX = 18,
  OP_CUSTOM_DIALOG = 20,
  OP_GET_SYSTEM_INFO = 21,
  OP_GET_TEMP_FILE_NAME = 22,
  OP_PLAY_MEDIA = 23,
  OP_EXIT_INSTALLATION = 24,
  OP_ODBC_INSTALL_DRIVER = 25,
  OP_ODBC_CONFIG_SOURCE = 26,
  OP_FILLER = 27,
  OP_ADD_LOG_TEXT = 28,
  OP_RENAME_FILE = 29,
  OP_LOG_CONTROL = 30,
  OP_ELSE_IF = 35,        // '#'
  OP_END_OF_SCRIPT = 63,  // '?', written by the engine at scriptLength
};

// The three numbers that frame a record: `fixedLength` bytes from the opcode byte to the
// first string, `plainCount` strings that appear once and `perLanguage` strings per
// installation language. fixedLength 0 marks an invalid opcode (so a zeroed entry fails).
struct RecordShape {
  const char* name;
  uint8_t fixedLength;
  uint8_t plainCount;
  uint8_t perLanguage;
};

constexpr int kOpcodeCount = 36;  // the table covers opcodes 0 to 35
extern const RecordShape kRecordTable[kOpcodeCount];

// Opcode 6 carries 12 more fixed bytes for every language after the first.
constexpr size_t kDisplayGraphicFixed = 19;
constexpr size_t kDisplayGraphicPerLanguage = 12;

constexpr size_t kFixedHeaderLength = 37;
constexpr int kStringsPerLanguage = 55;  // title + 54 messages
constexpr int kMessageCount = 54;

// Shape of a valid opcode, or nullptr for an invalid one (the end marker included).
const RecordShape* ShapeOf(uint8_t opcode);

// Fixed part of a record of `opcode` in a script with `languageCount` languages.
size_t FixedLengthOf(uint8_t opcode, int languageCount);
// Number of strings after the fixed part.
int StringCountOf(uint8_t opcode, int languageCount);

enum class StepResult { kOk, kEndMarker, kInvalidOpcode, kOverrun };

// Steps from the opcode byte at `*pos` to the opcode byte of the next record. `limit` is
// the number of readable bytes (scriptLength + 1, the end marker included): a record
// that would reach beyond it is kOverrun and `*pos` is left unchanged, as it is for an
// invalid opcode and for the end marker.
StepResult StepOverRecord(const uint8_t* script, size_t limit, size_t* pos, int languageCount);

// Position after the zero byte of the string at `pos`, or 0 when no zero byte comes
// before `limit`.
size_t SkipString(const uint8_t* script, size_t limit, size_t pos);

inline uint16_t ReadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace tarn
