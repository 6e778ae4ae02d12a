// Installing through the system's version installer: it decides where a shared component
// belongs, whether the new file is newer and whether the old one may be replaced; this
// branch adapts its answers (shared locations, backups, files in use, restart
// replacement, log lines).
#include <windows.h>

#include <cstring>
#include <string>

#include "engine/changes/file_system.h"
#include "engine/changes/install_file.h"
#include "engine/changes/install_log.h"
#include "engine/changes/restart_replace.h"
#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/script/variables.h"

namespace tarn {
namespace {

std::string VariableValue(const char* name) {
  char out[256];
  GetVariable(*g_run.variables, name, out, sizeof out);
  return out;
}

bool SameDirectory(const std::string& a, const std::string& b) { return EqualNoCase(a.c_str(), b.c_str()); }

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string ShortForm(const std::string& path) {
  char buffer[256];
  CopyText(buffer, sizeof buffer, path.c_str());
  ConvertPathForm(buffer, false);
  return buffer;
}

bool IsExistingDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

int RunVersionInstallerBranch(const InstallRecord& r, const char* temporaryPath, bool backups, BranchResult* b) {
  bool external = (r.flags & kExternalSource) != 0;
  // 1: directory and name; a shared location is the Windows or the system directory
  std::string destination = b->destination;
  const char* name = FilePart(destination.c_str());
  std::string fileName = name;
  std::string directory = WithoutTrailingSlash(destination.substr(0, static_cast<size_t>(name - destination.c_str())));
  std::string windows = VariableValue("WIN");
  std::string system = VariableValue("SYS");
  bool shared = SameDirectory(directory, windows) || SameDirectory(directory, system);

  // 2: ask the system where the file belongs
  bool image = Is32BitImage(temporaryPath);
  char currentDir[260] = "", recommendedDir[260] = "";
  UINT currentSize = sizeof currentDir, recommendedSize = sizeof recommendedDir;
  {
    char fileNameBuffer[256], directoryBuffer[260];
    CopyText(fileNameBuffer, sizeof fileNameBuffer, fileName.c_str());
    CopyText(directoryBuffer, sizeof directoryBuffer, directory.c_str());
    VerFindFileA(shared ? VFFF_ISSHAREDFILE : 0, fileNameBuffer, directoryBuffer, directoryBuffer, currentDir,
                 &currentSize, recommendedDir, &recommendedSize);
  }
  std::string current = WithoutTrailingSlash(currentDir);
  std::string recommended = WithoutTrailingSlash(recommendedDir);

  // 3, 4: adapt the answer
  if (shared) {
    if (SameDirectory(current, directory) && external) current.clear();
    if (g_run.platform.isWinNT && !image && SameDirectory(recommended, system) && SameDirectory(current, system)) {
      current.clear();
    }
    if (SameDirectory(recommended, windows)) {
      std::string parent = system.substr(0, system.rfind('\\'));
      shared = SameDirectory(parent, windows);
    }
  } else {
    recommended = current = ShortForm(directory);
  }
  if (r.flags2 & kPrivateLocation) shared = false;
  if (recommended.empty()) recommended = directory;

  // 5: the destination in the recommended directory; the current copy; the backup
  destination = recommended + "\\" + fileName;
  CopyText(b->destination, sizeof b->destination, destination.c_str());
  std::string currentCopy = current.empty() ? destination : current + "\\" + fileName;
  SetFileAttributesA(currentCopy.c_str(), FILE_ATTRIBUTE_NORMAL);
  bool backupMade = false;
  if (backups && !(r.flags & kNoLog) && !IsMissing(currentCopy.c_str())) {
    CopyText(b->backupPath, sizeof b->backupPath, currentCopy.c_str());
    CopyRequest backup;
    backup.source = b->backupPath;
    backup.returnName = true;
    backup.checksum = &b->backupChecksum;
    backup.size = &b->backupSize;
    backupMade = CopyFileWithProgress(backup) == 0;
    if (!backupMade) b->backupPath[0] = '\0';
  }

  // 6: the source directory
  std::string sourceDir(temporaryPath, static_cast<size_t>(FilePart(temporaryPath) - temporaryPath));
  if (sourceDir.size() > 3 && sourceDir.back() == '\\') sourceDir.pop_back();
  if (sourceDir.size() == 2 && sourceDir[1] == ':') sourceDir += '\\';
  b->existed = !IsMissing(destination.c_str());

  // 7: the install loop
  DWORD flags = shared ? 0 : VIFF_DONTDELETEOLD;
  std::string currentForCall = current.empty() ? recommended : current;
  DWORD result;
  do {
    char leftOver[260] = "";
    result = VersionInstallFile(image, flags, FilePart(temporaryPath), fileName.c_str(), sourceDir.c_str(),
                                recommended.c_str(), currentForCall.c_str(), leftOver, sizeof leftOver);
    if ((result & VIF_TEMPFILE) && leftOver[0]) DeleteFileA((recommended + "\\" + leftOver).c_str());
    if ((result & VIF_DIFFLANG) && !(result & (VIF_SRCOLD | VIF_FILEINUSE))) {
      leftOver[0] = '\0';
      result = VersionInstallFile(image, flags | VIFF_FORCEINSTALL, FilePart(temporaryPath), fileName.c_str(),
                                  sourceDir.c_str(), recommended.c_str(), currentForCall.c_str(), leftOver,
                                  sizeof leftOver);
      if ((result & VIF_TEMPFILE) && leftOver[0]) DeleteFileA((recommended + "\\" + leftOver).c_str());
    }
    if ((result & VIF_ACCESSVIOLATION) && !IsMissing(destination.c_str()) && !IsExistingDirectory(destination)) {
      result |= VIF_FILEINUSE;
    }
  } while (InUsePromptRetry(destination.c_str(), (result & VIF_FILEINUSE) != 0));

  // 8: anything but a left temporary file means the file was not installed at once
  if (result & ~static_cast<DWORD>(VIF_TEMPFILE)) {
    if (result & VIF_FILEINUSE) {
      int scheduled = RequestRestartReplacement(true, external, temporaryPath, destination.c_str());
      if (scheduled < 0) return scheduled;
      b->temporaryStays = scheduled == 1;
      CopyText(b->inUseName, sizeof b->inUseName, temporaryPath);
      SetVariable(*g_run.variables, "INSTALL_RESULT", "I");
    } else {
      SetVariable(*g_run.variables, "INSTALL_RESULT", "V");
      if (LogIsWritable()) {
        LogText("Version: Following file not copied.\r\n");
        bool sharedCounted = (r.flags & kSharedFile) && g_run.platform.isShell4;
        if (!sharedCounted) b->logDisabled = true;
      }
    }
    if (backupMade) DeleteFileA(b->backupPath);
    b->backupPath[0] = '\0';
  }
  // 9: the temporary file is done with, unless it waits for the restart
  if (!external && !b->temporaryStays) DeleteFileA(temporaryPath);
  return 0;
}

}  // namespace tarn
