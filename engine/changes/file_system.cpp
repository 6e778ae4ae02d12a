#include "engine/changes/file_system.h"

#include <windows.h>

#include "engine/script/text.h"

namespace tarn {

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

}  // namespace tarn
