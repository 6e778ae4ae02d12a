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
using PaintFunction = void(__stdcall*)(uint32_t, HDC);

constexpr UINT kHostTimer = 8297;

HostRecord g_record{};
tarn::SetupRecord g_setup{};
FARPROC g_displayGraphics = nullptr;

void PaintGradient(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  const int16_t* c = g_setup.gradientColours;
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
      // Covered by an opaque tile, or only new pictures to add over what is on screen
      // (screen state bits 0 and 1): the background stays as it is.
      if (!(g_record.screenState & 0x03)) PaintGradient(window, dc);
      // The engine paints its pictures and billboards over the background.
      if (g_displayGraphics != nullptr) reinterpret_cast<PaintFunction>(g_displayGraphics)(0, dc);
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

bool g_silent = false;

// A silent run shows nothing: its failure is only the exit code.
void Fail(const char* text) {
  if (!g_silent) MessageBoxA(nullptr, text, "Setup", MB_OK | MB_ICONSTOP);
}

bool ReadAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Expands the packed entry at the file's current position into memory or a file through
// the same function the engine uses, so the stub and the engine read alike.
bool Expand(void* archive, uint32_t packedSize, void* target, HANDLE output) {
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
  std::string tail = CommandTail();
  g_silent = HasSilentSwitch(tail);
  HANDLE archive = CreateFileA(selfPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  uint8_t headers[4096] = {};
  DWORD got = 0;
  bool found = archive != INVALID_HANDLE_VALUE && ReadFile(archive, headers, sizeof headers, &got, nullptr);
  uint32_t recordAt = found ? tarn::PeImageEnd(headers, got) : 0;
  if (recordAt == 0 || !ReadAt(archive, recordAt, &g_setup, sizeof g_setup) ||
      std::memcmp(g_setup.magic, tarn::kSetupMagic, sizeof g_setup.magic) != 0) {
    Fail("This setup program carries no installation.");
    return 1;
  }
  tarn::SetCodecHostRecord(&g_record);
  g_record.archiveHandle = archive;  // reads may move on to the next part of the archive
  if (g_setup.diskSize != 0) {
    // The further parts of a split archive lie beside the setup program.
    std::string directory(selfPath, static_cast<size_t>(std::strrchr(selfPath, '\\') + 1 - selfPath));
    tarn::SetCodecArchiveParts(selfPath, g_setup.archiveOffset + g_setup.firstPartSize, g_setup.diskSize,
                               directory.c_str());
  }

  // The engine, unpacked into a private temporary folder.
  char tempDir[MAX_PATH], engineDir[MAX_PATH], enginePath[MAX_PATH];
  GetTempPathA(sizeof tempDir, tempDir);
  std::snprintf(engineDir, sizeof engineDir, "%sTRN%lu", tempDir, GetCurrentProcessId());
  CreateDirectoryA(engineDir, nullptr);
  std::snprintf(enginePath, sizeof enginePath, "%s\\TARN0132.DLL", engineDir);
  HANDLE engineFile = CreateFileA(enginePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  LARGE_INTEGER start;
  start.QuadPart = g_setup.archiveOffset;
  bool unpacked = engineFile != INVALID_HANDLE_VALUE && SetFilePointerEx(archive, start, nullptr, FILE_BEGIN) &&
                  Expand(g_record.archiveHandle, g_setup.enginePackedSize, nullptr, engineFile);
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
  HGLOBAL scriptMemory = GlobalAlloc(GMEM_MOVEABLE, g_setup.scriptSize + 1);
  auto* script = static_cast<uint8_t*>(scriptMemory ? GlobalLock(scriptMemory) : nullptr);
  if (script == nullptr || !Expand(g_record.archiveHandle, g_setup.scriptPackedSize, script, nullptr)) {
    Fail("The installation data is damaged.");
    return 1;
  }

  bool silent = g_silent;
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
  g_record.backgroundWidth = width;
  g_record.backgroundHeight = height;
  g_record.silent = silent ? 1 : 0;
  g_record.hostFlags = g_setup.hostFlags | (silent ? 2u : 0u);
  g_record.scriptLength = g_setup.scriptSize;
  for (int i = 0; i < 4; ++i) g_record.packedSize[i] = g_setup.packedSize[i];
  g_record.dialogBlockPackedSize = g_setup.dialogBlockPackedSize;
  g_record.dialogBlockSize = g_setup.dialogBlockSize;
  g_record.exitSectionOffset = g_setup.exitSectionOffset;
  g_record.abortSectionOffset = g_setup.abortSectionOffset;
  g_record.gradientColours = g_setup.gradientColours;
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
