#include "engine/entry/end_run.h"

#include "engine/entry/run_state.h"
#include "engine/script/variables.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr int kResultCompleted = -1;
constexpr int kResultAborted = -2;

int DecideResult(int result) {
  HostRecord* host = g_run.host;
  if (host->cancelState != kCancelNone) result = kResultAborted;
  if (host->errorState != kErrorNone) {
    ReportMessageError(host->errorState == kErrorReported ? 2 : 7);
    result = kResultAborted;
  }
  if (g_run.variables != nullptr) {
    char failure[256];
    GetVariable(*g_run.variables, "TARN_ERROR_RTN", failure, sizeof failure);
    if (failure[0] != '\0') {
      ReportError(failure);
      result = kResultAborted;
    }
  }
  return result;
}

void CloseArchive() {
  HANDLE archive = static_cast<HANDLE>(g_run.host->archiveHandle);
  if (archive != INVALID_HANDLE_VALUE && archive != nullptr) CloseHandle(archive);
  g_run.host->archiveHandle = INVALID_HANDLE_VALUE;
}

void EndDdeService() {
  if (g_run.ddeInstance == 0) return;
  if (g_run.ddeRegistered) DdeNameService(g_run.ddeInstance, g_run.ddeServiceName, nullptr, DNS_UNREGISTER);
  if (g_run.ddeServiceName != nullptr) DdeFreeStringHandle(g_run.ddeInstance, g_run.ddeServiceName);
  DdeUninitialize(g_run.ddeInstance);
  g_run.ddeInstance = 0;
}

void EndRestorePoint(int result) {
  if (g_run.restorePointFunction == nullptr) return;
  RestorePointInfo info{kRestoreEndChange,
                        result == kResultCompleted ? kRestoreApplicationInstall : kRestoreCancelledOperation,
                        g_run.restorePointSequence, {}};
  RestorePointStatus status{};
  reinterpret_cast<SetRestorePointFunction>(g_run.restorePointFunction)(&info, &status);
  g_run.restorePointFunction = nullptr;
}

void DestroyHostWindow() {
  DestroyWindow(g_run.hostWindow);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void FreeLibraries() {
  if (g_run.transformLibrary) FreeLibrary(g_run.transformLibrary);
  if (g_run.progressPlugin) FreeLibrary(g_run.progressPlugin);
  if (g_run.richEdit) FreeLibrary(g_run.richEdit);
  if (g_run.restorePointLibrary) FreeLibrary(g_run.restorePointLibrary);
  g_run.transformLibrary = g_run.progressPlugin = g_run.richEdit = g_run.restorePointLibrary = nullptr;
}

void DeleteAuxFiles() {
  for (auto& path : g_run.auxPath) {
    if (path[0] != '\0') DeleteFileA(path);
    path[0] = '\0';
  }
}

void FreeHeap(void* p) {
  if (p != nullptr) HeapFree(GetProcessHeap(), 0, p);
}

void FreeBuffers() {
  FreeHeap(g_run.textBuffer);
  FreeHeap(g_run.leftBuffer);
  FreeHeap(g_run.rightBuffer);
  FreeHeap(g_run.variables);
  g_run.textBuffer = g_run.leftBuffer = g_run.rightBuffer = nullptr;
  g_run.variables = nullptr;
  for (char*& name : g_run.temporaryNames) {
    if (name != nullptr) {
      DeleteFileA(name);
      FreeHeap(name);
      name = nullptr;
    }
  }
  for (char*& path : g_run.registrationQueue) {
    FreeHeap(path);
    path = nullptr;
  }
  if (g_run.dialogBlock != nullptr) {
    GlobalUnlock(g_run.dialogBlock);
    GlobalFree(g_run.dialogBlock);
    g_run.dialogBlock = nullptr;
  }
  if (g_run.messageTable != nullptr) {
    for (int i = 0; i < 54; ++i) FreeHeap(g_run.messageTable[i]);
    FreeHeap(g_run.messageTable);
    g_run.messageTable = nullptr;
    g_run.host->messageTable = nullptr;
  }
}

void FreePalettes() {
  HostRecord* host = g_run.host;
  if (host->hostPalette != nullptr) DeleteObject(static_cast<HPALETTE>(host->hostPalette));
  if (host->backgroundPalette != nullptr) DeleteObject(static_cast<HPALETTE>(host->backgroundPalette));
  host->hostPalette = host->backgroundPalette = nullptr;
}

void FreeGraphics() {
  for (HBITMAP& bitmap : g_run.bitmaps) {
    if (bitmap != nullptr) DeleteObject(bitmap);
    bitmap = nullptr;
  }
  if (g_run.hollowBrush != nullptr) DeleteObject(g_run.hollowBrush);
  if (g_run.cursor != nullptr) DestroyCursor(g_run.cursor);
  g_run.hollowBrush = nullptr;
  g_run.cursor = nullptr;
}

void FreeScriptMemory() {
  HGLOBAL memory = static_cast<HGLOBAL>(g_run.host->scriptMemory);
  if (memory == nullptr) return;
  GlobalUnlock(memory);
  GlobalFree(memory);
  g_run.host->scriptMemory = nullptr;
}

}  // namespace

int EndRun(int result) {
  result = DecideResult(result);
  CloseArchive();
  if (g_run.hooks.beforeRelease != nullptr) g_run.hooks.beforeRelease();
  EndRestorePoint(result);
  if (g_run.options.runMode == kRunExtractExitZero) *g_run.exitCode = 0;
  EndDdeService();
  DestroyHostWindow();
  FreeLibraries();
  DeleteAuxFiles();
  FreePalettes();
  FreeGraphics();
  FreeScriptMemory();
  FreeBuffers();
  if (g_run.classRegistered) UnregisterClassA("ZERVWizard", g_run.engineInstance);
  g_run.classRegistered = false;
  return result == kResultCompleted ? 0 : 1;
}

void ReleaseEarly() {
  FreeLibraries();
  DeleteAuxFiles();
  FreeGraphics();
  FreeBuffers();
  if (g_run.classRegistered) UnregisterClassA("ZERVWizard", g_run.engineInstance);
  g_run.classRegistered = false;
}

}  // namespace tarn
