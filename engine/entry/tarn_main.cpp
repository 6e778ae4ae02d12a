// TarnMain: the one entry of the engine. Start-up runs as a numbered sequence of short
// steps; the run loop and the end of the run follow.
#include <windows.h>

#include <cstring>

#include "engine/changes/install_log.h"
#include "engine/entry/archive_read.h"
#include "engine/entry/end_run.h"
#include "engine/entry/gradient.h"
#include "engine/entry/run_state.h"
#include "engine/entry/status_file.h"
#include "engine/script/script_reader.h"
#include "engine/script/text.h"
#include "engine/script/run_loop.h"
#include "engine/ui/progress.h"
#include "engine/ui/reports.h"
#include "engine/ui/wizard.h"

namespace tarn {
namespace {

constexpr int kIconHost = 108;
constexpr int kCursorEngine = 115;
constexpr int kBitmapIds[8] = {2, 3, 4, 5, 6, 10, 11, 12};
constexpr UINT kRunErrorMode = SEM_NOOPENFILEERRORBOX;

bool IsDbcsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != 0; }


// Step 1
void TakeHostRecord(HostRecord* host, const char* commandLine, int32_t* exitCode, char* runProgram,
                    char* runArguments) {
  *exitCode = 1;
  g_run.host = host;
  g_run.commandLine = commandLine ? commandLine : "";
  g_run.exitCode = exitCode;
  g_run.runProgram = runProgram;
  g_run.runArguments = runArguments;
  g_run.hostWindow = static_cast<HWND>(host->hostWindow);
  g_run.hostInstance = static_cast<HINSTANCE>(host->hostInstance);
  g_run.backgroundWidth = host->backgroundWidth;
  g_run.backgroundHeight = host->backgroundHeight;
  g_run.hostFlags = host->hostFlags;
  g_run.script = host->script;
  g_run.scriptLength = host->scriptLength;
  host->fileBytesDone = 0;
  host->videoWindow = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&TakeHostRecord), &g_run.engineInstance);
  SetLeadBytePredicate(&IsDbcsLeadByte);
}

// Step 2
void RegisterWizardClass() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &WizardDlg;
  wc.hInstance = g_run.engineInstance;
  wc.hIcon = IsWindowVisible(g_run.hostWindow) ? nullptr : LoadIconA(g_run.hostInstance, MAKEINTRESOURCEA(kIconHost));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "ZERVWizard";
  g_run.classRegistered = RegisterClassA(&wc) != 0;
}

// Step 3
void PrepareNotifyIcon() {
  NOTIFYICONDATAA& icon = g_run.notifyIcon;
  icon.cbSize = 88;
  icon.hWnd = g_run.hostWindow;
  icon.uID = 0;
  icon.hIcon = LoadIconA(g_run.hostInstance, MAKEINTRESOURCEA(kIconHost));
  g_run.notifyIconPrepared = true;
}

// Step 4: a host started from a floppy drive gets no screen-update pause.
void CheckHostDrive() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(g_run.hostInstance, path, sizeof path);
  char first = path[0];
  if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 32);
  if (first <= 'B') g_run.updatePauseDisabled = true;
}

void* Allocate(size_t size) { return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size); }

// Step 5
bool AllocateWorkBuffers() {
  g_run.textBuffer = static_cast<char*>(Allocate(kWorkBufferSize));
  g_run.leftBuffer = static_cast<char*>(Allocate(kWorkBufferSize));
  g_run.rightBuffer = static_cast<char*>(Allocate(kWorkBufferSize));
  g_run.variables = static_cast<VariableStore*>(Allocate(sizeof(VariableStore)));
  g_run.dataBuffer = static_cast<char*>(Allocate(kWorkBufferSize));
  for (int i = 0; i < 8; ++i) {
    g_run.bitmaps[i] = LoadBitmapA(g_run.engineInstance, MAKEINTRESOURCEA(kBitmapIds[i]));
  }
  return g_run.textBuffer && g_run.leftBuffer && g_run.rightBuffer && g_run.variables && g_run.dataBuffer;
}

// Step 6
void DeterminePlatform() {
  if (g_run.hooks.forcedPlatform != nullptr) {
    g_run.platform = *g_run.hooks.forcedPlatform;
  } else {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    PlatformInfo& p = g_run.platform;
    p.is32Bit = true;
    p.isShell4 = version.dwMajorVersion >= 4;
    p.isWin9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    p.isWin98 = p.isWin9x && version.dwMinorVersion >= 10;
    p.isWinMe = p.isWin9x && (version.dwMinorVersion >= 90 ||
                              (version.dwMinorVersion >= 10 && (version.dwBuildNumber & 0xFFFF) >= 3000));
    p.isWinNT = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    p.isWin2000 = p.isWinNT && version.dwMajorVersion >= 5;
  }
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  g_run.getDiskFreeSpaceEx = kernel ? GetProcAddress(kernel, "GetDiskFreeSpaceExA") : nullptr;
}

// Step 7
void ChooseDialogLook() {
  uint32_t look = (g_run.hostFlags & kHostDialogLookMask) >> kHostDialogLookShift;
  g_run.platform.lightDialogLook = look == 2 || (look == 1 && g_run.platform.isShell4);
}

// Step 8: entries 4 to 7, each only when the host record says it is there.
bool ExtractAuxiliaryEntries() {
  HostRecord* host = g_run.host;
  if (g_run.hostFlags & kHostHasTransformLibrary) {
    if (!ExtractAuxEntry(4, "ZEH")) return false;
    g_run.transformLibrary = LoadLibraryA(g_run.auxPath[0]);
    g_run.transformFunction = g_run.transformLibrary ? GetProcAddress(g_run.transformLibrary, "f1") : nullptr;
    if (g_run.transformFunction == nullptr) {
      ReportError("Internal Error");
      return false;
    }
  }
  if ((g_run.hostFlags & kHostHasRegistrationProgram) && !ExtractAuxEntry(5, "ZEJ")) return false;
  if (host->packedSize[2] != 0) {
    if (!ExtractAuxEntry(6, "ZEK")) return false;
    g_run.progressPlugin = LoadLibraryA(g_run.auxPath[2]);
    g_run.progressUpdate = g_run.progressPlugin ? GetProcAddress(g_run.progressPlugin, "Update") : nullptr;
    if (g_run.progressUpdate == nullptr) {
      ReportError("Internal Error");
      return false;
    }
    ActionParams& params = g_run.actionParams;
    params.window = g_run.hostWindow;
    params.hostInstance = g_run.hostInstance;
    bool hidden = host->silent != 0 || (g_run.hostFlags & kHostBackgroundMask) == 2;
    params.editedFiles = hidden ? 0 : 1;
    StartProgressPlugin();
  }
  if (host->packedSize[3] != 0 && !ExtractAuxEntry(7, "ZEM")) return false;
  return true;
}

// Step 10
void LoadDialogResources() {
  g_run.buttonFace = GetSysColor(COLOR_BTNFACE);
  g_run.hollowBrush = static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH));
  g_run.cursor = LoadCursorA(g_run.engineInstance, MAKEINTRESOURCEA(kCursorEngine));
}

// Step 11
void ReadDialogBlock() {
  HostRecord* host = g_run.host;
  SIZE_T size = host->dialogBlockSize != 0 ? host->dialogBlockSize : 1;
  g_run.dialogBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  g_run.dialogBlockData = g_run.dialogBlock ? GlobalLock(g_run.dialogBlock) : nullptr;
  if (g_run.dialogBlockData == nullptr) return;
  host->readTarget = g_run.dialogBlockData;
  ReadEntry(static_cast<HANDLE>(host->archiveHandle), nullptr, host->dialogBlockPackedSize, nullptr);
  host->readTarget = nullptr;
}

// Steps 12 and 13
void TakeCommandLine() {
  WriteSlotDirect(*g_run.variables, 0, "%CMDLINE%", g_run.commandLine);
  char hostPath[MAX_PATH] = {};
  GetModuleFileNameA(g_run.hostInstance, hostPath, sizeof hostPath);
  ParseCommandLine(g_run.commandLine, hostPath, &g_run.options);
}

// Steps 14 and 15
void MarkScriptEndAndDataBase() {
  g_run.script[g_run.scriptLength] = OP_END_OF_SCRIPT;
  LARGE_INTEGER zero{}, position{};
  SetFilePointerEx(static_cast<HANDLE>(g_run.host->archiveHandle), zero, &position, FILE_CURRENT);
  // A position in the open part of a split archive; diskBase makes it a logical one.
  g_run.archiveDataBase = static_cast<uint32_t>(position.QuadPart) + g_run.host->diskBase;
}

void BuildGradientPalette() {
  const int16_t* colours = g_run.host->gradientColours;
  GradientColour entries[kGradientEntries];
  if (colours == nullptr || !ComputeGradient(colours, entries)) return;
  HDC dc = GetDC(g_run.hostWindow);
  if (dc == nullptr) return;
  if (GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) >= 8) {
    struct {
      WORD version;
      WORD count;
      PALETTEENTRY entries[kGradientEntries];
    } logical{0x300, kGradientEntries, {}};
    for (int i = 0; i < kGradientEntries; ++i) {
      logical.entries[i] = PALETTEENTRY{entries[i].red, entries[i].green, entries[i].blue, 0};
    }
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
    if (palette != nullptr) {
      SelectPalette(dc, palette, FALSE);
      RealizePalette(dc);
      if (g_run.host->backgroundPalette != nullptr) DeleteObject(static_cast<HPALETTE>(g_run.host->backgroundPalette));
      g_run.host->backgroundPalette = palette;
    }
  }
  ReleaseDC(g_run.hostWindow, dc);
}

// Step 16
void HandOverSplash() {
  HostRecord* host = g_run.host;
  if (host->silent != 0) return;
  if (host->splashWindow != nullptr) {
    while (host->hostBusy != 0) {
      DrainMessages();
      Sleep(10);
    }
    DestroyWindow(static_cast<HWND>(host->splashWindow));
    DrainMessages();
    if (host->splashMemory != nullptr) {
      GlobalUnlock(static_cast<HGLOBAL>(host->splashMemory));
      GlobalFree(static_cast<HGLOBAL>(host->splashMemory));
    }
    host->splashMemory = nullptr;
    host->splashCleared = 0;
    host->splashWindow = nullptr;
    if (host->backgroundPalette != nullptr) DeleteObject(static_cast<HPALETTE>(host->backgroundPalette));
    host->backgroundPalette = nullptr;
  }
  uint32_t background = g_run.hostFlags & kHostBackgroundMask;
  if (background == 2) return;
  if (g_run.hostFlags & kHostGradientPalette) BuildGradientPalette();
  ShowWindow(g_run.hostWindow, background == 0 ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  DrainMessages();
  RECT client{};
  if (GetClientRect(g_run.hostWindow, &client)) {
    host->backgroundWidth = g_run.backgroundWidth = client.right;
    host->backgroundHeight = g_run.backgroundHeight = client.bottom;
  }
}

// Step 19: a restore point around the run, when the script asks and the system offers it.
void BeginRestorePoint() {
  if (!(g_run.header.headerOptions & kOptionRestorePoint)) return;
  HMODULE sfc = LoadLibraryA("SFC.DLL");
  FARPROC function = sfc ? GetProcAddress(sfc, "SRSetRestorePoint") : nullptr;
  if (function == nullptr) {
    if (sfc) FreeLibrary(sfc);
    return;
  }
  RestorePointInfo info{kRestoreBeginChange, kRestoreApplicationInstall, 0, {}};
  RestorePointStatus status{};
  CopyText(info.description, sizeof info.description, g_run.title);
  if (!reinterpret_cast<SetRestorePointFunction>(function)(&info, &status)) {
    FreeLibrary(sfc);
    return;
  }
  g_run.restorePointLibrary = sfc;
  g_run.restorePointFunction = function;
  g_run.restorePointSequence = status.sequenceNumber;
}

HDDEDATA CALLBACK DdeCallbackSeam(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
  return nullptr;
}

// Step 23
void StartDdeService() {
  DWORD instance = 0;
  if (DdeInitializeA(&instance, &DdeCallbackSeam,
                     APPCLASS_STANDARD | CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                     0) != DMLERR_NO_ERROR) {
    return;
  }
  g_run.ddeInstance = instance;
  const char* name = g_run.options.ddeServiceName[0] ? g_run.options.ddeServiceName : "TarnInst";
  g_run.ddeServiceName = DdeCreateStringHandleA(instance, name, CP_WINANSI);
  if (g_run.ddeServiceName != nullptr) {
    g_run.ddeRegistered = DdeNameService(instance, g_run.ddeServiceName, nullptr, DNS_REGISTER) != nullptr;
  }
}

int Run(HostRecord* host, const char* commandLine, int32_t* exitCode, char* runProgram, char* runArguments) {
  TakeHostRecord(host, commandLine, exitCode, runProgram, runArguments);  // 1
  RegisterWizardClass();                                                  // 2
  PrepareNotifyIcon();                                                    // 3
  CheckHostDrive();                                                       // 4
  if (!AllocateWorkBuffers()) {                                           // 5
    ReportError("Internal Error");
    ReleaseEarly();
    return 1;
  }
  DeterminePlatform();                                                    // 6
  ChooseDialogLook();                                                     // 7
  if (!ExtractAuxiliaryEntries()) {                                       // 8
    ReleaseEarly();
    return 1;
  }
  SetErrorMode(kRunErrorMode);                                            // 9
  LoadDialogResources();                                                  // 10
  ReadDialogBlock();                                                      // 11
  TakeCommandLine();                                                      // 12, 13
  MarkScriptEndAndDataBase();                                             // 14, 15
  HandOverSplash();                                                       // 16
  if (g_run.options.runMode == kRunExtract || g_run.options.runMode == kRunExtractExitZero) {
    // Extraction lists and extracts the archive's files; it is not built yet, so the run
    // ends at once as completed.
    return EndRun(-1);
  }
  if (ReadScriptHeader() != 0) return EndRun(-2);                         // 17
  if (g_run.hooks.afterStartUp != nullptr) g_run.hooks.afterStartUp();
  DisablePluginCancel();                                                  // 18
  UpdateTrayTip(NIM_ADD);  // the title is known now
  BeginRestorePoint();                                                    // 19
  StartLog();                                                             // 20
  WriteStatusFile(true, -1);                                              // 21
  host->bytesDone = 0;                                                    // 22
  StartDdeService();                                                      // 23
  g_run.richEdit = LoadLibraryA("RICHED32.DLL");                          // 24
  return EndRun(RunScriptToEnd());                                        // 25
}

}  // namespace
}  // namespace tarn

extern "C" int __stdcall TarnMain(tarn::HostRecord* host, const char* commandLine, int32_t* exitCode,
                                  char* runProgram, char* runArguments) {
  if (host == nullptr || exitCode == nullptr) return 1;
  try {
    tarn::ResetRunState();
    return tarn::Run(host, commandLine, exitCode, runProgram, runArguments);
  } catch (...) {
    return 1;
  }
}
