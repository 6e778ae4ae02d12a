// The setup stub: a setup program is this program with an archive appended. It finds its
// archive, unpacks the engine and the script, fills the host record, paints the
// background, hands the run to TarnMain, and afterwards starts the program the engine
// left for it and exits with the engine's exit code.
//
// Its own switch "/S" runs the installation silently; the whole command line is passed to
// the engine, which ignores switches it does not know.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/entry/host_record.h"
#include "host/archive_codec.h"
#include "host/setup_format.h"

namespace {

using tarn::HostRecord;
using TarnMainFunction = int(__stdcall*)(HostRecord*, const char*, int32_t*, char*, char*);
using PaintFunction = void(__stdcall*)(HDC);

constexpr UINT kHostTimer = 8297;

HostRecord g_record{};
tarn::SetupTrailer g_trailer{};
FARPROC g_displayGraphics = nullptr;

void PaintGradient(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  const int16_t* c = g_trailer.gradientColours;
  int height = client.bottom > 0 ? client.bottom : 1;
  for (int y = 0; y < height; y += 4) {
    int r = c[0] + c[3] * y / height, g = c[1] + c[4] * y / height, b = c[2] + c[5] * y / height;
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    HBRUSH brush = CreateSolidBrush(RGB(clamp(r), clamp(g), clamp(b)));
    RECT band{0, y, client.right, y + 4};
    FillRect(dc, &band, brush);
    DeleteObject(brush);
  }
}

LRESULT CALLBACK BackgroundProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      PaintGradient(window, dc);
      // The engine paints its pictures and billboards over the background.
      if (g_displayGraphics != nullptr) reinterpret_cast<PaintFunction>(g_displayGraphics)(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_TIMER:
      if (wParam == kHostTimer) g_record.timerWaiting = 0;
      return 0;
    case WM_CLOSE:
      return 0;  // the engine decides when the installation ends
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Fail(const char* text) {
  MessageBoxA(nullptr, text, "Setup", MB_OK | MB_ICONSTOP);
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Expands the packed entry at the file's current position into memory or a file through
// the same function the engine uses, so the stub and the engine read alike.
bool Expand(HANDLE archive, uint32_t packedSize, void* target, HANDLE output) {
  g_record.readTarget = target;
  g_record.errorState = 0;
  tarn::HostDecompress(archive, output, packedSize, nullptr);
  g_record.readTarget = nullptr;
  return g_record.errorState == 0;
}

std::string CommandTail() {
  const char* line = GetCommandLineA();
  bool quoted = false;
  while (*line && (quoted || (*line != ' ' && *line != '\t'))) {
    if (*line == '"') quoted = !quoted;
    ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

bool HasSilentSwitch(const std::string& tail) {
  for (size_t i = 0; i + 1 < tail.size(); ++i) {
    if (tail[i] == '/' && (tail[i + 1] == 'S' || tail[i + 1] == 's') &&
        (i + 2 == tail.size() || tail[i + 2] == ' ' || tail[i + 2] == '\t') && (i == 0 || tail[i - 1] == ' ')) {
      return true;
    }
  }
  return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  char selfPath[MAX_PATH];
  GetModuleFileNameA(nullptr, selfPath, sizeof selfPath);
  HANDLE archive = CreateFileA(selfPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER size{};
  if (archive == INVALID_HANDLE_VALUE || !GetFileSizeEx(archive, &size) ||
      size.QuadPart < static_cast<LONGLONG>(sizeof g_trailer) ||
      !ReadAt(archive, static_cast<uint64_t>(size.QuadPart) - sizeof g_trailer, &g_trailer, sizeof g_trailer) ||
      std::memcmp(g_trailer.magic, tarn::kSetupMagic, sizeof g_trailer.magic) != 0) {
    Fail("This setup program carries no installation.");
    return 1;
  }
  tarn::SetCodecHostRecord(&g_record);

  // The engine, unpacked into a private temporary folder.
  char tempDir[MAX_PATH], engineDir[MAX_PATH], enginePath[MAX_PATH];
  GetTempPathA(sizeof tempDir, tempDir);
  std::snprintf(engineDir, sizeof engineDir, "%sTRN%lu", tempDir, GetCurrentProcessId());
  CreateDirectoryA(engineDir, nullptr);
  std::snprintf(enginePath, sizeof enginePath, "%s\\TARN0132.DLL", engineDir);
  HANDLE engineFile = CreateFileA(enginePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  LARGE_INTEGER start;
  start.QuadPart = g_trailer.archiveOffset;
  bool unpacked = engineFile != INVALID_HANDLE_VALUE && SetFilePointerEx(archive, start, nullptr, FILE_BEGIN) &&
                  Expand(archive, g_trailer.enginePackedSize, nullptr, engineFile);
  if (engineFile != INVALID_HANDLE_VALUE) CloseHandle(engineFile);
  HMODULE engine = unpacked ? LoadLibraryA(enginePath) : nullptr;
  auto tarnMain = engine ? reinterpret_cast<TarnMainFunction>(GetProcAddress(engine, "TarnMain")) : nullptr;
  if (tarnMain == nullptr) {
    Fail("The installation engine could not be loaded.");
    DeleteFileA(enginePath);
    RemoveDirectoryA(engineDir);
    return 1;
  }
  g_displayGraphics = GetProcAddress(engine, "DisplayGraphics");

  // The script, in movable memory with room for the end marker the engine writes.
  HGLOBAL scriptMemory = GlobalAlloc(GMEM_MOVEABLE, g_trailer.scriptSize + 1);
  auto* script = static_cast<uint8_t*>(scriptMemory ? GlobalLock(scriptMemory) : nullptr);
  if (script == nullptr || !Expand(archive, g_trailer.scriptPackedSize, script, nullptr)) {
    Fail("The installation data is damaged.");
    return 1;
  }

  std::string tail = CommandTail();
  bool silent = HasSilentSwitch(tail);
  WNDCLASSA wc{};
  wc.lpfnWndProc = &BackgroundProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(108));
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = "TarnSetupBackground";
  RegisterClassA(&wc);
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HWND window = CreateWindowA("TarnSetupBackground", "Setup", WS_OVERLAPPEDWINDOW, 0, 0, width, height, nullptr,
                              nullptr, instance, nullptr);
  if (!silent) SetTimer(window, kHostTimer, 50, nullptr);

  g_record.hostWindow = window;
  g_record.hostInstance = instance;
  g_record.archiveHandle = archive;
  g_record.backgroundWidth = width;
  g_record.backgroundHeight = height;
  g_record.silent = silent ? 1 : 0;
  g_record.hostFlags = g_trailer.hostFlags | (silent ? 2u : 0u);
  g_record.scriptLength = g_trailer.scriptSize;
  for (int i = 0; i < 4; ++i) g_record.packedSize[i] = g_trailer.packedSize[i];
  g_record.dialogBlockPackedSize = g_trailer.dialogBlockPackedSize;
  g_record.dialogBlockSize = g_trailer.dialogBlockSize;
  g_record.exitSectionOffset = g_trailer.exitSectionOffset;
  g_record.abortSectionOffset = g_trailer.abortSectionOffset;
  g_record.gradientColours = g_trailer.gradientColours;
  g_record.scriptMemory = scriptMemory;
  g_record.script = script;
  g_record.installerPath = selfPath;
  g_record.decompress = &tarn::HostDecompress;
  g_record.checksum = &tarn::HostChecksum;

  char runProgram[MAX_PATH] = "";
  char runArguments[1024] = "";
  int32_t exitCode = 1;
  int result = tarnMain(&g_record, tail.c_str(), &exitCode, runProgram, runArguments);
  // The engine destroyed the window and released the script; the archive handle is its.
  FreeLibrary(engine);
  DeleteFileA(enginePath);
  RemoveDirectoryA(engineDir);

  if (runProgram[0] != '\0') {
    std::string command = std::string("\"") + runProgram + "\" " + runArguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  (void)result;
  return exitCode;
}
