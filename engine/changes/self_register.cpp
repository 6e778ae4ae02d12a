#include "engine/changes/self_register.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/changes/file_system.h"
#include "engine/changes/install_log.h"
#include "engine/entry/run_state.h"
#include "engine/ui/progress.h"
#include "engine/script/text.h"
#include "engine/ui/reports.h"
#include "engine/ui/screen.h"

namespace tarn {
namespace {

constexpr size_t kEntrySize = 256;
constexpr int kMessageQuestionTitle = 18;
constexpr int kAnnounceStyle = 2;
constexpr DWORD kWaitSlice = 100;
constexpr int kWidePathCapacity = 520;

bool EndsWithNoCase(const char* text, const char* ending) {
  size_t length = std::strlen(text), endingLength = std::strlen(ending);
  return length >= endingLength && EqualNoCase(text + length - endingLength, ending);
}

// Whether the file starts like an executable or library; a file that cannot be opened
// counts too, since it may be waiting for replacement at restart.
bool LooksRegistrable(const char* path) {
  if (EndsWithNoCase(path, ".TLB")) return true;
  HANDLE file = OpenFile(path, kOpenRead, false);
  if (file == INVALID_HANDLE_VALUE) return true;
  char start[2] = {};
  bool image = ReadFileData(file, start, 2) == 2 && start[0] == 'M' && start[1] == 'Z';
  CloseHandle(file);
  return image;
}


// Starts `commandLine`; null when it could not be started.
HANDLE StartProgram(const char* commandLine) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return nullptr;
  }
  CloseHandle(process.hThread);
  return process.hProcess;
}

// Waits for the program to end with the windows kept responsive; its exit code.
DWORD WaitForProgram(HANDLE process) {
  DWORD code = STILL_ACTIVE;
  for (;;) {
    UpdateScreen(0);
    DrainMessages();
    if (WaitForSingleObject(process, kWaitSlice) == WAIT_OBJECT_0) break;
  }
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return code;
}

// A program registers itself when started with "/REGSERVER"; its exit code says nothing.
bool RegisterProgram(const char* path) {
  char commandLine[300];
  std::snprintf(commandLine, sizeof commandLine, "%s /REGSERVER", path);
  HANDLE process = StartProgram(commandLine);
  if (process == nullptr) return false;
  WaitForProgram(process);
  return true;
}

bool RegisterTypeLibrary(const char* path) {
  HMODULE automation = LoadLibraryA("OLEAUT32.DLL");
  if (automation == nullptr) return false;
  using LoadTypeLibExFunction = HRESULT(WINAPI*)(LPCOLESTR, REGKIND, ITypeLib**);
  auto load = reinterpret_cast<LoadTypeLibExFunction>(GetProcAddress(automation, "LoadTypeLibEx"));
  bool done = false;
  if (load != nullptr) {
    wchar_t wide[kWidePathCapacity] = {};
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, path, -1, wide, kWidePathCapacity - 1);
    ITypeLib* library = nullptr;
    done = load(wide, REGKIND_REGISTER, &library) >= 0;
    if (library != nullptr) library->Release();
  }
  FreeLibrary(automation);
  return done;
}

// A 32-bit image is registered by the registration program that came with the archive;
// the entry takes the long form, which the log line then shows too.
bool RegisterWithRegistrationProgram(char* entry) {
  const char* program = g_run.auxPath[1];
  if (program[0] == '\0') return false;
  ConvertPathForm(entry, true);
  char commandLine[600];
  std::snprintf(commandLine, sizeof commandLine, "\"%s\" %s", program, entry);
  HANDLE process = StartProgram(commandLine);
  return process != nullptr && WaitForProgram(process) == 0;
}

void RegisterOne(char* entry) {
  char directory[kEntrySize];
  CopyText(directory, sizeof directory, entry);
  char* lastSlash = const_cast<char*>(FindLastChar(directory, '\\'));
  if (lastSlash != nullptr) {
    *lastSlash = '\0';
    if (lastSlash == directory + 2 && directory[1] == ':') CopyText(lastSlash, 2, "\\");
    SetCurrentDirectoryA(directory);
  }
  UpdateScreen(0);
  if (g_run.options.announceRegistration) ShowMessage(entry, Message(kMessageQuestionTitle), kAnnounceStyle);

  bool done;
  if (EndsWithNoCase(entry, "EXE")) {
    done = RegisterProgram(entry);
  } else if (EndsWithNoCase(entry, "TLB")) {
    done = RegisterTypeLibrary(entry);
  } else if (Is32BitImage(entry)) {
    done = RegisterWithRegistrationProgram(entry);
  } else {
    done = RegisterThroughServerEntry(entry) == 0;
  }
  if (LogIsWritable()) LogText(std::string(done ? "Self-Register: " : "Could not Self-Register: ") + entry + "\r\n");
}

}  // namespace

void QueueSelfRegistration(const char* path) {
  if (g_run.registrationCount >= kRegistrationQueueCapacity || !LooksRegistrable(path)) return;
  char* entry = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kEntrySize));
  if (entry == nullptr) return;
  CopyText(entry, kEntrySize, path);
  ConvertPathForm(entry, false);
  g_run.registrationQueue[g_run.registrationCount++] = entry;
}

int RegisterThroughServerEntry(const char* path) {
  // The 16-bit name is gone from current systems; its 32-bit successor serves the same calls.
  HMODULE ole = LoadLibraryA("OLE2.DLL");
  if (ole == nullptr) ole = LoadLibraryA("OLE32.DLL");
  if (ole == nullptr) return 1;
  using InitializeFunction = HRESULT(WINAPI*)(void*);
  using UninitializeFunction = void(WINAPI*)();
  using RegisterFunction = HRESULT(WINAPI*)();
  auto initialize = reinterpret_cast<InitializeFunction>(GetProcAddress(ole, "OleInitialize"));
  auto uninitialize = reinterpret_cast<UninitializeFunction>(GetProcAddress(ole, "OleUninitialize"));
  int result = 1;
  // S_FALSE means the thread had OLE already: registering works the same, and the call
  // still has to be balanced.
  if (initialize != nullptr && SUCCEEDED(initialize(nullptr))) {
    HMODULE controls = LoadLibraryA("OC25.DLL");  // optional helper of older controls
    HMODULE component = LoadLibraryA(path);
    auto registerServer =
        component ? reinterpret_cast<RegisterFunction>(GetProcAddress(component, "DllRegisterServer")) : nullptr;
    if (registerServer != nullptr && registerServer() == S_OK) result = 0;
    if (component != nullptr) FreeLibrary(component);
    if (controls != nullptr) FreeLibrary(controls);
    if (uninitialize != nullptr) uninitialize();
  }
  FreeLibrary(ole);
  return result;
}

void RegisterQueuedFiles() {
  for (int i = 0; i < g_run.registrationCount; ++i) {
    char*& entry = g_run.registrationQueue[i];
    if (entry == nullptr) continue;
    RegisterOne(entry);
    HeapFree(GetProcessHeap(), 0, entry);
    entry = nullptr;
  }
  g_run.registrationCount = 0;
}

}  // namespace tarn
