// The parameter blocks handed to every called function and to the progress plug-in.
// Libraries written for the engine read them: fixed to the byte, offsets never move.
#pragma once
#include <cstddef>
#include <cstdint>

namespace tarn {

static_assert(sizeof(void*) == 4, "the parameter blocks are 32-bit layouts");

#pragma pack(push, 1)
struct ActionParams {
  uint16_t size;              // 0: 56
  uint16_t reserved2;         // 2
  void* window;               // 4: host window
  uint16_t variableCapacity;  // 8: 525
  uint16_t nameSize;          // 10: 17
  uint16_t valueSize;         // 12: 256
  uint16_t variableCount;     // 14: per call
  char* names;                // 16
  char* values;               // 20
  uint8_t runMode;            // 24
  uint8_t reserved25[3];      // 25
  void* logFile;              // 28: per call; -1 when no log is open
  char* params;               // 32: per call
  char** messages;            // 36
  uint16_t editedFiles;       // 40
  uint16_t reserved42;        // 42
  void* hostInstance;         // 44
  void* wizardPicture;        // 48
  uint32_t wizardColour;      // 52
};

struct ActionParamsEx {
  uint32_t size;              // 0: 72
  void* window;               // 4
  uint32_t variableCapacity;  // 8
  uint32_t nameSize;          // 12
  uint32_t valueSize;         // 16
  uint32_t variableCount;     // 20
  char* names;                // 24
  char* values;               // 28
  uint32_t runMode;           // 32
  void* logFile;              // 36
  char* params;               // 40
  const char* abortCaption;   // 44: message 17
  const char* message44;      // 48
  uint32_t silent;            // 52
  uint32_t logPaused;         // 56
  const char* applicationKey; // 60
  uint32_t perUserRequest;    // 64
  uint32_t scriptFlags;       // 68
};
#pragma pack(pop)

static_assert(sizeof(ActionParams) == 56);
static_assert(offsetof(ActionParams, window) == 4);
static_assert(offsetof(ActionParams, variableCapacity) == 8);
static_assert(offsetof(ActionParams, variableCount) == 14);
static_assert(offsetof(ActionParams, names) == 16);
static_assert(offsetof(ActionParams, values) == 20);
static_assert(offsetof(ActionParams, runMode) == 24);
static_assert(offsetof(ActionParams, logFile) == 28);
static_assert(offsetof(ActionParams, params) == 32);
static_assert(offsetof(ActionParams, messages) == 36);
static_assert(offsetof(ActionParams, editedFiles) == 40);
static_assert(offsetof(ActionParams, hostInstance) == 44);
static_assert(offsetof(ActionParams, wizardPicture) == 48);
static_assert(offsetof(ActionParams, wizardColour) == 52);

static_assert(sizeof(ActionParamsEx) == 72);
static_assert(offsetof(ActionParamsEx, variableCount) == 20);
static_assert(offsetof(ActionParamsEx, runMode) == 32);
static_assert(offsetof(ActionParamsEx, params) == 40);
static_assert(offsetof(ActionParamsEx, abortCaption) == 44);
static_assert(offsetof(ActionParamsEx, silent) == 52);
static_assert(offsetof(ActionParamsEx, applicationKey) == 60);
static_assert(offsetof(ActionParamsEx, perUserRequest) == 64);
static_assert(offsetof(ActionParamsEx, scriptFlags) == 68);

}  // namespace tarn
