// The end of an installation run, as a sequence of short steps: the result is decided and
// recorded, what the script asked for at the end is carried out, everything the run made
// is released, and the host gets its answers.
#include "engine/entry/end_run.h"

#include <windows.h>
#include <mmsystem.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

#include "engine/changes/install_log.h"
#include "engine/changes/registry.h"
#include "engine/changes/self_register.h"
#include "engine/changes/value_text.h"
#include "engine/entry/run_state.h"
#include "engine/entry/status_file.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"
#include "engine/ui/graphics.h"
#include "engine/ui/progress.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr int kResultCompleted = -1;
constexpr int kResultAborted = -2;
constexpr int kMessageRestartQuestion = 23;
constexpr int kMessageQuestionTitle = 18;
constexpr int kRestartQuestionStyle = 0x80;
constexpr int32_t kExitRestartSystem = 0x43;
constexpr int32_t kExitRestartWindows = 0x42;
constexpr LONG kShellUpdateDirectory = 0x1008;
constexpr UINT kShellPathFlushNoWait = 0x2001;
constexpr int kPluginEnd = 3;
// What the host's buffers are expected to hold: a program path and about 512 characters.
constexpr size_t kRunProgramCapacity = 260;
constexpr size_t kRunArgumentsCapacity = 513;

const char* HeaderString(size_t offset) { return reinterpret_cast<const char*>(g_run.script + offset); }

bool HasVariables() { return g_run.variables != nullptr; }

void FreeHeap(void* p) {
  if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}

// Step 1: the per-user application record, under both the user's and the machine's root.
void WritePerUserRecord() {
  if (!g_run.perUserData && g_run.actionParamsEx.perUserRequest == 0) return;
  if (g_run.script == nullptr || g_run.header.firstRecord == 0) return;
  char key[256];
  CopyText(key, sizeof key, kPerUserBase);
  AppendText(key, sizeof key, "\\");
  AppendText(key, sizeof key, HeaderString(g_run.header.userKeyName));
  const struct {
    const char* name;
    size_t offset;
  } texts[] = {{"Display", g_run.header.userDisplay}, {"Local", g_run.header.userLocal}, {"User", g_run.header.userUser}};
  DWORD version = g_run.header.userVersion;
  DWORD prompt = (g_run.header.headerOptions & kOptionPromptMask) >> 3;
  for (int root : {kRootCurrentUser, kRootLocalMachine}) {
    for (const auto& text : texts) {
      const char* value = HeaderString(text.offset);
      if (value[0] != '\0') WriteRegistryValue(root, key, text.name, kTypeString, value, std::strlen(value) + 1, false);
    }
    WriteRegistryValue(root, key, "Version", kTypeNumber, &version, sizeof version, false);
    WriteRegistryValue(root, key, "Prompt", kTypeNumber, &prompt, sizeof prompt, false);
  }
}

// Step 2: a cancel or an error makes the run a failure; an error is reported.
int ApplyHostFlags(int result) {
  HostRecord* host = g_run.host;
  if (host->cancelState != kCancelNone) result = kResultAborted;
  if (host->errorState != kErrorNone) {
    ReportMessageError(host->errorState == kErrorReported ? 2 : 7);
    result = kResultAborted;
  }
  return result;
}

// Step 3: a script can fail a run that otherwise completed by setting TARN_ERROR_RTN.
int ApplyScriptFailure(int result) {
  if (!HasVariables()) return result;
  char failure[256];
  GetVariable(*g_run.variables, "TARN_ERROR_RTN", failure, sizeof failure);
  if (failure[0] == '\0') return result;
  CopyText(g_run.errorText, sizeof g_run.errorText, failure);
  return kResultAborted;
}

// Step 4, failed runs: the reason goes to the end of the log, without a line end.
void LogFailureReason() {
  if (g_run.messageTable == nullptr) return;
  const char* reason = FailureText();
  LogRaw(reason, std::strlen(reason));
}

// Step 5
void CloseProgressDisplay() {
  if (g_run.progressWindow == nullptr) return;
  EnableWindow(g_run.hostWindow, TRUE);
  if (g_run.progressWindow != g_run.pluginWindow) DestroyWindow(g_run.progressWindow);
  g_run.progressWindow = nullptr;
}

// Step 6
void CloseArchive() {
  HANDLE archive = static_cast<HANDLE>(g_run.host->archiveHandle);
  if (archive != INVALID_HANDLE_VALUE && archive != nullptr) CloseHandle(archive);
  g_run.host->archiveHandle = INVALID_HANDLE_VALUE;
}

// Step 7
void StopSound() {
  if (g_run.soundPlaying) PlaySoundA(nullptr, nullptr, 0);
  g_run.soundPlaying = false;
}

// Step 9: programs that cache the environment or settings read them again.
void BroadcastSettingsChange() {
  if (!g_run.settingsChanged) return;
  SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, reinterpret_cast<LPARAM>("Environment"), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  PostMessageA(HWND_BROADCAST, WM_WININICHANGE, 0, 0);
}

// Step 10
void RemoveNotifyIcon() {
  if (g_run.notifyIconPrepared) Shell_NotifyIconA(NIM_DELETE, &g_run.notifyIcon);
}

// Step 11, first part: the shell refreshes its view of the Windows directory.
void NotifyShell() {
  if (!HasVariables()) return;
  HMODULE shell = LoadLibraryA("SHELL32.DLL");
  if (shell == nullptr) return;
  using ChangeNotify = void(WINAPI*)(LONG, UINT, const void*, const void*);
  auto notify = reinterpret_cast<ChangeNotify>(GetProcAddress(shell, "SHChangeNotify"));
  if (notify != nullptr) {
    char windows[256];
    GetVariable(*g_run.variables, "WIN", windows, sizeof windows);
    notify(kShellUpdateDirectory, kShellPathFlushNoWait, windows, nullptr);
  }
  FreeLibrary(shell);
}

// The restart question; a silent run shows it too unless the host keeps it silent.
int AskForRestart() {
  if (!(g_run.hostFlags & kHostKeepSilentForRestart)) g_run.host->silent = 0;
  return ShowMessage(Message(kMessageRestartQuestion), Message(kMessageQuestionTitle), kRestartQuestionStyle);
}

// The host is to start `arguments` through the command processor.
// A missing COMSPEC leaves the program as the host gave it.
void HandCommandToHost(const char* arguments) {
  if (g_run.runArguments != nullptr) CopyText(g_run.runArguments, kRunArgumentsCapacity, arguments);
  const char* processor = std::getenv("COMSPEC");
  if (processor != nullptr && g_run.runProgram != nullptr) CopyText(g_run.runProgram, kRunProgramCapacity, processor);
}

int32_t RestartExitCode(char letter) { return letter == 'W' ? kExitRestartWindows : kExitRestartSystem; }

// A file waits for the next start. Replacements written to the restart batch file need the
// restart program; the others are in the system's own list, which a restart of the system
// (or of Windows for "W") carries out. True when the user was asked and declined.
bool RestartForPendingReplacement(const char* restart) {
  if (AskForRestart() != 1) {
    g_run.restartNeeded = false;
    return true;
  }
  if (!g_run.restartBatch) {
    *g_run.exitCode = RestartExitCode(restart[0]);
    return false;
  }
  char arguments[600];
  ExpandText(*g_run.variables, arguments, "/C %WIN%\\_MSRSTRT.EXE", sizeof arguments);
  if (restart[0] == 'E') {
    AppendText(arguments, sizeof arguments, " ");
    AppendText(arguments, sizeof arguments, restart + 1);
  }
  HandCommandToHost(arguments);
  return false;
}

// Step 11, second part: RESTART and pending replacements. The question is asked once.
void HandleRestart() {
  if (!HasVariables()) return;
  char restart[256];
  CopyText(restart, sizeof restart, FindOrAddVariable(*g_run.variables, "RESTART"));
  if (restart[0] == 'I') {
    g_run.restartNeeded = false;
    g_run.restartBatch = false;
    g_run.hostFlags &= ~kHostRestartReplaceAllowed;
    g_run.host->hostFlags &= ~kHostRestartReplaceAllowed;
  }
  bool declined = false;
  if (g_run.restartNeeded) declined = RestartForPendingReplacement(restart);
  if (g_run.restartNeeded) return;
  if (restart[0] == 'E') {
    const char* command = restart + 1;
    while (*command == ' ' || *command == '\t') ++command;
    char arguments[600] = "/C ";
    AppendText(arguments, sizeof arguments, command);
    HandCommandToHost(arguments);
  } else if ((restart[0] == 'S' || restart[0] == 'W') && !declined && AskForRestart() == 1) {
    *g_run.exitCode = RestartExitCode(restart[0]);
  }
}

// Step 12
void EndRestorePoint(int result) {
  if (g_run.restorePointFunction != nullptr) {
    RestorePointInfo info{kRestoreEndChange,
                          result == kResultCompleted ? kRestoreApplicationInstall : kRestoreCancelledOperation,
                          g_run.restorePointSequence, {}};
    RestorePointStatus status{};
    reinterpret_cast<SetRestorePointFunction>(g_run.restorePointFunction)(&info, &status);
  }
  if (g_run.restorePointLibrary != nullptr) FreeLibrary(g_run.restorePointLibrary);
  g_run.restorePointFunction = nullptr;
  g_run.restorePointLibrary = nullptr;
}

// Step 14
void UnregisterDdeName() {
  if (g_run.ddeInstance == 0) return;
  if (g_run.ddeRegistered) DdeNameService(g_run.ddeInstance, g_run.ddeServiceName, nullptr, DNS_UNREGISTER);
  if (g_run.ddeServiceName != nullptr) DdeFreeStringHandle(g_run.ddeInstance, g_run.ddeServiceName);
  g_run.ddeRegistered = false;
  g_run.ddeServiceName = nullptr;
}

// Step 15
void CloseHelpFile() {
  if (!HasVariables()) return;
  char help[256];
  GetVariable(*g_run.variables, "HELPFILE", help, sizeof help);
  if (help[0] != '\0') WinHelpA(g_run.hostWindow, help, HELP_QUIT, 0);
}

// Step 16: the host gets a quarter of a second to repaint, with messages served. A host
// window that is not shown has nothing to repaint: its messages are served once.
void WaitQuarterSecond() { TimedWait(250, IsWindowVisible(g_run.hostWindow) != FALSE); }

void DeleteDialogFont() {
  if (g_run.sharedDialogFont != nullptr) DeleteObject(g_run.sharedDialogFont);
  g_run.sharedDialogFont = nullptr;
}

// Step 17: the download library's closing call has every argument 0 but the window.
void EndDownloadLibrary() {
  if (g_run.downloadLibrary == nullptr) return;
  using Transfer = int32_t(WINAPI*)(void*, void*, void*, HWND, void*, uint32_t, uint32_t, uint32_t, uint32_t, void*);
  if (g_run.downloadTransfer != nullptr) {
    reinterpret_cast<Transfer>(g_run.downloadTransfer)(nullptr, nullptr, nullptr, g_run.hostWindow, nullptr, 0, 0, 0,
                                                       0, nullptr);
  }
  FreeLibrary(g_run.downloadLibrary);
  g_run.downloadLibrary = nullptr;
  g_run.downloadTransfer = nullptr;
}

// Step 18
void EndDdeInstance() {
  if (g_run.ddeInstance != 0) DdeUninitialize(g_run.ddeInstance);
  g_run.ddeInstance = 0;
}

void DeleteAuxFile(int index) {
  char* path = g_run.auxPath[index];
  if (path[0] != '\0') DeleteFileA(path);
  path[0] = '\0';
}

// Step 19
void EndProgressPlugin() {
  if (g_run.progressPlugin == nullptr) return;
  using Update = HWND(WINAPI*)(int, int, ActionParams*, const char*, int, int);
  if (g_run.progressUpdate != nullptr) {
    reinterpret_cast<Update>(g_run.progressUpdate)(kPluginEnd, 0, &g_run.actionParams, nullptr, 0, 0);
  }
  FreeLibrary(g_run.progressPlugin);
  g_run.progressPlugin = nullptr;
  g_run.progressUpdate = nullptr;
  g_run.pluginWindow = nullptr;
  DeleteAuxFile(2);
}

// Step 20: the host's window procedure posts the quit message when its window goes.
void DestroyHostWindow() {
  DestroyWindow(g_run.hostWindow);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

// Step 21, with the rich-text library that the dialogs kept loaded.
void ReleaseTransformAndRegistration() {
  if (g_run.transformLibrary != nullptr) FreeLibrary(g_run.transformLibrary);
  if (g_run.richEdit != nullptr) FreeLibrary(g_run.richEdit);
  g_run.transformLibrary = g_run.richEdit = nullptr;
  g_run.transformFunction = nullptr;
  DeleteAuxFile(0);
  DeleteAuxFile(1);
}

// Step 22: the database engine's installer left its helper in the temporary directory.
void DeleteDatabaseInstallerHelper() {
  if (!HasVariables()) return;
  char value[256];
  GetVariable(*g_run.variables, "BDEINS32PATH_", value, sizeof value);
  if (value[0] == '\0') return;
  char helper[256];
  ExpandPath(*g_run.variables, helper, "%TEMP%\\IDAPINST.DLL");
  DeleteFileA(helper);
}

void FreePalettes() {
  HostRecord* host = g_run.host;
  if (host->hostPalette != nullptr) DeleteObject(static_cast<HPALETTE>(host->hostPalette));
  if (host->backgroundPalette != nullptr) DeleteObject(static_cast<HPALETTE>(host->backgroundPalette));
  host->hostPalette = host->backgroundPalette = nullptr;
}

void FreeBitmaps() {
  for (HBITMAP& bitmap : g_run.bitmaps) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    bitmap = nullptr;
  }
}

void FreeScriptMemory() {
  HGLOBAL memory = static_cast<HGLOBAL>(g_run.host->scriptMemory);
  if (memory == nullptr) return;
  GlobalUnlock(memory);
  GlobalFree(memory);
  g_run.host->scriptMemory = nullptr;
}

// Step 23
void ReleaseGraphics() {
  FreeGraphics();
  FreePalettes();
  if (g_run.videoLibrary != nullptr) FreeLibrary(g_run.videoLibrary);
  g_run.videoLibrary = nullptr;
  DeleteAuxFile(3);
  FreeBitmaps();
  FreeScriptMemory();
}

void DeleteDownloadedData() {
  if (g_run.downloadedDataPath[0] != '\0') DeleteFileA(g_run.downloadedDataPath);
  g_run.downloadedDataPath[0] = '\0';
}

void FreeWorkBuffers() {
  FreeHeap(g_run.textBuffer);
  FreeHeap(g_run.leftBuffer);
  FreeHeap(g_run.rightBuffer);
  FreeHeap(g_run.variables);
  FreeHeap(g_run.dataBuffer);
  g_run.textBuffer = g_run.leftBuffer = g_run.rightBuffer = g_run.dataBuffer = nullptr;
  g_run.variables = nullptr;
  g_run.lines = LineBuffer{};
}

void FreeDialogBlock() {
  if (g_run.dialogBlock == nullptr) return;
  GlobalUnlock(g_run.dialogBlock);
  GlobalFree(g_run.dialogBlock);
  g_run.dialogBlock = nullptr;
  g_run.dialogBlockData = nullptr;
}

void DeleteTemporaryNames() {
  for (char*& name : g_run.temporaryNames) {
    if (name == nullptr) continue;
    DeleteFileA(name);
    FreeHeap(name);
    name = nullptr;
  }
}

void FreeRegistrationQueue() {
  for (char*& path : g_run.registrationQueue) {
    FreeHeap(path);
    path = nullptr;
  }
  g_run.registrationCount = 0;
}

void FreeMessageTable() {
  if (g_run.messageTable == nullptr) return;
  for (int i = 0; i < 54; ++i) FreeHeap(g_run.messageTable[i]);
  FreeHeap(g_run.messageTable);
  g_run.messageTable = nullptr;
  g_run.host->messageTable = nullptr;
}

void FreeBrushAndCursor() {
  if (g_run.hollowBrush != nullptr) DeleteObject(g_run.hollowBrush);
  if (g_run.cursor != nullptr) DestroyCursor(g_run.cursor);
  g_run.hollowBrush = nullptr;
  g_run.cursor = nullptr;
}

void UnregisterWizardClass() {
  if (g_run.classRegistered) UnregisterClassA("ZERVWizard", g_run.engineInstance);
  g_run.classRegistered = false;
}

// Step 24
void ReleaseRunMemory() {
  DeleteDownloadedData();
  FreeWorkBuffers();
  FreeDialogBlock();
  DeleteTemporaryNames();
  FreeRegistrationQueue();
  FreeMessageTable();
  FreeBrushAndCursor();
  UnregisterWizardClass();
}

bool IsTestRun() { return g_run.options.runMode == kRunTest; }

}  // namespace

int EndRun(int result) {
  WritePerUserRecord();                                                   // 1
  result = ApplyHostFlags(result);                                        // 2
  result = ApplyScriptFailure(result);                                    // 3
  if (g_run.hooks.beforeRelease != nullptr) g_run.hooks.beforeRelease();
  if (result == kResultCompleted) RegisterQueuedFiles();                  // 4
  else LogFailureReason();
  CloseProgressDisplay();                                                 // 5
  CloseArchive();                                                         // 6
  CloseLog();
  StopSound();                                                            // 7
  WriteStatusFile(false, result);                                         // 8
  BroadcastSettingsChange();                                              // 9
  RemoveNotifyIcon();                                                     // 10
  if (!IsTestRun()) NotifyShell();                                        // 11
  if (!IsTestRun()) HandleRestart();
  EndRestorePoint(result);                                                // 12
  if (g_run.options.runMode == kRunExtractExitZero) *g_run.exitCode = 0;  // 13
  UnregisterDdeName();                                                    // 14
  CloseHelpFile();                                                        // 15
  WaitQuarterSecond();                                                    // 16
  DeleteDialogFont();
  EndDownloadLibrary();                                                   // 17
  EndDdeInstance();                                                       // 18
  EndProgressPlugin();                                                    // 19
  DestroyHostWindow();                                                    // 20
  ReleaseTransformAndRegistration();                                      // 21
  DeleteDatabaseInstallerHelper();                                        // 22
  ReleaseGraphics();                                                      // 23
  ReleaseRunMemory();                                                     // 24
  return result == kResultCompleted ? 0 : 1;                              // 25
}

void ReleaseEarly() {
  CloseLog();
  if (g_run.progressPlugin != nullptr) FreeLibrary(g_run.progressPlugin);
  g_run.progressPlugin = nullptr;
  DeleteAuxFile(2);
  ReleaseTransformAndRegistration();
  DeleteAuxFile(3);
  FreeBitmaps();
  ReleaseRunMemory();
}

}  // namespace tarn
