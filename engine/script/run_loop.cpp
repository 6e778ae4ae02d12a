#include "engine/script/run_loop.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#include "engine/changes/file_system.h"
#include "engine/entry/run_state.h"
#include "engine/ui/progress.h"
#include "engine/script/condition.h"
#include "engine/script/script_reader.h"
#include "engine/script/steps.h"
#include "engine/script/text.h"
#include "engine/ui/message_box.h"
#include "engine/ui/reports.h"
#include "engine/ui/screen.h"

namespace tarn {
namespace {

constexpr int kMessageInvalidRecord = 7;
constexpr int kGoOn = 1;  // a flow step that lets RunScript continue with the next record

constexpr uint8_t kMessageBoxOpensBlock = 0x01;
constexpr uint8_t kCallOpensBlock = 0x02;
constexpr uint8_t kMediaRepeat = 0x01;
constexpr uint8_t kMediaVideo = 0x02;
constexpr uint8_t kScreenVideoLoops = 0x04;

HostRecord* Host() { return g_run.host; }
bool Stopped() { return Host()->cancelState != kCancelNone || Host()->errorState != kErrorNone; }
uint8_t CurrentOpcode() { return *g_run.current; }

int FatalInvalidRecord() {
  ReportMessageError(kMessageInvalidRecord);
  return -2;
}

// The strings of a record start after its fixed part.
const char* Strings(const uint8_t* record) {
  return reinterpret_cast<const char*>(record + FixedLengthOf(*record, g_run.header.languageCount));
}
const char* NextString(const char* s) { return s + std::strlen(s) + 1; }

// ---- Stop points ------------------------------------------------------------------

bool AtStopPoint() {
  const StopPoints& stops = g_run.stops;
  if (!stops.hasList || stops.controllerEnded) return false;
  if (stops.list[0] == -1) return true;
  int32_t offset = static_cast<int32_t>(g_run.current - g_run.script);
  for (int i = 0; i < kStopListSize && stops.list[i] >= 0; ++i) {
    if (stops.list[i] == offset) return true;
  }
  return false;
}

void PumpOnce() {
  DrainMessages();
  MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
}

// Only a run with a controller's service name ("/M2") has stop points. The controller
// releases the wait; a cancel releases it too.
void WaitAtStopPoint() {
  if (!g_run.options.startPaused) return;
  if (AtStopPoint()) g_run.stops.paused = true;
  while (Host()->cancelState == kCancelNone && g_run.stops.paused) PumpOnce();
}

// ---- Flow steps ---------------------------------------------------------------------

int IfWhileStep(const uint8_t*) {
  int result = EvaluateCondition();
  return result == 0 ? kGoOn : result;
}

int EndOutcome(SkipOutcome outcome) {
  switch (outcome) {
    case kSkipAtBlockEnd:
      return kGoOn;
    case kSkipAtEndMarker:
      return -1;
    default:
      return -2;
  }
}

// An ELSE IF reached in sequence: the branch before it ran, so the rest of the chain
// (further ELSE IFs and an ELSE) is passed over.
int ElseIfStep(const uint8_t*) {
  do {
    SkipOutcome outcome = SkipBlock();
    if (outcome != kSkipAtBlockEnd) return EndOutcome(outcome);
  } while (CurrentOpcode() == OP_ELSE_IF);
  if (CurrentOpcode() == OP_ELSE) return EndOutcome(SkipBlock());
  return kGoOn;
}

int ElseStep(const uint8_t*) { return EndOutcome(SkipBlock()); }

// The END of a loop returns to the loop record, which tests again (and pushes again).
int EndBlockStep(const uint8_t* record) {
  if (record[1] == 0) return kGoOn;
  const uint8_t* loop = PopLoop();
  if (loop == nullptr) return FatalInvalidRecord();
  g_run.current = loop;
  return 0;
}

int MessageBoxStep(const uint8_t* record) {
  CloseProgressWindow();
  int style = static_cast<int8_t>(record[1]);  // widened as a signed byte
  const char* caption = SelectLanguageStrings(Strings(record), 2);
  const char* text = NextString(caption);
  char expandedCaption[256];
  char expandedText[1024];
  ExpandText(*g_run.variables, expandedCaption, caption, sizeof expandedCaption);
  ExpandText(*g_run.variables, expandedText, text, sizeof expandedText);
  switch (ShowMessage(nullptr, expandedText, expandedCaption, style)) {
    case kAnswerCancel:
      return -2;
    case kAnswerSecond:
      return EndOutcome(SkipBlock());
    default:
      return kGoOn;
  }
}

void CloseVideo() {
  HWND video = static_cast<HWND>(Host()->videoWindow);
  if (video != nullptr) SendMessageA(video, WM_CLOSE, 0, 0);
  Host()->videoWindow = nullptr;
}

using MciWndCreate = HWND(__cdecl*)(HWND, HINSTANCE, DWORD, LPCSTR);
constexpr DWORD kMciWndNoPlayBar = 0x0002;
constexpr DWORD kMciWndNotifyMode = 0x0100;
constexpr UINT kMciWndPlay = 0x0806;

void PlayVideo(const char* path, const uint8_t* record) {
  if (g_run.videoLibrary == nullptr) g_run.videoLibrary = LoadLibraryA("MSVFW32.DLL");
  if (g_run.videoLibrary == nullptr) return;
  CloseVideo();
  auto create = reinterpret_cast<MciWndCreate>(GetProcAddress(g_run.videoLibrary, "MCIWndCreateA"));
  if (create == nullptr) return;
  HWND video = create(g_run.hostWindow, g_run.hostInstance,
                      WS_CHILD | WS_VISIBLE | kMciWndNotifyMode | kMciWndNoPlayBar, path);
  if (video == nullptr) return;
  int x = static_cast<int16_t>(ReadU16(record + 2));
  int y = static_cast<int16_t>(ReadU16(record + 4));
  SetWindowPos(video, nullptr, x * Host()->backgroundWidth / 640, y * Host()->backgroundHeight / 480, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  Host()->videoWindow = video;
  if (record[1] & kMediaRepeat) {
    Host()->screenState |= kScreenVideoLoops;
  } else {
    Host()->screenState &= static_cast<uint8_t>(~kScreenVideoLoops);
  }
  SendMessageA(video, kMciWndPlay, 0, 0);
}

// Sound or video; runs in a test run too, since it changes nothing on the system.
int PlayMediaStep(const uint8_t* record) {
  uint8_t flags = record[1];
  const char* name = Strings(record);
  if (*name == '\0') {
    if (flags & kMediaVideo) {
      CloseVideo();
    } else {
      PlaySoundA(nullptr, nullptr, 0);
      g_run.soundPlaying = false;
    }
    return kGoOn;
  }
  char expanded[256];
  char path[MAX_PATH];
  ExpandPath(*g_run.variables, expanded, name);
  DWORD length = GetFullPathNameA(expanded, sizeof path, path, nullptr);
  if (length == 0 || length >= sizeof path) CopyText(path, sizeof path, expanded);
  if (flags & kMediaVideo) {
    PlayVideo(path, record);
  } else {
    DWORD mode = SND_ASYNC | SND_NODEFAULT | SND_FILENAME | ((flags & kMediaRepeat) ? SND_LOOP : 0);
    PlaySoundA(path, nullptr, mode);
    g_run.soundPlaying = true;
  }
  return kGoOn;
}

int ExitStep(const uint8_t*) { return -1; }

// One filler byte is a record without action; a run of them is passed over at once.
int FillerStep(const uint8_t* record) {
  if (record[1] != OP_FILLER) return kGoOn;
  const uint8_t* p = record;
  while (*p == OP_FILLER) ++p;  // the end marker stops the run of bytes
  g_run.current = p;
  return 0;
}

int NothingStep(const uint8_t*) { return kGoOn; }

int RunProgramAtFields(const uint8_t* record) { return RunProgramStep(record + 1); }

// ---- Dispatch -------------------------------------------------------------------------

// What the interpreter does with a step's result.
enum class Rule : uint8_t {
  kInvalid,          // not a valid opcode: the fatal error
  kReturnNonZero,    // a non-zero result ends RunScript with that result
  kAbortOnNonZero,   // a non-zero result aborts the run (-2)
  kIgnoreResult,     // the result does not matter
  kSkipInTestRun,    // the result does not matter; not called in a test run
  kFlow,             // the interpreter's own step: kGoOn, or what RunScript returns
};

struct StepEntry {
  StepHandler handler;
  Rule rule;
};

// Indexed by opcode. Building a step of another part replaces its seam in step_seams.cpp.
const StepEntry kSteps[kOpcodeCount] = {
    /*  0 install file          */ {&InstallFileStep, Rule::kReturnNonZero},
    /*  1                       */ {nullptr, Rule::kInvalid},
    /*  2 skipped texts         */ {&NothingStep, Rule::kFlow},
    /*  3 message box           */ {&MessageBoxStep, Rule::kFlow},
    /*  4 progman command       */ {&ProgmanCommandStep, Rule::kReturnNonZero},
    /*  5 edit INI section      */ {&EditIniSectionStep, Rule::kReturnNonZero},
    /*  6 display graphic       */ {&DisplayGraphicStep, Rule::kIgnoreResult},
    /*  7 run program           */ {&RunProgramAtFields, Rule::kReturnNonZero},
    /*  8 end block             */ {&EndBlockStep, Rule::kFlow},
    /*  9 call function         */ {&CallFunctionStep, Rule::kReturnNonZero},
    /* 10 edit registry         */ {&EditRegistryStep, Rule::kAbortOnNonZero},
    /* 11 delete files          */ {&DeleteFilesStep, Rule::kReturnNonZero},
    /* 12 if / while            */ {&IfWhileStep, Rule::kFlow},
    /* 13 else                  */ {&ElseStep, Rule::kFlow},
    /* 14                       */ {nullptr, Rule::kInvalid},
    /* 15 begin progman         */ {&BeginProgmanStep, Rule::kReturnNonZero},
    /* 16 end progman           */ {&EndProgmanStep, Rule::kReturnNonZero},
    /* 17 create directory      */ {&CreateDirectoryStep, Rule::kReturnNonZero},
    /* 18 install file (ext.)   */ {&InstallFileStep, Rule::kReturnNonZero},
    /* 19                       */ {nullptr, Rule::kInvalid},
    /* 20 custom dialog         */ {&CustomDialogStep, Rule::kAbortOnNonZero},
    /* 21 get system info       */ {&GetSystemInfoStep, Rule::kIgnoreResult},
    /* 22 get temp file name    */ {&GetTempFileNameStep, Rule::kReturnNonZero},
    /* 23 play media            */ {&PlayMediaStep, Rule::kFlow},
    /* 24 exit installation     */ {&ExitStep, Rule::kFlow},
    /* 25 ODBC install driver   */ {&OdbcInstallDriverStep, Rule::kIgnoreResult},
    /* 26 ODBC config source    */ {&OdbcConfigSourceStep, Rule::kSkipInTestRun},
    /* 27 filler                */ {&FillerStep, Rule::kFlow},
    /* 28 add log text          */ {&AddLogTextStep, Rule::kReturnNonZero},
    /* 29 rename file           */ {&RenameFileStep, Rule::kReturnNonZero},
    /* 30 log control           */ {&LogControlStep, Rule::kReturnNonZero},
    /* 31                       */ {nullptr, Rule::kInvalid},
    /* 32                       */ {nullptr, Rule::kInvalid},
    /* 33                       */ {nullptr, Rule::kInvalid},
    /* 34                       */ {nullptr, Rule::kInvalid},
    /* 35 else if               */ {&ElseIfStep, Rule::kFlow},
};

// Executes the current record: kGoOn, or the value RunScript returns.
int Execute() {
  // The whole record must lie inside the script before any of its fields is read.
  size_t pos = static_cast<size_t>(g_run.current - g_run.script);
  switch (StepOverRecord(g_run.script, g_run.scriptLength + 1, &pos, g_run.header.languageCount)) {
    case StepResult::kEndMarker:
      return -1;
    case StepResult::kInvalidOpcode:
    case StepResult::kOverrun:
      return FatalInvalidRecord();
    case StepResult::kOk:
      break;
  }
  const uint8_t* record = g_run.current;
  const StepEntry& entry = kSteps[*record];
  if (g_run.hooks.onRecord != nullptr) g_run.hooks.onRecord(record);
  switch (entry.rule) {
    case Rule::kInvalid:
      return FatalInvalidRecord();
    case Rule::kFlow:
      return entry.handler(record);
    case Rule::kReturnNonZero: {
      int result = entry.handler(record);
      return result != 0 ? result : kGoOn;
    }
    case Rule::kAbortOnNonZero:
      return entry.handler(record) != 0 ? -2 : kGoOn;
    case Rule::kSkipInTestRun:
      if (g_run.options.runMode == kRunTest) return kGoOn;
      [[fallthrough]];
    case Rule::kIgnoreResult:
      entry.handler(record);
      return kGoOn;
  }
  return kGoOn;
}

// The closing sections: after a normal end the exit section, after an abort the abort
// section, each only when the host gave one and no section has run yet.
bool StartSection(int result) {
  HostRecord* host = Host();
  if (g_run.section != SectionState::kNone) return false;
  if (result == -1 && host->exitSectionOffset != 0 && host->exitSectionOffset < g_run.scriptLength) {
    g_run.current = g_run.script + host->exitSectionOffset;
    g_run.section = SectionState::kExit;
    return true;
  }
  if (result == -2 && host->abortSectionOffset != 0 && host->abortSectionOffset < g_run.scriptLength) {
    g_run.abortedErrorState = host->errorState;
    host->cancelState = kCancelNone;
    host->errorState = kErrorNone;
    g_run.current = g_run.script + host->abortSectionOffset;
    g_run.section = SectionState::kAbort;
    return true;
  }
  return false;
}

}  // namespace

bool PushLoop(const uint8_t* record) {
  if (g_run.loopDepth >= kLoopStackDepth) {
    FatalInvalidRecord();
    return false;
  }
  g_run.loopStack[g_run.loopDepth++] = record;
  return true;
}

const uint8_t* PopLoop() {
  if (g_run.loopDepth == 0) return nullptr;
  return g_run.loopStack[--g_run.loopDepth];
}

SkipOutcome SkipBlock() {
  int depth = 1;
  while (depth > 0) {
    if (CurrentOpcode() == OP_END_OF_SCRIPT) return kSkipAtEndMarker;
    if (NextRecord() != StepResult::kOk) {
      if (CurrentOpcode() == OP_END_OF_SCRIPT) return kSkipAtEndMarker;
      FatalInvalidRecord();
      return kSkipBroken;
    }
    const uint8_t* record = g_run.current;
    switch (*record) {
      case OP_END_BLOCK:
        --depth;
        break;
      case OP_ELSE:
      case OP_ELSE_IF:
        if (depth == 1) --depth;
        break;
      case OP_IF_WHILE:
        ++depth;
        break;
      case OP_MESSAGE_BOX:
        if (record[1] & kMessageBoxOpensBlock) ++depth;
        break;
      case OP_CALL_DLL_FUNCTION:
        if (record[1] & kCallOpensBlock) ++depth;
        break;
      default:
        break;
    }
  }
  // A block's last record may itself run past the end of the script.
  size_t pos = static_cast<size_t>(g_run.current - g_run.script);
  if (StepOverRecord(g_run.script, g_run.scriptLength + 1, &pos, g_run.header.languageCount) != StepResult::kOk) {
    FatalInvalidRecord();
    return kSkipBroken;
  }
  return CurrentOpcode() == OP_END_OF_SCRIPT ? kSkipAtEndMarker : kSkipAtBlockEnd;
}

int EvaluateCondition() {
  // A false condition that leads to an ELSE IF evaluates that one next, and so on.
  for (;;) {
    uint8_t* record = const_cast<uint8_t*>(g_run.current);
    uint8_t flags = record[1];
    bool loop = (flags & kConditionLoop) != 0;
    if (loop && !PushLoop(record)) return -2;
    if (loop && (flags & kConditionTestAtEnd)) {
      record[1] ^= kConditionTestAtEnd | kConditionTestNow;  // body first, test from the next pass
      return 0;
    }
    const char* name = Strings(record);
    const char* value = NextString(name);
    ExpandText(*g_run.variables, g_run.rightBuffer, value, kWorkBufferSize);
    if (Compare(*g_run.variables, flags, name, g_run.rightBuffer, g_run.leftBuffer, kWorkBufferSize)) return 0;
    if (loop) PopLoop();
    if (flags & kConditionTestNow) record[1] ^= kConditionTestAtEnd | kConditionTestNow;  // body first again
    switch (SkipBlock()) {
      case kSkipAtEndMarker:
        return -1;
      case kSkipBroken:
        return -2;
      case kSkipAtBlockEnd:
        break;
    }
    if (loop || CurrentOpcode() != OP_ELSE_IF) return 0;
  }
}

// The screen follows the run at the display's pace. Repainting the host window and serving
// its messages costs two round trips to the window system, which a loop of small records,
// or a run of small files, would otherwise spend most of its time on. Between refreshes the
// progress bar is still marked for repainting and the notification tip still follows
// (both cheap), so whatever serves the windows next, a box or the next refresh, shows the
// run as it stands; and the run's last records always reach the screen.
namespace {

constexpr DWORD kScreenRefreshMs = 16;

void RefreshScreen() {
  g_run.lastScreenRefresh = GetTickCount();
  g_run.screenRefreshSkipped = false;
  UpdateWindow(g_run.hostWindow);
  UpdateScreen(0);
}

void RefreshScreenAfterRecord() {
  if (GetTickCount() - g_run.lastScreenRefresh >= kScreenRefreshMs) return RefreshScreen();
  g_run.screenRefreshSkipped = true;
  RedrawProgressWindow();
  UpdateTrayTip(NIM_MODIFY);
}

int RunRecords() {
  if (Host()->cancelState != kCancelNone) return -2;
  for (;;) {
    if (Host()->errorState != kErrorNone) return -2;
    WaitAtStopPoint();
    if (Host()->cancelState != kCancelNone) return -2;  // a cancel during the wait ends the run before the record
    g_run.fileLeftInUse = false;
    if (CurrentOpcode() != OP_INSTALL_FILE && CurrentOpcode() != OP_INSTALL_FILE_EX) ForgetPathForms();
    int result = Execute();
    if (result != kGoOn) return result;
    RefreshScreenAfterRecord();
    if (NextRecord() != StepResult::kOk) {
      return CurrentOpcode() == OP_END_OF_SCRIPT ? -1 : FatalInvalidRecord();
    }
    if (Host()->cancelState != kCancelNone) return -2;
  }
}

}  // namespace

int RunScript() {
  int result = RunRecords();
  if (g_run.screenRefreshSkipped) RefreshScreen();
  return result;
}

int RunScriptToEnd() {
  if (g_run.options.startPaused) g_run.stops.paused = true;
  int result = 0;
  for (;;) {
    while (!Stopped() && result == 0) result = RunScript();
    // A loop end that handed back control just as a cancel or an error arrived counts
    // as the abort it is, so the abort section still runs.
    if (result == 0) result = -2;
    if (g_run.wizardFrame != nullptr) {
      DestroyWindow(g_run.wizardFrame);
      g_run.wizardFrame = nullptr;
    }
    if (!StartSection(result)) break;
    result = 0;
  }
  if (g_run.section == SectionState::kAbort) {
    result = -2;
    Host()->errorState = g_run.abortedErrorState;
  }
  return result;
}

}  // namespace tarn
