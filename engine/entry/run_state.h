// The state of the one installation run that a loaded engine carries out. Everything a
// step needs that outlives the step lives here, in one place; ResetRunState() clears it.
#pragma once
#include <windows.h>
#include <ddeml.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <unordered_map>

#include "engine/actions/action_params.h"
#include "engine/changes/path_rules.h"
#include "engine/entry/command_line.h"
#include "engine/entry/host_record.h"
#include "engine/script/script_header.h"
#include "engine/script/variables.h"

namespace tarn {

struct PlatformInfo {
  bool is32Bit = true;
  bool isShell4 = false;
  bool isWin9x = false;
  bool isWin98 = false;
  bool isWinMe = false;
  bool isWinNT = false;
  bool isWin2000 = false;
  bool lightDialogLook = false;
};

constexpr size_t kWorkBufferSize = 61440;
constexpr int kLoopStackDepth = 32;
constexpr int kGraphicEntries = 32;
constexpr int kGraphicEntrySize = 56;
constexpr int kTemporaryNameSlots = 128;
constexpr int kRegistrationQueueSlots = 1024;
constexpr int kAuxEntries = 4;  // archive entries 4, 5, 6, 7

// Test-only observation points; never reachable from a script.
struct RunHooks {
  // Called by the end of the run before anything is released.
  void (*beforeRelease)() = nullptr;
  // When set, start-up uses these platform facts instead of asking the system.
  const PlatformInfo* forcedPlatform = nullptr;
  // Called once start-up has created the built-in variables, before the first record.
  void (*afterStartUp)() = nullptr;
  // Called by the interpreter with every record it is about to execute.
  void (*onRecord)(const uint8_t* record) = nullptr;
};

constexpr int kStopListSize = 256;

// Stop points of an external controller ("/M2"): the controller fills them (DDE service).
struct StopPoints {
  bool paused = false;           // the run waits before its next record
  bool controllerEnded = false;  // the controller has ended the run
  bool hasList = false;
  int32_t list[kStopListSize] = {};  // record offsets from the start of the script, ended by a negative one
};

enum class SectionState : uint8_t { kNone, kExit, kAbort };

struct RunState {
  // From the host
  HostRecord* host = nullptr;
  const char* commandLine = nullptr;
  int32_t* exitCode = nullptr;
  char* runProgram = nullptr;
  char* runArguments = nullptr;
  HWND hostWindow = nullptr;
  HINSTANCE hostInstance = nullptr;
  int backgroundWidth = 0;
  int backgroundHeight = 0;
  uint32_t hostFlags = 0;  // copy taken at entry
  uint8_t* script = nullptr;
  size_t scriptLength = 0;

  HINSTANCE engineInstance = nullptr;
  PlatformInfo platform;
  CommandLineOptions options;
  bool updatePauseDisabled = false;
  bool notifyIconPrepared = false;
  NOTIFYICONDATAA notifyIcon{};
  FARPROC getDiskFreeSpaceEx = nullptr;

  // Work buffers
  char* textBuffer = nullptr;
  char* leftBuffer = nullptr;
  char* rightBuffer = nullptr;
  VariableStore* variables = nullptr;
  char errorText[256] = {};
  char title[256] = {};
  char promptAnswer[256] = {};
  char promptCaption[256] = {};
  char promptLabel[64] = {};
  char promptText[512] = {};
  char temporaryLogPath[256] = {};
  char logPath[256] = {};
  char downloadLocation[256] = {};
  char downloadedDataPath[256] = {};
  char dialogFontName[256] = {};
  char* temporaryNames[kTemporaryNameSlots] = {};
  const uint8_t* loopStack[kLoopStackDepth] = {};
  uint8_t loopDepth = 0;  // entries in use in loopStack
  uint8_t graphicTable[kGraphicEntries][kGraphicEntrySize] = {};
  char fileNames[3][260] = {};
  char* registrationQueue[kRegistrationQueueSlots] = {};
  bool buffersAllocated = false;

  // Resources of the engine's own module
  HBITMAP bitmaps[8] = {};  // resources 2..6 and 10..12
  HBRUSH hollowBrush = nullptr;
  HCURSOR cursor = nullptr;
  COLORREF buttonFace = 0;
  bool classRegistered = false;

  // Auxiliary archive entries
  char auxPath[kAuxEntries][256] = {};
  HMODULE transformLibrary = nullptr;
  FARPROC transformFunction = nullptr;
  HMODULE progressPlugin = nullptr;
  FARPROC progressUpdate = nullptr;
  HWND pluginWindow = nullptr;

  HGLOBAL dialogBlock = nullptr;
  void* dialogBlockData = nullptr;
  uint32_t archiveDataBase = 0;

  // Script
  ScriptHeader header;
  int languageIndex = 0;
  char** messageTable = nullptr;  // 54 texts of the chosen language, or null before known
  const uint8_t* current = nullptr;
  size_t bodyLength = 0;
  size_t headerLength = 0;

  // Interpreter
  SectionState section = SectionState::kNone;  // which closing section runs, if any
  uint8_t abortedErrorState = 0;                // errorState when the abort section started
  bool fileLeftInUse = false;                   // set by the install step; cleared before every record
  StopPoints stops;

  // Sound and video step
  bool soundPlaying = false;
  HMODULE videoLibrary = nullptr;  // "MSVFW32.DLL", loaded at the first video and kept to the end

  // Windows that own message boxes, in order of preference (the wizard frame and the
  // progress window belong to their displays; null while they do not exist)
  HWND wizardFrame = nullptr;
  HWND progressWindow = nullptr;

  // Message boxes and dialogs
  HWND openMessageBox = nullptr;     // the box shown now, for the controller's stop command
  HFONT sharedDialogFont = nullptr;  // the font slot of dialogs that bring none of their own

  ActionParams actionParams{};
  ActionParamsEx actionParamsEx{};

  // Services
  DWORD ddeInstance = 0;
  HSZ ddeServiceName = nullptr;
  bool ddeRegistered = false;
  HMODULE richEdit = nullptr;
  HMODULE restorePointLibrary = nullptr;
  FARPROC restorePointFunction = nullptr;
  int64_t restorePointSequence = 0;

  // File-system routines and the installation log
  char* dataBuffer = nullptr;          // the shared 61440-byte data buffer
  uint16_t temporaryNameCounter = 0;   // "~ZEH%04x.TMP"
  LineBuffer lines;                    // the line reader's state over dataBuffer
  HANDLE logFile = INVALID_HANDLE_VALUE;
  bool logPaused = false;

  // Installing files
  bool restartBatch = false;           // a replacement was written to the restart batch file

  // Registry and INI changes, for the end of the run
  bool settingsChanged = false;  // an INI or registry step changed settings: broadcast at the end
  bool perUserData = false;      // the per-user mirror wrote values: record the per-user entry

  // End of the run
  bool restartNeeded = false;      // a file waits for replacement at the next start
  int registrationCount = 0;       // entries in use in registrationQueue
  HMODULE downloadLibrary = nullptr;   // the download library (entry 7) once loaded
  FARPROC downloadTransfer = nullptr;  // its "t1"

  // The screen during the run: progress display, graphic table, notification tip
  uint8_t progressPercent = 0;                // last computed percentage
  uint8_t billboardThreshold = 255;           // percentage of the next queued billboard; 255 = none
  uint8_t trayPercent = 0;                    // percentage shown in the notification tip
  bool statusShown = false;                   // a status text is on screen
  RECT progressBar{};                         // the bar inside the progress window, client coordinates
  HPALETTE blendPalette = nullptr;            // palettes of the painting contexts (the work
  HPALETTE targetPalette = nullptr;           //   context uses the host record's hostPalette)
  HPALETTE dialogPicturePalette = nullptr;    // of the picture of the current dialog page
  HWND currentDialog = nullptr;               // the page shown in the wizard frame, if any
  uint32_t copyRate = 0;                      // bytes per second of the file copier; 0 = unknown
  uint32_t fileStartCounter = 0;              // the byte counter when the current file started
  int transitionFrames = 0;                   // frames the last transition took
  int trayTipCalls = 0;                       // notification-icon calls that set the tip
  DWORD lastScreenRefresh = 0;                // tick count of the last refresh after a record
  // Paths already converted to their short [0] or long [1] form whose every component was
  // found, by their text as given in upper case: directories, and files the run has put in
  // place. Looking a component up costs a directory search, and a run converts the same few
  // directories, and each file it installs twice, for every file.
  std::unordered_map<std::string, std::string> pathForms[2];
  bool screenRefreshSkipped = false;          // a record since then has not been shown

  RunHooks hooks;
};

extern RunState g_run;

// Clears every field; keeps the test hooks.
void ResetRunState();

// Message N of the chosen language, or "" before the table is known.
const char* Message(int n);

}  // namespace tarn

namespace tarn {
// The system's restore-point call and its two records (byte-packed).
#pragma pack(push, 1)
struct RestorePointInfo {
  DWORD eventType;
  DWORD restorePointType;
  INT64 sequenceNumber;
  char description[64];
};
struct RestorePointStatus {
  DWORD status;
  INT64 sequenceNumber;
};
#pragma pack(pop)
static_assert(sizeof(RestorePointInfo) == 80 && sizeof(RestorePointStatus) == 12);
using SetRestorePointFunction = BOOL(WINAPI*)(RestorePointInfo*, RestorePointStatus*);
constexpr DWORD kRestoreBeginChange = 100;
constexpr DWORD kRestoreEndChange = 101;
constexpr DWORD kRestoreApplicationInstall = 0;
constexpr DWORD kRestoreCancelledOperation = 13;
}  // namespace tarn
