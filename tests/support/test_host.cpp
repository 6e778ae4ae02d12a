#include "tests/support/test_host.h"

#include <cstdio>
#include <cstring>

#include "host/archive_codec.h"

// The painter of an engine linked into the test program; null where none is.
extern "C" void __stdcall DisplayGraphics(uint32_t, HDC) __attribute__((weak));

namespace tarn::test {
namespace {

constexpr UINT kHostTimer = 8297;
using PaintFunction = void(__stdcall*)(uint32_t, HDC);

struct HostState {
  HostRecord* record = nullptr;
  RunResult* result = nullptr;
  const Installation* installation = nullptr;
  PaintFunction displayGraphics = nullptr;
};
HostState g_host;

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_host.installation && g_host.installation->onHostMessage) {
    g_host.installation->onHostMessage(g_host.record, message, wParam, lParam);
  }
  switch (message) {
    case WM_SETTEXT:
      if (g_host.result && lParam) g_host.result->titlesSet.emplace_back(reinterpret_cast<const char*>(lParam));
      break;
    case WM_ERASEBKGND:
      // A background covered by an opaque tiled picture needs no painting of its own.
      if (g_host.record && (g_host.record->screenState & 0x01)) return 1;
      break;
    case WM_PAINT: {
      // The engine paints its pictures and billboards over the background.
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      // Covered by an opaque tile, or only new pictures to add over what is on screen:
      // the background stays as it is.
      if (!(g_host.record && (g_host.record->screenState & 0x03))) {
        FillRect(dc, &paint.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
      }
      if (g_host.displayGraphics) g_host.displayGraphics(0, dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_TIMER:
      if (wParam == kHostTimer) g_host.record->timerWaiting = 0;
      return 0;
    case WM_DESTROY:
      if (g_host.result) {
        g_host.result->hostWindowDestroyed = true;
        char** table = g_host.record->messageTable;
        if (table != nullptr) {
          g_host.result->messageTableSeen = true;
          for (int i = 0; i < 54; ++i) g_host.result->messages.emplace_back(table[i] ? table[i] : "");
        }
      }
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateHostWindow() {
  static bool registered = false;
  if (!registered) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &HostWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = "TarnTestHost";
    RegisterClassA(&wc);
    registered = true;
  }
  return CreateWindowA("TarnTestHost", "test host", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                       GetModuleHandleA(nullptr), nullptr);
}

// The engine's painter: exported by the library that holds TarnMain, or linked in.
PaintFunction FindDisplayGraphics(TarnMainFunction tarnMain) {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(tarnMain), &module);
  FARPROC exported = module ? GetProcAddress(module, "DisplayGraphics") : nullptr;
  if (exported != nullptr) return reinterpret_cast<PaintFunction>(reinterpret_cast<void*>(exported));
  return &DisplayGraphics;
}

void Append(std::vector<uint8_t>& archive, const std::vector<uint8_t>& packed) {
  archive.insert(archive.end(), packed.begin(), packed.end());
}

}  // namespace

std::string MakeTempDirectory(const char* tag) {
  char base[MAX_PATH];
  GetTempPathA(sizeof base, base);
  static unsigned counter = 0;
  char path[MAX_PATH];
  for (;;) {
    std::snprintf(path, sizeof path, "%stt_%s_%lu_%u", base, tag, GetCurrentProcessId(), counter++);
    if (CreateDirectoryA(path, nullptr)) return path;
  }
}

RunResult RunInstallation(const Installation& installation, TarnMainFunction tarnMain) {
  RunResult result;
  HostRecord record{};
  g_host = HostState{&record, &result, &installation, FindDisplayGraphics(tarnMain)};
  SetCodecHostRecord(&record);

  // The archive: auxiliary entries, the built-in dialog block, then the file data.
  std::vector<uint8_t> archive;
  for (int i = 0; i < 4; ++i) {
    if (installation.auxEntries[i].empty()) continue;
    std::vector<uint8_t> packed = PackStored(installation.auxEntries[i]);
    record.packedSize[i] = static_cast<uint32_t>(packed.size());
    Append(archive, packed);
  }
  std::vector<uint8_t> dialog = PackStored(installation.dialogBlock);
  record.dialogBlockPackedSize = static_cast<uint32_t>(dialog.size());
  record.dialogBlockSize = static_cast<uint32_t>(installation.dialogBlock.size());
  if (installation.dialogBlockPackedSizeOverride) record.dialogBlockPackedSize = installation.dialogBlockPackedSizeOverride;
  Append(archive, dialog);
  Append(archive, installation.fileData);

  std::string directory = installation.workDirectory.empty() ? MakeTempDirectory("host") : installation.workDirectory;
  result.archivePath = directory + "\\SETUP.W01";
  result.installerPath = directory + "\\SETUP.EXE";
  HANDLE file = CreateFileA(result.archivePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, archive.data(), static_cast<DWORD>(archive.size()), &written, nullptr);
  CloseHandle(file);
  HANDLE archiveHandle = CreateFileA(result.archivePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr);

  // The script in movable global memory with room for the end marker.
  HGLOBAL scriptMemory = GlobalAlloc(GMEM_MOVEABLE, installation.script.size() + 1);
  auto* script = static_cast<uint8_t*>(GlobalLock(scriptMemory));
  if (!installation.script.empty()) std::memcpy(script, installation.script.data(), installation.script.size());
  script[installation.script.size()] = 0xEE;

  HWND window = CreateHostWindow();
  record.hostWindow = window;
  record.hostInstance = GetModuleHandleA(nullptr);
  record.archiveHandle = archiveHandle;
  record.backgroundWidth = 640;
  record.backgroundHeight = 480;
  record.silent = installation.silent;
  record.hostFlags = installation.hostFlags;
  record.scriptLength = static_cast<uint32_t>(installation.script.size());
  record.exitSectionOffset = installation.exitSectionOffset;
  record.abortSectionOffset = installation.abortSectionOffset;
  record.gradientColours = installation.gradient.data();
  record.scriptMemory = scriptMemory;
  record.script = script;
  record.installerPath = result.installerPath.c_str();
  record.decompress = &HostDecompress;
  record.checksum = &HostChecksum;
  if (installation.splashWindow) {
    record.splashWindow = CreateWindowA("STATIC", "splash", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    record.splashMemory = GlobalAlloc(GMEM_MOVEABLE, 16);
    GlobalLock(static_cast<HGLOBAL>(record.splashMemory));
  }

  // Whether the engine marked the script's end is visible only while it runs: the
  // marker is checked when the host window goes away (the script is freed after).
  struct MarkerProbe {
    static void Check(HostRecord* r, UINT message, WPARAM, LPARAM) {
      if (message == WM_DESTROY && r->script != nullptr && r->scriptMemory != nullptr) {
        g_host.result->scriptEndMarked = r->script[r->scriptLength] == '?';
      }
    }
  };
  Installation withProbe = installation;
  auto userHook = installation.onHostMessage;
  static void (*s_userHook)(HostRecord*, UINT, WPARAM, LPARAM);
  s_userHook = userHook;
  withProbe.onHostMessage = [](HostRecord* r, UINT m, WPARAM w, LPARAM l) {
    MarkerProbe::Check(r, m, w, l);
    if (s_userHook) s_userHook(r, m, w, l);
  };
  g_host.installation = &withProbe;

  char runProgram[512] = "untouched";
  char runArguments[1024] = "untouched";
  int32_t exitCode = -7;
  result.returnValue = tarnMain(&record, installation.commandLine.c_str(), &exitCode, runProgram, runArguments);
  result.exitCode = exitCode;
  result.runProgram = runProgram;
  result.runArguments = runArguments;
  result.recordAfter = record;

  // A host window that the engine left alive is the host's to destroy (and its own
  // WM_DESTROY then is not the engine's doing).
  bool destroyedByEngine = result.hostWindowDestroyed;
  if (IsWindow(window)) DestroyWindow(window);
  result.hostWindowDestroyed = destroyedByEngine;
  if (record.archiveHandle != INVALID_HANDLE_VALUE && record.archiveHandle != nullptr) {
    CloseHandle(static_cast<HANDLE>(record.archiveHandle));
  }
  g_host = HostState{};
  return result;
}

}  // namespace tarn::test
