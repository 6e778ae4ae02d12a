// The install-file step. One file goes through numbered stages: decide whether it is
// wanted at all, obtain its data into a temporary file beside the destination, put it in
// place (directly or through the system's version installer), then count, queue and log
// it. The destination is never written in place: the temporary file is renamed over it.
#include "engine/changes/install_file.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "engine/actions/download.h"
#include "engine/changes/file_system.h"
#include "engine/changes/install_log.h"
#include "engine/changes/restart_replace.h"
#include "engine/changes/self_register.h"
#include "engine/entry/archive_read.h"
#include "engine/entry/run_state.h"
#include "engine/script/script_format.h"
#include "engine/script/script_reader.h"
#include "engine/script/steps.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"
#include "engine/ui/progress.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr int kMessageCannotCreate = 0;
constexpr int kMessageInstalling = 3;
constexpr int kMessageNoDescription = 4;
constexpr int kMessageDownloading = 13;
constexpr int kMessageSkipping = 14;
constexpr int kMessageAbortTitle = 17;
constexpr int kMessageInUse = 22;
constexpr int kMessageCannotOpen = 26;
constexpr int kMessageTransforming = 42;
constexpr int kMessageWrongPiece = 43;
constexpr int kStyleInUse = 65;
constexpr const char* kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

using TransformFunction = int(__stdcall*)(const char* input, const char* argument, const char* output,
                                          char** messages, char* errorText);

bool IsTestRun() { return g_run.options.runMode == kRunTest; }
VariableStore& Vars() { return *g_run.variables; }
HostRecord& Host() { return *g_run.host; }

void SetResult(const char* value) { SetVariable(Vars(), "INSTALL_RESULT", value); }

std::string Expanded(const char* text) {
  char out[256];
  ExpandPath(Vars(), out, text);
  return out;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  return EqualNoCase(text, prefix, std::strlen(prefix));
}

// Reports message n with `path`, plus the system's text for the last error.
int ReportWithPath(int n, const char* path, bool systemError) {
  char text[1024];
  FormatOneText(text, sizeof text, Message(n), path);
  if (systemError) {
    ReportSystemError(text, GetLastError());
  } else {
    ReportError(text);
  }
  return -2;
}

// The running checksum of a file through the host's function, over the shared buffer.
uint32_t ChecksumOfFile(const char* path) {
  HANDLE file = OpenFile(path, kOpenRead, false);
  uint32_t sum = Host().checksum(nullptr, 0);
  if (file == INVALID_HANDLE_VALUE) return sum;
  uint32_t n;
  while ((n = ReadFileData(file, g_run.dataBuffer, static_cast<uint32_t>(kWorkBufferSize))) > 0) {
    sum = Host().checksum(g_run.dataBuffer, n);
  }
  CloseHandle(file);
  return sum;
}

uint32_t FileSizeOf(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExA(path, GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
}

VersionRecord RecordVersion(const InstallRecord& r) {
  VersionRecord v;
  v.versionMS = r.versionMS;
  v.versionLS = r.versionLS;
  v.fileOS = r.fileOS;
  v.fileType = r.fileType;
  v.fileSubtype = r.fileSubtype;
  return v;
}

// The date rule: true when the new file may replace the destination. A refusal is logged
// as a skipped file.
bool DateCheckAllows(const InstallRecord& r, const char* destination, const char* externalSource, bool downloadFile) {
  HANDLE existing = OpenFile(destination, kOpenRead, false);
  if (existing == INVALID_HANDLE_VALUE) return true;
  uint16_t oldDate = 0, oldTime = 0;
  bool known = GetFileDosTime(existing, &oldDate, &oldTime);
  CloseHandle(existing);
  if (!known) return true;
  uint16_t newDate = r.fileDate, newTime = r.fileTime;
  if ((r.flags & kExternalSource) && !downloadFile) {
    HANDLE source = OpenFile(externalSource, kOpenRead, false);
    if (source == INVALID_HANDLE_VALUE) return true;
    bool ok = GetFileDosTime(source, &newDate, &newTime);
    CloseHandle(source);
    if (!ok) return true;
  } else if (downloadFile && r.fileDate == 0) {
    return true;
  }
  if (DateAllowsCopy(oldDate, oldTime, newDate, newTime, r.flags)) return true;
  if (LogIsWritable()) {
    LogText("Date/Time: Following file not copied.\r\n");
    bool sharedCounted = (r.flags & kSharedFile) && g_run.platform.isShell4;
    if (!sharedCounted) LogText(std::string(" File Copy: ") + destination + "\r\n");
  }
  return false;
}

// On the NT family: whether the process may change the destination's attributes. A
// destination that does not exist has nothing to refuse.
bool AccessDenied(const char* destination, bool exists) {
  if (!g_run.platform.isWinNT || !exists) return false;
  SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD needed = 0;
  auto* descriptor = reinterpret_cast<PSECURITY_DESCRIPTOR>(g_run.dataBuffer);
  if (!GetFileSecurityA(destination, what, descriptor, static_cast<DWORD>(kWorkBufferSize), &needed)) return false;
  if (!ImpersonateSelf(SecurityIdentification)) return false;
  bool denied = false;
  HANDLE token = nullptr;
  if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
    GENERIC_MAPPING mapping{};
    PRIVILEGE_SET privileges{};
    DWORD privilegesLength = sizeof privileges;
    DWORD granted = 0;
    BOOL status = FALSE;
    if (AccessCheck(descriptor, token, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, &mapping, &privileges,
                    &privilegesLength, &granted, &status)) {
      denied = !status;
    }
    CloseHandle(token);
  }
  RevertToSelf();
  return denied;
}

uint32_t ReadSharedCount(const char* path) {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  uint32_t count = 0;
  DWORD type = 0, size = sizeof count;
  if (RegQueryValueExA(key, path, nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) != ERROR_SUCCESS ||
      size != 4 || (type != REG_DWORD && type != REG_BINARY)) {
    count = 0;
  }
  RegCloseKey(key);
  return count;
}

void UpdateSharedCounter(const char* destination, bool existed, bool shared) {
  if (IsTestRun()) return;
  char path[256];
  CopyText(path, sizeof path, destination);
  ConvertPathForm(path, true);
  SharedCounterAction action = SharedCounterFor(shared, existed, ReadSharedCount(path));
  if (action.logIgnored) LogLine("Shared DLL counter ignored:");
  if (!action.write) return;
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  DWORD value = action.value;
  RegSetValueExA(key, path, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
}

// The text the progress display shows for this file.
std::string StatusText(const InstallRecord& r, const char* destination, bool skip, bool downloadFile) {
  std::string text = Message(skip ? kMessageSkipping : downloadFile ? kMessageDownloading : kMessageInstalling);
  const char* description = SelectLanguageStrings(r.descriptions, 1);
  std::string shown = description[0] ? Expanded(description) : Message(kMessageNoDescription);
  char path[256];
  CopyText(path, sizeof path, destination);
  if (!ProgressPluginLoaded() && ProgressWindowOpen()) FitPathToStatus(path, sizeof path);
  return text + shown + ":\n" + path;
}

void ShowFileProgress(const InstallRecord& r, const std::string& status) {
  bool quiet = (r.flags & kNoProgress) || Host().silent;
  if (!ProgressPluginLoaded()) {
    if (ProgressWindowOpen()) {
      RedrawProgressWindow();
    } else if (!quiet) {
      OpenProgressWindow();
    }
  }
  if (!quiet) ShowStatus(status.c_str());
}

struct FileState {
  InstallRecord record;
  char destination[256] = {};
  uint32_t size = 0;
  bool numericCheck = false;
  bool backups = false;
  bool downloadFile = false;
  bool skip = false;
  bool existedBefore = false;  // noted before the decision; the log record's value
  char temporary[256] = {};
  bool temporaryCreated = false;
  uint32_t checksum = 0;
  BranchResult branch;
};

// The direct branch: back up, fill an external file, rename the temporary file over the
// destination, and when it stays in use schedule it for the next start.
int DirectBranch(FileState& f) {
  const InstallRecord& r = f.record;
  BranchResult& b = f.branch;
  CopyText(b.destination, sizeof b.destination, f.destination);
  b.existed = f.existedBefore;  // nothing has touched the destination since it was looked at
  if (IsTestRun() && !(r.flags & kNoLog)) {
    DeleteFileA(f.temporary);
    return 0;
  }
  if (f.backups && !(r.flags & kNoLog) && b.existed) {
    CopyText(b.backupPath, sizeof b.backupPath, f.destination);
    CopyRequest backup;
    backup.source = b.backupPath;
    backup.returnName = true;
    backup.checksum = &b.backupChecksum;
    backup.size = &b.backupSize;
    if (CopyFileWithProgress(backup) != 0 || Host().cancelState || Host().errorState) b.backupPath[0] = '\0';
  }
  if (r.flags & kExternalSource) {
    char copyPath[256];
    TemporaryNameNextTo(f.destination, copyPath, sizeof copyPath);
    if (f.downloadFile) {
      if (Download(f.temporary, copyPath, f.size, f.size, r.fileDate, r.fileTime) != 0 && !Host().cancelState &&
          !Host().errorState) {
        DeleteFileA(copyPath);
        return ReportWithPath(kMessageCannotOpen, f.temporary, false);
      }
    } else {
      char source[256];
      CopyText(source, sizeof source, f.temporary);
      CopyRequest copy;
      copy.source = source;
      copy.target = copyPath;
      copy.credit = f.size;
      copy.checksum = &f.checksum;
      uint32_t copied = 0;
      copy.size = &copied;
      int result = CopyFileWithProgress(copy);
      if (result != 0) {
        char shown[256];
        bool sourceFailed = result == 1 && IsMissing(copyPath);
        CopyText(shown, sizeof shown, sourceFailed ? f.temporary : f.destination);
        ConvertPathForm(shown, true);
        return ReportWithPath(kMessageCannotOpen, shown, false);
      }
    }
    CopyText(f.temporary, sizeof f.temporary, copyPath);
    if (Host().cancelState || Host().errorState) {
      DeleteFileA(f.temporary);
      return 0;
    }
  }
  bool inUse;
  do {
    if (b.existed) SetFileAttributesA(f.destination, FILE_ATTRIBUTE_NORMAL);
    inUse = !MoveFileExA(f.temporary, f.destination, MOVEFILE_REPLACE_EXISTING);
    if (inUse && CopyFileA(f.temporary, f.destination, FALSE)) {
      DeleteFileA(f.temporary);
      inUse = false;
    }
  } while (InUsePromptRetry(f.destination, inUse));
  if (!inUse) {
    NotePathPlaced(f.destination, !b.existed);
    return 0;
  }
  int scheduled = RequestRestartReplacement(false, false, f.temporary, f.destination);
  if (scheduled < 0) return scheduled;
  if (scheduled == 0) DeleteFileA(f.temporary);
  b.temporaryStays = scheduled == 1;
  CopyText(b.inUseName, sizeof b.inUseName, f.temporary);
  SetResult("I");
  return 0;
}

// Stages 13 and 14: the data into the temporary file, then the transform.
int ObtainData(FileState& f, const std::string& status) {
  const InstallRecord& r = f.record;
  HostRecord& host = Host();
  bool external = (r.flags & kExternalSource) != 0;
  HANDLE input = static_cast<HANDLE>(host.archiveHandle);
  HANDLE piece = INVALID_HANDLE_VALUE;
  uint32_t length = r.dataEnd - r.dataStart;
  if (!external && f.downloadFile) {
    // Pieces of a download live elsewhere; without the download routine they cannot be had.
    std::string url = Expanded((std::string(g_run.downloadLocation) + PieceSuffix(r.dataStart & 0x3FFF)).c_str());
    char local[256];
    if (!MakeTemporaryFile("ZEL", local, sizeof local) ||
        Download(url.c_str(), local, r.dataEnd, f.size, r.fileDate, r.fileTime) != 0) {
      if (local[0]) DeleteFileA(local);
      if (host.cancelState || host.errorState) return 0;
      return ReportWithPath(kMessageCannotOpen, url.c_str(), false);
    }
    piece = OpenFile(local, kOpenRead, false);
    uint8_t id[4] = {};
    if (piece == INVALID_HANDLE_VALUE || ReadFileData(piece, id, 4) != 4 ||
        ReadU32(id) != g_run.header.downloadId) {
      if (piece != INVALID_HANDLE_VALUE) CloseHandle(piece);
      DeleteFileA(local);
      ReportMessageError(kMessageWrongPiece);
      return -2;
    }
    SeekFile(piece, static_cast<int32_t>(r.dataStart >> 14), FILE_BEGIN);
    input = piece;
    length = r.dataEnd;
  }
  uint32_t startOfFile = host.bytesDone;
  host.fileBytesDone = 0;
  if (!external) {
    HANDLE out = f.temporary[0] != '\0' ? OpenFile(f.temporary, kOpenWrite, true)
                                         : CreateTemporaryNextTo(f.destination, f.temporary, sizeof f.temporary);
    if (out == INVALID_HANDLE_VALUE) {
      if (piece != INVALID_HANDLE_VALUE) CloseHandle(piece);
      return ReportWithPath(kMessageCannotCreate, f.destination, true);
    }
    f.temporaryCreated = true;
    if (piece == INVALID_HANDLE_VALUE) {
      host.archivePosition = g_run.archiveDataBase + r.dataStart;
      SeekArchive();
    }
    uint32_t savedFlags = host.hostFlags;
    uint32_t savedCopy = g_run.hostFlags;
    if ((r.flags2 & kLocalDataUncounted) || f.downloadFile) {
      host.hostFlags &= ~kHostBytesProgress;
      g_run.hostFlags &= ~kHostBytesProgress;
    }
    f.checksum = r.dataChecksum;
    ReadEntry(input, out, length, &f.checksum);
    host.hostFlags = savedFlags;
    g_run.hostFlags = savedCopy;
    SetFileDosTime(out, r.fileDate, r.fileTime);
    CloseHandle(out);
    if (piece != INVALID_HANDLE_VALUE) CloseHandle(piece);
    if (host.cancelState || host.errorState) {
      DeleteFileA(f.temporary);
      return 1;  // stop quietly: the interpreter ends the run
    }
  }
  bool quiet = (r.flags & kNoProgress) || host.silent;
  if (!quiet) {
    if (r.transformArg[0] != '\0') {
      std::string after = status.substr(std::strlen(Message(kMessageInstalling)));
      ShowStatus((std::string(Message(kMessageTransforming)) + after).c_str());
      if ((g_run.hostFlags & kHostBytesProgress) && !(r.flags2 & kLocalDataUncounted) && !f.downloadFile) {
        host.bytesDone = startOfFile + f.size;
      }
    }
    if (!ProgressPluginLoaded()) RedrawProgressWindow();
  }
  if (r.transformArg[0] != '\0') {
    char errorText[256] = "";
    std::string argument = Expanded(r.transformArg);
    auto transform = reinterpret_cast<TransformFunction>(g_run.transformFunction);
    if (transform == nullptr ||
        transform(f.temporary, argument.c_str(), f.temporary, g_run.messageTable, errorText) != 0) {
      DeleteFileA(f.temporary);
      errorText[sizeof errorText - 1] = '\0';
      ReportError(errorText[0] ? errorText : "Internal Error");
      return -2;
    }
  }
  return 0;
}

int InstallOne(const InstallRecord& r) {
  FileState f;
  f.record = r;
  HostRecord& host = Host();
  bool external = (r.flags & kExternalSource) != 0;
  bool downloadMode = (g_run.hostFlags & kHostDownloadMode) != 0;

  // 1, 2: the version rule, the result, backups, the destination and the size
  if ((r.flags & kCheckVersion) && !external && !downloadMode) {
    char rule[8];
    GetVariable(Vars(), "VER_CHECK_TYPE", rule, sizeof rule);
    f.numericCheck = rule[0] == '1';
  }
  SetResult("");
  char backupDir[8];
  GetVariable(Vars(), "BACKUPDIR", backupDir, sizeof backupDir);
  f.backups = backupDir[0] != '\0';
  CopyText(f.destination, sizeof f.destination, Expanded(r.destination).c_str());
  f.size = r.fileSize;
  char sizeOverride[64];
  GetVariable(Vars(), "TARNCURFILEBAR", sizeOverride, sizeof sizeOverride);
  if (sizeOverride[0] != '\0') f.size = static_cast<uint32_t>(ParseDecimal(sizeOverride));

  // 3: a download file already present unchanged, or not older, is not fetched again
  VersionRecord ours = RecordVersion(r);
  if (downloadMode && !(r.flags2 & (kLocalData | kLocalDataUncounted)) && !external) {
    f.downloadFile = true;
    if (r.dataChecksum != 0 && !IsMissing(f.destination) && FileSizeOf(f.destination) == f.size &&
        ChecksumOfFile(f.destination) == r.dataChecksum) {
      f.skip = true;
    }
    if ((r.flags & kCheckVersion) && r.versionMS != 0 && !IsNewerVersion(&ours, nullptr, f.destination, false)) {
      f.skip = true;
    }
  }
  // 4, 5: existence, the numeric version rule, install-only-when-missing
  f.existedBefore = !IsMissing(f.destination);
  if (f.numericCheck && r.versionMS != 0 && !IsNewerVersion(&ours, nullptr, f.destination, true)) f.skip = true;
  if ((r.flags & kDateRuleMask) == kDateOnlyIfMissing && f.existedBefore) {
    SetResult("E");
    f.skip = true;
  }
  // 6: the destination's directories
  if (!IsTestRun()) CreateDirectories(f.destination);
  // 7: the temporary file
  std::string externalSource;
  if (IsTestRun() && !(r.flags & kNoLog)) {
    f.temporaryCreated = MakeTemporaryFile("ZED", f.temporary, sizeof f.temporary);
  } else if (external) {
    externalSource = Expanded(r.source);
    CopyText(f.temporary, sizeof f.temporary, externalSource.c_str());
    if (StartsWithNoCase(f.temporary, "ftp://") || StartsWithNoCase(f.temporary, "http://")) {
      f.downloadFile = true;
    } else {
      ConvertPathForm(f.temporary, false);
    }
  } else if (IsTestRun()) {
    f.temporaryCreated = MakeTemporaryFile("ZED", f.temporary, sizeof f.temporary);
  }  // otherwise the data stage creates the temporary file beside the destination
  // 8: the date rule
  uint8_t dateRule = r.flags & kDateRuleMask;
  if ((dateRule == kDateSkipIfNewer || dateRule == kDateSkipIfNewerOrSame) &&
      !DateCheckAllows(r, f.destination, f.temporary, f.downloadFile)) {
    SetResult("D");
    f.skip = true;
  }
  // 9: progress
  std::string status = StatusText(r, f.destination, f.skip, f.downloadFile);
  ShowFileProgress(r, status);
  // 10: a skipped file
  bool shell4 = g_run.platform.isShell4;
  if (f.skip) {
    if (f.temporaryCreated) DeleteFileA(f.temporary);
    if ((r.flags & kSharedFile) && shell4) {
      if (!(r.flags & kNoLog)) {
        FileRecordFields fields;
        fields.destination = f.destination;
        fields.existed = f.existedBefore;
        fields.checksum = r.dataChecksum;
        fields.size = static_cast<long>(f.size);
        WriteFileRecord(fields);
      }
      UpdateSharedCounter(f.destination, true, true);
    }
    if ((r.flags2 & kSelfRegister) && !IsTestRun()) QueueSelfRegistration(f.destination);
    if (g_run.hostFlags & kHostBytesProgress) host.bytesDone += f.size;
    return 0;
  }
  // 11: may the destination be changed at all
  if (AccessDenied(f.destination, f.existedBefore)) return ReportWithPath(kMessageCannotCreate, f.destination, true);
  // 12: the first logged file names the log
  if (!IsTestRun() && !(r.flags & kNoLog) && !(g_run.header.headerFlags & kHeaderNoLog)) {
    SetDefaultLogLocation(f.destination);
  }
  // 13, 14: data and transform
  int obtained = ObtainData(f, status);
  if (obtained < 0) return obtained;
  if (obtained > 0) return 0;
  // 15 - 17: the branch
  int branched;
  if (!IsTestRun() && (r.flags & kCheckVersion) && !f.numericCheck) {
    CopyText(f.branch.destination, sizeof f.branch.destination, f.destination);
    branched = RunVersionInstallerBranch(r, f.temporary, f.backups, &f.branch);
  } else {
    branched = DirectBranch(f);
  }
  if (branched < 0) return branched;
  if (host.cancelState || host.errorState) return 0;
  // 18: completion
  BranchResult& b = f.branch;
  if ((r.flags & kCheckVersion) && external) host.bytesDone += f.size;
  if (shell4) UpdateSharedCounter(b.destination, b.existed, (r.flags & kSharedFile) != 0);
  if (b.logDisabled) LogRaw(" ", 1);
  if ((r.flags2 & kSelfRegister) && !IsTestRun()) QueueSelfRegistration(b.destination);
  if (r.flags & kNoLog) return 0;
  FileRecordFields fields;
  fields.destination = b.destination;
  fields.describedPath = b.inUseName[0] ? b.inUseName : nullptr;
  fields.inUse = g_run.fileLeftInUse;
  fields.existed = f.existedBefore;
  fields.checksum = external ? r.dataChecksum : f.checksum;
  fields.size = static_cast<long>(f.size);
  WriteFileRecord(fields);
  if (b.backupPath[0] != '\0') {
    uint32_t installedChecksum = external ? f.checksum : r.dataChecksum;
    if (f.size == b.backupSize && installedChecksum == b.backupChecksum) {
      DeleteFileA(b.backupPath);
    } else {
      FileRecordFields backup;
      backup.destination = b.destination;
      backup.backupPath = b.backupPath;
      WriteFileRecord(backup);
    }
  }
  return 0;
}

// Every file under `directory` matching `pattern`, installed to the record's destination
// followed by the file's path below the wildcard's base directory.
int InstallWildcardLevel(const InstallRecord& r, const std::string& directory, const std::string& pattern,
                         size_t baseLength) {
  HostRecord& host = Host();
  bool matched = false, installed = false, walked = false;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((directory + pattern).c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (host.cancelState || host.errorState) break;
      matched = true;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
      std::string full = directory + data.cFileName;
      std::string destination = std::string(r.destination) + full.substr(baseLength);
      InstallRecord file = r;
      file.flags2 &= static_cast<uint8_t>(~kWildcard);
      file.destination = destination.c_str();
      file.transformArg = "";
      file.source = full.c_str();
      file.flags |= kExternalSource;  // the data is the matched file itself, never archive data
      int result = InstallOne(file);
      installed = true;
      if (result != 0) {
        ::FindClose(find);
        return result;
      }
    } while (FindNextFileA(find, &data));
    ::FindClose(find);
  }
  if (r.flags2 & kRecurse) {
    find = FindFirstFileA((directory + "*.*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.cFileName[0] == '.') continue;
        walked = true;
        int result = InstallWildcardLevel(r, directory + data.cFileName + "\\", pattern, baseLength);
        if (result != 0) {
          ::FindClose(find);
          return result;
        }
      } while (FindNextFileA(find, &data));
      ::FindClose(find);
    }
  }
  if (matched && !installed && !walked && !IsTestRun()) {
    // An empty source directory matched by "*.*": its destination directory is made.
    std::string destination = Expanded(r.destination) + directory.substr(baseLength);
    if (destination.empty() || destination.back() != '\\') destination += '\\';
    CreateDirectories(destination.c_str());
  }
  return 0;
}

}  // namespace

bool InUsePromptRetry(const char* path, bool failed) {
  if (!failed || Host().cancelState != kCancelNone || (g_run.hostFlags & kHostRestartReplaceAllowed)) return false;
  char text[1024];
  FormatOneText(text, sizeof text, Message(kMessageInUse), path);
  int answer = ShowMessage(text, Message(kMessageAbortTitle), kStyleInUse);
  if (answer == 3) return true;
  if (answer == 1) {
    Host().cancelState = kCancelUser;
    CopyText(g_run.errorText, sizeof g_run.errorText, text);
  } else {
    g_run.fileLeftInUse = true;
  }
  return false;
}

int InstallFileStep(const uint8_t* record) {
  InstallRecord r = ReadInstallRecord(record, g_run.header.languageCount);
  if (!(r.flags2 & kWildcard)) return InstallOne(r);
  std::string source = Expanded(r.source);
  const char* slash = FindLastChar(source.c_str(), '\\');
  size_t baseLength = slash ? static_cast<size_t>(slash - source.c_str()) : 0;
  std::string directory = source.substr(0, baseLength + (slash ? 1 : 0));
  std::string pattern = source.substr(directory.size());
  return InstallWildcardLevel(r, directory, pattern, baseLength);
}

}  // namespace tarn
