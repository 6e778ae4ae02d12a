#include "engine/entry/status_file.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "engine/changes/file_system.h"
#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

constexpr int kResultCompleted = -1;
constexpr const char kAbnormalEnd[] = "Installation terminated abnormally.";

using InstallStatusMifFunction = BOOL(WINAPI*)(const char* fileName, const char* manufacturer, const char* product,
                                               const char* version, const char* locale, const char* serial,
                                               const char* description, BOOL success);

const char* HeaderString(size_t offset) { return reinterpret_cast<const char*>(g_run.script + offset); }

void SetExpanded(const char* name, size_t headerOffset) {
  char value[256];
  ExpandPath(*g_run.variables, value, HeaderString(headerOffset));
  SetVariable(*g_run.variables, name, value);
}

void SetNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%02d %d:%02d:%02d", now.wMonth, now.wDay, now.wYear % 100, now.wHour,
                now.wMinute, now.wSecond);
  SetVariable(*g_run.variables, "5", text);
}

std::string Value(const char* name) {
  char value[256];
  GetVariable(*g_run.variables, name, value, sizeof value);
  return value;
}

// True when the system's status writer wrote the file.
bool WriteThroughSystem(const char* fileName, bool success) {
  HMODULE library = LoadLibraryA("ismif32.dll");
  if (library == nullptr) return false;
  auto write = reinterpret_cast<InstallStatusMifFunction>(GetProcAddress(library, "InstallStatusMIF"));
  bool written = write != nullptr && write(fileName, Value("1").c_str(), Value("2").c_str(), Value("3").c_str(),
                                           "ENU", Value("4").c_str(), Value("7").c_str(), success) != 0;
  FreeLibrary(library);
  return written;
}

}  // namespace

const char* FailureText() {
  if (g_run.errorText[0] != '\0') return g_run.errorText;
  uint8_t error = g_run.host->errorState;
  return Message(error == kErrorNone ? 1 : error == kErrorReported ? 2 : 7);
}

void WriteStatusFile(bool startingRun, int result) {
  if (g_run.variables == nullptr || g_run.textBuffer == nullptr || g_run.header.firstRecord == 0) return;
  char name[256];
  ExpandPath(*g_run.variables, name, HeaderString(g_run.header.statusFileName));
  if (name[0] == '\0') return;
  char path[256];
  GetVariable(*g_run.variables, "WIN", path, sizeof path);
  const char* last = LastChar(path);
  if (last == nullptr || *last != '\\') AppendText(path, sizeof path, "\\");
  AppendText(path, sizeof path, name);

  SetExpanded("1", g_run.header.manufacturer);
  SetExpanded("2", g_run.header.product);
  SetExpanded("3", g_run.header.productVersion);
  SetExpanded("4", g_run.header.serialNumber);
  SetNow();
  bool success = !startingRun && result == kResultCompleted;
  SetVariable(*g_run.variables, "6", success ? "Success" : "Failed");
  SetVariable(*g_run.variables, "7", success ? "" : startingRun ? kAbnormalEnd : FailureText());
  ExpandText(*g_run.variables, g_run.textBuffer, HeaderString(g_run.header.statusTemplate), kWorkBufferSize);

  if (WriteThroughSystem(name, success)) return;
  HANDLE file = OpenFile(path, kOpenWrite, true);
  if (file == INVALID_HANDLE_VALUE) return;  // a status file that cannot be made is left out
  WriteFileData(file, g_run.textBuffer, static_cast<uint32_t>(std::strlen(g_run.textBuffer)));
  CloseHandle(file);
}

}  // namespace tarn
