#include "engine/changes/file_system.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_map>

#include "engine/changes/install_log.h"
#include "engine/changes/path_rules.h"
#include "engine/entry/run_state.h"
#include "engine/script/steps.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

constexpr uint32_t kChunk = 61440;
constexpr size_t kSearchLimit = 0xEF00;

bool IsTestRun() { return g_run.options.runMode == kRunTest; }

std::string DirectoryOf(const char* path) {
  const char* file = FilePart(path);
  return std::string(path, static_cast<size_t>(file - path));
}

std::string Expanded(const char* text) {
  char out[256];
  ExpandPath(*g_run.variables, out, text);
  return out;
}

std::string Variable(const char* name) {
  char out[256];
  GetVariable(*g_run.variables, name, out, sizeof out);
  return out;
}

// Keeps the run's shared data buffer usable even when start-up could not make one.
char* DataBuffer() {
  static char fallback[kChunk];
  return g_run.dataBuffer ? g_run.dataBuffer : fallback;
}

}  // namespace

HANDLE OpenFile(const char* path, OpenMode mode, bool create) {
  DWORD access = mode == kOpenRead ? GENERIC_READ : mode == kOpenWrite ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE;
  DWORD share = mode == kOpenRead ? FILE_SHARE_READ : 0;
  return CreateFileA(path, access, share, nullptr, create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

uint32_t ReadFileData(HANDLE file, void* buffer, uint32_t length) {
  DWORD got = 0;
  return ReadFile(file, buffer, length, &got, nullptr) ? got : 0;
}

uint32_t WriteFileData(HANDLE file, const void* buffer, uint32_t length) {
  DWORD written = 0;
  return WriteFile(file, buffer, length, &written, nullptr) ? written : 0;
}

uint32_t SeekFile(HANDLE file, int32_t distance, DWORD method) { return SetFilePointer(file, distance, nullptr, method); }

bool GetFileDosTime(HANDLE file, uint16_t* dosDate, uint16_t* dosTime) {
  FILETIME written, local;
  WORD date, time;
  if (!GetFileTime(file, nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return false;
  }
  *dosDate = date;
  *dosTime = time;
  return true;
}

bool SetFileDosTime(HANDLE file, uint16_t dosDate, uint16_t dosTime) {
  FILETIME local, written;
  return DosDateTimeToFileTime(dosDate, dosTime, &local) && LocalFileTimeToFileTime(&local, &written) &&
         SetFileTime(file, nullptr, nullptr, &written);
}

bool IsMissing(const char* path) { return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES; }

int FindFirst(const char* pattern, int mode, FindRecord* record) {
  record->handle = INVALID_HANDLE_VALUE;
  record->name[0] = '\0';
  if (mode == kFindVolumeLabel) {
    // The root: "\\server\share\" for a network path, else up to the first backslash.
    std::string root;
    const char* slash = nullptr;
    if (pattern[0] == '\\' && pattern[1] == '\\') {
      const char* share = FindChar(pattern + 2, '\\');
      slash = share ? FindChar(share + 1, '\\') : nullptr;
    } else {
      slash = FindChar(pattern, '\\');
    }
    root = slash ? std::string(pattern, static_cast<size_t>(slash - pattern) + 1) : std::string(pattern) + "\\";
    char label[32] = "";
    if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
      label[0] = '\0';
    }
    CopyText(record->name, sizeof record->name, VolumeLabelAsShortName(label).c_str());
    record->attributes = FILE_ATTRIBUTE_NORMAL;
    return 0;
  }
  record->handle = FindFirstFileA(pattern, &record->data);
  if (record->handle == INVALID_HANDLE_VALUE) return 1;
  CopyText(record->name, sizeof record->name, record->data.cFileName);
  record->attributes = record->data.dwFileAttributes;
  return 0;
}

int FindNext(FindRecord* record) {
  if (record->handle == INVALID_HANDLE_VALUE || !FindNextFileA(record->handle, &record->data)) return 1;
  CopyText(record->name, sizeof record->name, record->data.cFileName);
  record->attributes = record->data.dwFileAttributes;
  return 0;
}

void FindClose(FindRecord* record) {
  if (record->handle != INVALID_HANDLE_VALUE) ::FindClose(record->handle);
  record->handle = INVALID_HANDLE_VALUE;
}

namespace {

constexpr size_t kPathFormCacheLimit = 512;

// ASCII letters in upper case; the second byte of a double-byte character stays as it is.
std::string UpperAscii(const std::string& text) {
  std::string upper = text;
  for (size_t i = 0; i < upper.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(upper[i]))) {
      ++i;
    } else if (upper[i] >= 'a' && upper[i] <= 'z') {
      upper[i] = static_cast<char>(upper[i] - 32);
    }
  }
  return upper;
}

void RememberPathForm(std::unordered_map<std::string, std::string>& known, const std::string& key,
                      const std::string& converted) {
  if (known.size() >= kPathFormCacheLimit) known.clear();
  known[key] = converted;
}

}  // namespace

void ForgetPathForms() {
  g_run.pathForms[0].clear();
  g_run.pathForms[1].clear();
}

void NotePathPlaced(const char* path, bool createdAsGiven) {
  std::string key = UpperAscii(path);
  g_run.pathForms[0].erase(key);
  g_run.pathForms[1].erase(key);
  const char* last = nullptr;
  for (const char* next = FindChar(path, '\\'); next != nullptr; next = FindChar(next + 1, '\\')) last = next;
  size_t length = std::strlen(path);
  // A new entry carries the name it was given, unless the system trims a trailing dot or
  // space from it.
  if (!createdAsGiven || last == nullptr || last[1] == '\0' || path[length - 1] == '.' || path[length - 1] == ' ' ||
      length >= 256) {
    return;
  }
  char directory[256];
  CopyText(directory, sizeof directory, std::string(path, last).c_str());
  ConvertPathForm(directory, true);
  RememberPathForm(g_run.pathForms[1], key, std::string(directory) + last);
}

void ConvertPathForm(char* path, bool longForm) {
  size_t length = std::strlen(path);
  if (length == 2 && path[1] == ':') return;  // a bare drive
  std::string input = path;
  if (FindChar(path, '\\') == nullptr) {
    char current[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof current, current);
    OemToCharA(current, current);
    input = current;
    if (input.empty() || input.back() != '\\') input += '\\';
    input += path;
  }
  if (input.size() >= 2 && input[1] == ':' && ((input[0] >= 'a' && input[0] <= 'z'))) input[0] = static_cast<char>(input[0] - 32);

  // The first component stays: "X:" or "\\server\share".
  size_t pos;
  if (input.size() >= 2 && input[0] == '\\' && input[1] == '\\') {
    const char* share = FindChar(input.c_str() + 2, '\\');
    const char* end = share ? FindChar(share + 1, '\\') : nullptr;
    pos = end ? static_cast<size_t>(end - input.c_str()) : input.size();
  } else {
    const char* first = FindChar(input.c_str(), '\\');
    pos = first ? static_cast<size_t>(first - input.c_str()) : input.size();
  }
  std::string result = input.substr(0, pos);

  // The directory part may be known already; then only the last component is looked up.
  std::unordered_map<std::string, std::string>& known = g_run.pathForms[longForm ? 1 : 0];
  size_t lastSlash = pos;
  for (const char* next = FindChar(input.c_str() + pos, '\\'); next != nullptr; next = FindChar(next + 1, '\\')) {
    lastSlash = static_cast<size_t>(next - input.c_str());
  }
  std::string wholeKey = UpperAscii(input);
  auto whole = known.find(wholeKey);
  if (whole != known.end()) {
    CopyText(path, 256, whole->second.c_str());
    return;
  }
  std::string directoryKey = lastSlash > pos ? UpperAscii(input.substr(0, lastSlash)) : std::string();
  if (!directoryKey.empty()) {
    auto hit = known.find(directoryKey);
    if (hit != known.end()) {
      result = hit->second;
      pos = lastSlash;
    }
  }

  // Every further component is looked up on disk and replaced by its short or long name.
  // Only what was found is remembered, and nothing with a wildcard in it: the names kept are
  // the ones the disk gave.
  bool remember = input.find_first_of("*?") == std::string::npos;
  bool allFound = true;
  while (pos < input.size()) {
    size_t start = pos + 1;  // after the backslash
    const char* next = FindChar(input.c_str() + start, '\\');
    size_t end = next ? static_cast<size_t>(next - input.c_str()) : input.size();
    std::string component = input.substr(start, end - start);
    std::string lookup = input.substr(0, end);
    WIN32_FIND_DATAA data;
    HANDLE found = component.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA(lookup.c_str(), &data);
    result += '\\';
    if (found != INVALID_HANDLE_VALUE) {
      ::FindClose(found);
      result += (!longForm && data.cAlternateFileName[0] != '\0') ? data.cAlternateFileName : data.cFileName;
    } else {
      result += component;
      allFound = false;
    }
    if (remember && allFound && end == lastSlash && !directoryKey.empty()) RememberPathForm(known, directoryKey, result);
    pos = end;
  }
  if (remember && allFound && lastSlash < input.size()) RememberPathForm(known, wholeKey, result);
  CopyText(path, 256, result.c_str());
}

void CreateDirectories(const char* path) {
  std::string text = path;
  const char* first = FindChar(text.c_str(), '\\');
  if (first == nullptr) return;
  for (const char* p = first; p != nullptr; p = FindChar(p + 1, '\\')) {
    std::string directory = text.substr(0, static_cast<size_t>(p - text.c_str()));
    if (directory.empty() || (directory.size() == 2 && directory[1] == ':')) continue;
    if (directory.back() == '\\') continue;  // the "\\" of a network path
    if (CreateDirectoryA(directory.c_str(), nullptr) && LogIsWritable()) {
      LogText("Made Dir: " + directory + "\r\n");
    }
  }
}

void BackupPathFor(const char* source, char* out, size_t outSize) {
  std::string target = Variable("BACKUPDIR");
  if (!target.empty() && target.back() != '\\') target += '\\';
  target += FilePart(source);
  if (!IsMissing(target.c_str())) {
    std::string numbered;
    for (int n = 1; n <= 999; ++n) {
      numbered = NumberedName(target, n);
      if (IsMissing(numbered.c_str())) break;
    }
    target = numbered;  // the name with 999 is used even when it exists
  }
  CopyText(out, outSize, target.c_str());
}

// Copy, in steps:
//  1. reset fileBytesDone, the checksum and the size;
//  2. open the source (failure: 1);
//  3. the target, or the next free numbered name in the backup directory;
//  4. create the target's directories, hand back its name when asked, clear its attributes;
//  5. append to it or create it (failure: 2 when it exists, else 1);
//  6. copy in chunks until the end or a cancel or error, counting size, checksum and
//     progress credit; a short write sets errorState 1;
//  7. give the target the source's date and time; a cancelled or failed copy is deleted.
int CopyFileWithProgress(const CopyRequest& request) {
  HostRecord* host = g_run.host;
  host->fileBytesDone = 0;
  if (request.checksum) *request.checksum = host->checksum(nullptr, 0);
  if (request.size) *request.size = 0;

  HANDLE source = OpenFile(request.source, kOpenRead, false);
  if (source == INVALID_HANDLE_VALUE) return 1;

  char target[256];
  if (request.target != nullptr) {
    CopyText(target, sizeof target, request.target);
  } else {
    BackupPathFor(request.source, target, sizeof target);
  }
  CreateDirectories(target);
  if (request.returnName) CopyText(request.source, 256, target);
  SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);

  HANDLE out = INVALID_HANDLE_VALUE;
  if (request.append) {
    out = OpenFile(target, kOpenWrite, false);
    if (out != INVALID_HANDLE_VALUE) SeekFile(out, 0, FILE_END);
  }
  if (out == INVALID_HANDLE_VALUE) out = OpenFile(target, kOpenWrite, true);
  if (out == INVALID_HANDLE_VALUE) {
    CloseHandle(source);
    return IsMissing(target) ? 1 : 2;
  }

  char* buffer = DataBuffer();
  uint32_t credit = request.credit;
  for (;;) {
    if (host->cancelState != kCancelNone || host->errorState != kErrorNone) break;
    uint32_t n = ReadFileData(source, buffer, kChunk);
    if (n == 0) break;
    if (request.size) *request.size += n;
    if (request.checksum) *request.checksum = host->checksum(buffer, n);
    if (credit > 0) {
      uint32_t part = n < credit ? n : credit;
      host->bytesDone += part;
      host->fileBytesDone += part;
      credit -= part;
    }
    if (WriteFileData(out, buffer, n) != n) host->errorState = kErrorReported;
  }
  host->bytesDone += credit;

  uint16_t date, time;
  if (GetFileDosTime(source, &date, &time)) SetFileDosTime(out, date, time);
  CloseHandle(source);
  CloseHandle(out);
  if (host->cancelState != kCancelNone || host->errorState != kErrorNone) DeleteFileA(target);
  return 0;
}

void TemporaryNameNextTo(const char* path, char* out, size_t outSize) {
  std::string directory = DirectoryOf(path);
  for (;;) {
    std::string candidate = directory + TemporaryFileName(g_run.temporaryNameCounter++);
    if (IsMissing(candidate.c_str())) {
      CopyText(out, outSize, candidate.c_str());
      return;
    }
  }
}

HANDLE CreateTemporaryNextTo(const char* path, char* out, size_t outSize) {
  std::string directory(path, static_cast<size_t>(FilePart(path) - path));
  std::string candidate;
  for (unsigned tries = 0; tries <= 0xFFFF; ++tries) {
    candidate = directory + TemporaryFileName(g_run.temporaryNameCounter++);
    HANDLE file = CreateFileA(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CopyText(out, outSize, candidate.c_str());
      return file;
    }
    DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  CopyText(out, outSize, candidate.c_str());
  return INVALID_HANDLE_VALUE;
}

bool MakeTemporaryFile(const char* prefix, char* out, size_t outSize, bool directoryOnly) {
  char directory[MAX_PATH];
  DWORD n = GetTempPathA(sizeof directory, directory);
  if (n == 0 || n >= sizeof directory) return false;
  char path[MAX_PATH];
  if (GetTempFileNameA(directory, prefix ? prefix : "ZEB", 0, path) == 0) return false;
  if (directoryOnly) {
    DeleteFileA(path);
    *const_cast<char*>(FilePart(path)) = '\0';
  }
  CopyText(out, outSize, path);
  return true;
}

bool Is32BitImage(const char* path) {
  HANDLE file = OpenFile(path, kOpenRead, false);
  if (file == INVALID_HANDLE_VALUE) return false;
  uint8_t header[64];
  bool image = false;
  if (ReadFileData(file, header, sizeof header) == sizeof header && header[0] == 'M' && header[1] == 'Z') {
    uint32_t offset = header[60] | (header[61] << 8) | (header[62] << 16) | (static_cast<uint32_t>(header[63]) << 24);
    char signature[2];
    if (SeekFile(file, static_cast<int32_t>(offset), FILE_BEGIN) == offset &&
        ReadFileData(file, signature, 2) == 2) {
      image = (signature[0] == 'P' && signature[1] == 'E') || (signature[0] == 'L' && signature[1] == 'E');
    }
  }
  CloseHandle(file);
  return image;
}

int ReadVersionRecord(const char* path, VersionRecord* record) {
  bool image = Is32BitImage(path);
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &handle);
  if (image && (size < 1 || size > kChunk - 1)) return 1;
  if (size == 0) return 1;
  if (size > kChunk) size = kChunk;
  char* buffer = DataBuffer();
  if (!GetFileVersionInfoA(path, 0, size, buffer)) return 1;
  char root[] = "\\";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  if (!VerQueryValueA(buffer, root, reinterpret_cast<void**>(&fixed), &fixedLength) || fixed == nullptr ||
      fixedLength < sizeof(VS_FIXEDFILEINFO)) {
    return 1;
  }
  record->versionMS = fixed->dwFileVersionMS;
  record->versionLS = fixed->dwFileVersionLS;
  record->fileOS = fixed->dwFileOS;
  record->fileType = fixed->dwFileType;
  record->fileSubtype = fixed->dwFileSubtype;
  record->translation = 0x04E40409;
  char translationBlock[] = "\\VarFileInfo\\Translation";
  WORD* translation = nullptr;
  UINT translationLength = 0;
  if (VerQueryValueA(buffer, translationBlock, reinterpret_cast<void**>(&translation), &translationLength) &&
      translation != nullptr && translationLength >= 4) {
    record->translation = translation[0] | (static_cast<uint32_t>(translation[1]) << 16);
  }
  record->is32BitImage = image ? 1 : 0;
  return 0;
}

bool IsNewerVersion(const VersionRecord* newRecord, const char* newPath, const char* existingPath, bool numbersOnly) {
  VersionRecord existing{}, fromFile{};
  if (ReadVersionRecord(existingPath, &existing) != 0) return true;
  const VersionRecord* incoming = newRecord;
  if (incoming == nullptr) {
    if (newPath == nullptr || ReadVersionRecord(newPath, &fromFile) != 0) return true;
    incoming = &fromFile;
  }
  return IsNewerRecord(*incoming, existing, numbersOnly, newRecord == nullptr);
}

namespace {
// The system's installer takes writable texts: every argument is copied first.
struct Writable {
  explicit Writable(const char* text) { CopyText(buffer, sizeof buffer, text ? text : ""); }
  char buffer[MAX_PATH];
};

DWORD CallVerInstallFile(DWORD flags, const char* sourceName, const char* destinationName, const char* sourceDirectory,
                         const char* destinationDirectory, const char* currentDirectory, char* temporaryName,
                         UINT temporaryNameSize) {
  ForgetPathForms();  // the version installer renames files in ways not seen here
  Writable source(sourceName), destination(destinationName), sourceDir(sourceDirectory),
      destinationDir(destinationDirectory), current(currentDirectory);
  UINT size = temporaryNameSize;  // a copy: the caller's size is never changed
  return VerInstallFileA(flags, source.buffer, destination.buffer, sourceDir.buffer, destinationDir.buffer,
                         current.buffer, temporaryName, &size);
}
}  // namespace

DWORD VersionInstallFile(bool is32BitImage, DWORD flags, const char* sourceName, const char* destinationName,
                         const char* sourceDirectory, const char* destinationDirectory,
                         const char* currentDirectory, char* temporaryName, UINT temporaryNameSize) {
  if (is32BitImage) {
    std::string destinationDir = destinationDirectory;
    if (!destinationDir.empty() && destinationDir.back() != '\\') destinationDir += '\\';
    std::string destination = destinationDir + destinationName;
    if (!IsMissing(destination.c_str())) {
      char shortPath[MAX_PATH];
      if (GetShortPathNameA(destination.c_str(), shortPath, sizeof shortPath) == 0) {
        CopyText(shortPath, sizeof shortPath, destination.c_str());
      }
      return CallVerInstallFile(flags, sourceName, FilePart(shortPath), sourceDirectory, destinationDirectory,
                                currentDirectory, temporaryName, temporaryNameSize);
    }
    char temporary[256];
    TemporaryNameNextTo(destination.c_str(), temporary, sizeof temporary);
    DWORD result = CallVerInstallFile(flags, sourceName, FilePart(temporary), sourceDirectory, destinationDirectory,
                                      currentDirectory, temporaryName, temporaryNameSize);
    if (!MoveFileA(temporary, destination.c_str())) result |= VIF_FILEINUSE;
    return result;
  }
  char source[256], destination[256], current[256];
  CopyText(source, sizeof source, sourceDirectory);
  CopyText(destination, sizeof destination, destinationDirectory);
  CopyText(current, sizeof current, currentDirectory);
  ConvertPathForm(source, false);
  ConvertPathForm(destination, false);
  ConvertPathForm(current, false);
  return CallVerInstallFile(flags, sourceName, destinationName, source, destination, current, temporaryName,
                            temporaryNameSize);
}

DWORD VersionFindFile(const char* fileName, char* currentDirectory, UINT currentSize, char* destinationDirectory,
                      UINT destinationSize) {
  Writable name(fileName);
  return VerFindFileA(0, name.buffer, nullptr, nullptr, currentDirectory, &currentSize, destinationDirectory,
                      &destinationSize);
}

void DeleteOrReattribute(const char* wildcardPath, uint32_t flags, bool deleteMode) {
  std::string directory = DirectoryOf(wildcardPath);
  std::string pattern = FilePart(wildcardPath);
  bool backups = !Variable("BACKUPDIR").empty();
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(wildcardPath, &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string path = directory + data.cFileName;
      bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (deleteMode) {
        if (isDirectory) continue;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (backups) {
          char source[256];
          CopyText(source, sizeof source, path.c_str());
          CopyRequest copy;
          copy.source = source;
          CopyFileWithProgress(copy);
        }
        DeleteFileA(path.c_str());
      } else {
        if (data.cFileName[0] == '.') continue;
        DWORD attributes = 0;
        if (flags & 0x01) attributes |= FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY;
        if (flags & 0x02) attributes |= FILE_ATTRIBUTE_HIDDEN;
        if (flags & 0x04) attributes |= FILE_ATTRIBUTE_SYSTEM;
        if (flags & 0x10) attributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE);
        if (isDirectory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
        SetFileAttributesA(path.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL);
      }
    } while (FindNextFileA(find, &data));
    ::FindClose(find);
  }
  if (!(flags & 0x08)) return;
  find = FindFirstFileA((directory + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.cFileName[0] == '.') continue;
    std::string subdirectory = directory + data.cFileName;
    DeleteOrReattribute((subdirectory + "\\" + pattern).c_str(), flags, deleteMode);
    if (deleteMode && (flags & 0x04)) RemoveDirectoryA(subdirectory.c_str());
  } while (FindNextFileA(find, &data));
  ::FindClose(find);
}

void SearchFiles(const char* patternDirectory, const char* name, bool recurse, int depth, const SearchOptions& options) {
  char* results = DataBuffer();
  bool all = (options.options & kSearchAllMatches) != 0;
  if (!all && results[0] != '\0') return;
  std::string base = patternDirectory;
  if (base.size() >= 3 && base.compare(base.size() - 3, 3, "*.*") == 0) base.resize(base.size() - 3);
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((base + name).c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      size_t used = std::strlen(results);
      if (used >= kSearchLimit) break;
      std::string match = (options.options & kSearchDirectories) ? base.substr(0, base.size() - 1) : base + data.cFileName;
      if (used > 0) AppendText(results, kChunk, "\r\n");
      AppendText(results, kChunk, match.c_str());
    } while (all && FindNextFileA(find, &data));
    ::FindClose(find);
  }
  if (!recurse) return;
  ++depth;
  if (options.depthLimit != 0 && depth >= options.depthLimit) return;
  find = FindFirstFileA((base + "*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.cFileName[0] == '.') continue;
    SearchFiles((base + data.cFileName + "\\*.*").c_str(), name, true, depth, options);
  } while (FindNextFileA(find, &data));
  ::FindClose(find);
}

void SearchAlongPath(const char* name, const char* searchPath, char* out, size_t outSize) {
  out[0] = '\0';
  std::string list = searchPath ? searchPath : "";
  if (list.empty()) {
    char environment[4096] = "";
    GetEnvironmentVariableA("PATH", environment, sizeof environment);
    list = environment;
  }
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    std::string directory = list.substr(start, end - start);
    start = end + 1;
    size_t first = directory.find_first_not_of(' ');
    directory = first == std::string::npos ? "" : directory.substr(first);
    while (!directory.empty() && directory.back() == ' ') directory.pop_back();
    if (!directory.empty() && directory.back() == '\\') directory.pop_back();
    if (directory.empty()) continue;
    std::string candidate = directory + "\\" + name;
    if (!IsMissing(candidate.c_str())) {
      CopyText(out, outSize, candidate.c_str());
      return;
    }
  }
}

void ReportFileError(const char* path, int which) {
  DWORD error = GetLastError();
  char shown[256];
  CopyText(shown, sizeof shown, path);
  if (which == 0) ConvertPathForm(shown, true);
  char text[1024];
  FormatOneText(text, sizeof text, Message(which == 1 ? 0 : 26), shown);
  ReportSystemError(text, error);
}

void RewindLines(HANDLE file) {
  SeekFile(file, 0, FILE_BEGIN);
  g_run.lines = LineBuffer{DataBuffer(), kChunk, 0, 0};
}

bool NextLine(char* out, size_t capacity, HANDLE file) {
  if (g_run.lines.data == nullptr) g_run.lines = LineBuffer{DataBuffer(), kChunk, 0, 0};
  auto refill = [](void* context, char* buffer, size_t size) -> size_t {
    return ReadFileData(static_cast<HANDLE>(context), buffer, static_cast<uint32_t>(size));
  };
  return NextLine(g_run.lines, out, capacity, refill, file);
}

int DeleteFilesStep(const uint8_t* record) {
  uint8_t flags = record[1];
  if (IsTestRun() && !(flags & 0x01)) return 0;
  std::string path = Expanded(reinterpret_cast<const char*>(record + 2));
  std::string directory = DirectoryOf(path.c_str());
  if ((flags & 0x08) && IsSystemOrAbove(directory, Variable("SYS"), Variable("WIN"))) return 0;
  DeleteOrReattribute(path.c_str(), flags, true);
  if ((flags & 0x04) && directory.size() > 1) {
    RemoveDirectoryA(directory.substr(0, directory.size() - 1).c_str());
  }
  return 0;
}

int CreateDirectoryStep(const uint8_t* record) {
  if (IsTestRun()) return 0;
  CreateDirectories(Expanded(reinterpret_cast<const char*>(record + 1)).c_str());
  return 0;
}

int GetTempFileNameStep(const uint8_t* record) {
  const char* variable = reinterpret_cast<const char*>(record + 1);
  char path[256];
  if (!MakeTemporaryFile("ZEF", path, sizeof path)) return 0;
  SetVariable(*g_run.variables, variable, FilePart(path));
  // The list ends at its first empty entry, so its last slot always stays empty.
  for (int i = 0; i < kTemporaryNameSlots - 1; ++i) {
    if (g_run.temporaryNames[i] == nullptr) {
      size_t length = std::strlen(path) + 1;
      g_run.temporaryNames[i] = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, length));
      if (g_run.temporaryNames[i] != nullptr) std::memcpy(g_run.temporaryNames[i], path, length);
      break;
    }
  }
  return 0;
}

int RenameFileStep(const uint8_t* record) {
  if (IsTestRun()) return 0;
  const char* fromText = reinterpret_cast<const char*>(record + 1);
  const char* toText = fromText + std::strlen(fromText) + 1;
  std::string from = Expanded(fromText);
  std::string directory = DirectoryOf(from.c_str());
  std::string to = directory + Expanded(toText);
  char previous[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof previous, previous);
  char root[MAX_PATH];
  CopyText(root, sizeof root, previous);
  if (root[0] != '\0' && root[1] == ':') root[2] = '\\', root[3] = '\0';
  SetCurrentDirectoryA(root);
  MoveFileA(from.c_str(), to.c_str());
  SetCurrentDirectoryA(previous);
  return 0;
}

}  // namespace tarn

extern "C" DWORD __stdcall FileWrite(HANDLE file, const void* buffer, DWORD length) {
  return tarn::WriteFileData(file, buffer, length);
}
