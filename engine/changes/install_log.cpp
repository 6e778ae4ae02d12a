#include "engine/changes/install_log.h"

#include <windows.h>

#include <cstring>

#include "engine/actions/system_checks.h"
#include "engine/changes/file_system.h"
#include "engine/changes/log_format.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "engine/script/steps.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

bool IsTestRun() { return g_run.options.runMode == kRunTest; }

const char* HeaderString(size_t offset) { return reinterpret_cast<const char*>(g_run.script + offset); }

LocalTime ToLocalTime(const SYSTEMTIME& t) {
  return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// The record kind that the current script record may write.
bool CurrentOpcodeIs(std::initializer_list<uint8_t> opcodes) {
  if (g_run.current == nullptr) return false;
  for (uint8_t op : opcodes) {
    if (*g_run.current == op) return true;
  }
  return false;
}

std::string ExpandedPath(const char* text) {
  char out[256];
  ExpandPath(*g_run.variables, out, text);
  return out;
}

void FillInstallerDetails(LogHeaderFields& f) {
  HANDLE file = OpenFile(f.installerPath.c_str(), kOpenRead, false);
  if (file == INVALID_HANDLE_VALUE) return;
  FILETIME written, local;
  SYSTEMTIME time;
  if (GetFileTime(file, nullptr, nullptr, &written) && FileTimeToLocalFileTime(&written, &local) &&
      FileTimeToSystemTime(&local, &time)) {
    f.installerDetails = true;
    f.installerTime = ToLocalTime(time);
    f.installerSize = static_cast<long>(GetFileSize(file, nullptr));
  }
  CloseHandle(file);
}

}  // namespace

bool LogIsWritable() { return g_run.logFile != INVALID_HANDLE_VALUE && !g_run.logPaused; }

void LogRaw(const char* bytes, size_t length) {
  if (!LogIsWritable() || length == 0) return;
  WriteFileData(g_run.logFile, bytes, static_cast<uint32_t>(length));  // a failed write never stops a run
}

void LogText(const std::string& text) { LogRaw(text.data(), text.size()); }

void LogLine(const char* text) { LogText(std::string(text) + "\r\n"); }

bool OpenLog(const char* temporaryPath) {
  HANDLE file = OpenFile(temporaryPath, kOpenWrite, true);
  if (file == INVALID_HANDLE_VALUE) return false;
  g_run.logFile = file;
  const ScriptHeader& h = g_run.header;
  LogHeaderFields f;
  SYSTEMTIME now;
  GetLocalTime(&now);
  f.now = ToLocalTime(now);
  f.title = g_run.title;
  char installer[MAX_PATH] = "";
  GetModuleFileNameA(g_run.hostInstance, installer, sizeof installer);
  f.installerPath = installer;
  if (h.headerOptions & kOptionLogInstallerDetails) FillInstallerDetails(f);
  if (g_run.script != nullptr && h.firstRecord != 0) {
    f.uninstallStatusName = ExpandedPath(HeaderString(h.uninstallStatusName));
    f.manufacturer = HeaderString(h.manufacturer);
    f.product = HeaderString(h.product);
    f.productVersion = HeaderString(h.productVersion);
    f.serialNumber = HeaderString(h.serialNumber);
    f.userKeyName = HeaderString(h.userKeyName);
  }
  f.restorePoint = (h.headerOptions & kOptionRestorePoint) != 0;
  bool paused = g_run.logPaused;
  g_run.logPaused = false;
  LogText(LogHeader(f));
  g_run.logPaused = paused;
  return true;
}

void StartLog() {
  if (IsTestRun() || (g_run.header.headerFlags & kHeaderNoLog)) return;
  if (!MakeTemporaryFile("ZEG", g_run.temporaryLogPath, sizeof g_run.temporaryLogPath)) return;
  if (!OpenLog(g_run.temporaryLogPath)) {
    DeleteFileA(g_run.temporaryLogPath);
    g_run.temporaryLogPath[0] = '\0';
  }
}

// Close, in steps: the administrator line on the NT family; close the temporary log;
// append it to the expanded location unless that is empty, the run is a test run or the
// log is paused (cancelState and errorState saved and cleared around the copy); delete
// the temporary log.
void CloseLog() {
  if (g_run.logFile == INVALID_HANDLE_VALUE) return;
  if (g_run.platform.isWinNT && IsAdministrator()) LogText("User Rights: Admin\r\n");
  CloseHandle(g_run.logFile);
  g_run.logFile = INVALID_HANDLE_VALUE;
  std::string location = ExpandedPath(g_run.logPath);
  if (!location.empty() && !IsTestRun() && !g_run.logPaused) {
    HostRecord* host = g_run.host;
    uint32_t cancelState = host->cancelState;
    uint8_t errorState = host->errorState;
    host->cancelState = kCancelNone;
    host->errorState = kErrorNone;
    char source[256];
    CopyText(source, sizeof source, g_run.temporaryLogPath);
    CopyRequest copy;
    copy.source = source;
    copy.target = location.c_str();
    copy.append = true;
    CopyFileWithProgress(copy);
    host->cancelState = cancelState;
    host->errorState = errorState;
  }
  DeleteFileA(g_run.temporaryLogPath);
  g_run.temporaryLogPath[0] = '\0';
}

void WriteFileRecord(const FileRecordFields& fields) {
  if (!LogIsWritable() || !CurrentOpcodeIs({OP_INSTALL_FILE, OP_INSTALL_FILE_EX})) return;
  if (fields.backupPath != nullptr) {
    LogText(std::string("Backup Copy: ") + fields.backupPath + "\r\n");
    return;
  }
  if (fields.inUse) {
    LogText(std::string("In Use: ") + fields.destination + " Not Copied\r\n");
    return;
  }
  char longPath[256];
  CopyText(longPath, sizeof longPath, fields.destination);
  ConvertPathForm(longPath, true);
  std::string details;
  uint32_t options = g_run.header.headerOptions;
  bool checksumKnown = fields.checksum != 0;
  if ((options & kOptionLogFileDetails) || ((options & kOptionLogInstallerDetails) && checksumKnown)) {
    const char* described = fields.describedPath ? fields.describedPath : fields.destination;
    FileDetails d;
    HANDLE file = OpenFile(described, kOpenRead, false);
    if (file != INVALID_HANDLE_VALUE) {
      d.dateKnown = GetFileDosTime(file, &d.dosDate, &d.dosTime);
      CloseHandle(file);
    }
    char shortPath[MAX_PATH];
    if (GetShortPathNameA(described, shortPath, sizeof shortPath) == 0) CopyText(shortPath, sizeof shortPath, described);
    VersionRecord version;
    if (ReadVersionRecord(shortPath, &version) == 0) {
      d.versionKnown = true;
      d.versionMS = version.versionMS;
      d.versionLS = version.versionLS;
    }
    d.sizeAndChecksum = (options & kOptionLogInstallerDetails) && checksumKnown;
    d.size = fields.size;
    d.checksum = fields.checksum;
    details = FileRecordDetails(d);
  }
  LogText(FileRecord(fields.existed, longPath, details));
}

void WriteIniRecord(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value, const std::string* previous) {
  if (!CurrentOpcodeIs({OP_EDIT_INI_SECTION})) return;
  LogText(IniRecord(file, section, key, value, previous));
}

void WriteRegistryRecord(const std::string& key, const std::string& newValue, const std::string& oldValue,
                         bool oldPresent, const std::string& valueName, char previousType, uint8_t flagByte, int root) {
  if (!CurrentOpcodeIs({OP_EDIT_REGISTRY})) return;
  LogText(RegistryRecord(key, newValue, oldValue, oldPresent, valueName, previousType, flagByte, root));
}

void WriteProgramGroupRecord(const std::string& command) {
  if (!CurrentOpcodeIs({OP_PROGMAN_COMMAND})) return;
  LogText(ProgramGroupRecord(command));
}

void SetDefaultLogLocation(const char* destination) {
  if (g_run.logPath[0] != '\0') return;
  const char* file = FilePart(destination);
  std::string location(destination, static_cast<size_t>(file - destination));
  location += "INSTALL.LOG";
  CopyText(g_run.logPath, sizeof g_run.logPath, location.c_str());
}

int LogControlStep(const uint8_t* record) {
  uint8_t mode = record[1];
  if (mode == 0) {
    g_run.logPaused = false;
  } else if (mode == 1) {
    g_run.logPaused = true;
  } else {
    CloseLog();
    CopyText(g_run.logPath, sizeof g_run.logPath, ExpandedPath(reinterpret_cast<const char*>(record + 2)).c_str());
    g_run.logPaused = false;
    if (MakeTemporaryFile("ZEI", g_run.temporaryLogPath, sizeof g_run.temporaryLogPath) &&
        !OpenLog(g_run.temporaryLogPath)) {
      DeleteFileA(g_run.temporaryLogPath);
      g_run.temporaryLogPath[0] = '\0';
    }
  }
  return 0;
}

int AddLogTextStep(const uint8_t* record) {
  if (IsTestRun() || !LogIsWritable()) return 0;
  ExpandText(*g_run.variables, g_run.textBuffer, reinterpret_cast<const char*>(record + 1), kWorkBufferSize);
  LogRaw(g_run.textBuffer, std::strlen(g_run.textBuffer));
  return 0;
}

}  // namespace tarn
