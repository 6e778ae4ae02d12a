// The engine's layer over the Windows file services: opening, finding, short and long
// path forms, directory chains, copies with progress and checksum, temporary names,
// version records, the version installer, wildcard deletes, searches and the line reader.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "engine/changes/version_rules.h"

namespace tarn {

enum OpenMode { kOpenRead = 0, kOpenWrite = 1, kOpenReadWrite = 2 };

// Read: shared for reading; write and read-write: not shared. `create`: create or
// truncate, else open an existing file only. INVALID_HANDLE_VALUE on failure.
HANDLE OpenFile(const char* path, OpenMode mode, bool create);
uint32_t ReadFileData(HANDLE file, void* buffer, uint32_t length);   // 0 on failure
uint32_t WriteFileData(HANDLE file, const void* buffer, uint32_t length);
uint32_t SeekFile(HANDLE file, int32_t distance, DWORD method);
// Last-write time as DOS date and time (local time).
bool GetFileDosTime(HANDLE file, uint16_t* dosDate, uint16_t* dosTime);
bool SetFileDosTime(HANDLE file, uint16_t dosDate, uint16_t dosTime);
bool IsMissing(const char* path);

struct FindRecord {
  char name[256];
  DWORD attributes;
  HANDLE handle;
  WIN32_FIND_DATAA data;
};
constexpr int kFindVolumeLabel = 8;
// 0 when found. Mode 8 reports the volume label of the pattern's root instead (no search
// handle stays open).
int FindFirst(const char* pattern, int mode, FindRecord* record);
int FindNext(FindRecord* record);
void FindClose(FindRecord* record);

// Rewrites `path` (a 256-byte buffer) in place in its short or long form. Directories it has
// converted are remembered until ForgetPathForms: the run forgets them before every step
// that is not a file installation, since any other step may rename or remove a directory.
void ConvertPathForm(char* path, bool longForm);
void ForgetPathForms();
// A file was put in place at `path`: what was remembered of it is dropped, and a file that
// did not exist before is remembered under the name it was given.
void NotePathPlaced(const char* path, bool createdAsGiven);

// Creates every missing directory of `path` up to its last backslash, logging each one.
void CreateDirectories(const char* path);

// Copies `source` to `target` (or, when target is null, into the backup directory under
// a free numbered name). See the .cpp for the steps. 0 done, 1 source or target failed,
// 2 target exists but could not be written.
struct CopyRequest {
  char* source;              // 256 bytes; receives the target path when returnName
  const char* target = nullptr;
  bool returnName = false;
  uint32_t credit = 0;       // progress credit for bytesDone and fileBytesDone
  bool append = false;
  uint32_t* checksum = nullptr;
  uint32_t* size = nullptr;
};
int CopyFileWithProgress(const CopyRequest& request);

// The path of the next free backup name for `source` in the backup directory.
void BackupPathFor(const char* source, char* out, size_t outSize);

// `out` = the directory of `path` + "~ZEH%04x.TMP" with the run's counter, a name that
// does not exist yet (the file is not created).
void TemporaryNameNextTo(const char* path, char* out, size_t outSize);
// Creates a new temporary file beside `path` for writing, never one that exists already;
// its name goes to `out` (the last name tried when it fails).
HANDLE CreateTemporaryNextTo(const char* path, char* out, size_t outSize);

// Makes a unique file in the system's temporary directory with the three-letter prefix
// ("ZEB" when prefix is null) and writes its path to `out`; the file exists afterwards.
// With `directoryOnly`, the file is deleted again and `out` is cut to the directory.
bool MakeTemporaryFile(const char* prefix, char* out, size_t outSize, bool directoryOnly = false);

bool Is32BitImage(const char* path);
// 0 when read; 1 when the file has no readable version information.
int ReadVersionRecord(const char* path, VersionRecord* record);
// Whether the new file (its record, or read from newPath when newRecord is null) is newer
// than the existing file.
bool IsNewerVersion(const VersionRecord* newRecord, const char* newPath, const char* existingPath,
                    bool numbersOnly);

// The system's version installer and finder.
DWORD VersionInstallFile(bool is32BitImage, DWORD flags, const char* sourceName, const char* destinationName,
                         const char* sourceDirectory, const char* destinationDirectory,
                         const char* currentDirectory, char* temporaryName, UINT temporaryNameSize);
DWORD VersionFindFile(const char* fileName, char* currentDirectory, UINT currentSize, char* destinationDirectory,
                      UINT destinationSize);

// Deletes (deleteMode) or re-attributes every entry matching the wildcard path.
void DeleteOrReattribute(const char* wildcardPath, uint32_t flags, bool deleteMode);

// Search options of the search action.
constexpr uint32_t kSearchAllMatches = 0x80;
constexpr uint32_t kSearchDirectories = 0x01;
struct SearchOptions {
  uint32_t options = 0;
  int depthLimit = 0;  // 0 = none
};
// Collects matches in the shared data buffer as paths separated by CR LF.
void SearchFiles(const char* patternDirectory, const char* name, bool recurse, int depth, const SearchOptions& options);
// The first directory of the search path that holds `name`; `out` empty when none does.
void SearchAlongPath(const char* name, const char* searchPath, char* out, size_t outSize);

// Reports message 0 with the path (which = 1) or message 26 with the long path (which =
// 0), with the system's text for the last error.
void ReportFileError(const char* path, int which);

// The line reader over the shared data buffer.
void RewindLines(HANDLE file);
bool NextLine(char* out, size_t capacity, HANDLE file);

}  // namespace tarn

// Exported as "FileWrite": (handle, buffer, length) -> bytes written, 0 on failure.
extern "C" DWORD __stdcall FileWrite(HANDLE file, const void* buffer, DWORD length);
