#include "engine/entry/archive_read.h"

#include "engine/changes/file_system.h"
#include "engine/entry/run_state.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {
constexpr UINT kRunErrorMode = SEM_NOOPENFILEERRORBOX;
constexpr int kMessageReadError = 37;
constexpr int kMessageQuestionTitle = 18;
constexpr int kStyleRetryQuestion = 0x43;
constexpr int kAnswerRetry = 3;
}  // namespace

void SeekArchive() {
  HostRecord* host = g_run.host;
  HANDLE file = static_cast<HANDLE>(host->archiveHandle);
  int64_t target = static_cast<int64_t>(host->archivePosition) - static_cast<int64_t>(host->diskBase);
  LARGE_INTEGER size{};
  if (target >= 0 && GetFileSizeEx(file, &size) && target < size.QuadPart) {
    LARGE_INTEGER to;
    to.QuadPart = target;
    SetFilePointerEx(file, to, nullptr, FILE_BEGIN);
  } else {
    LARGE_INTEGER zero{};
    SetFilePointerEx(file, zero, nullptr, FILE_END);
  }
}

void ReadEntry(HANDLE input, HANDLE output, uint32_t packedSize, uint32_t* checksum) {
  HostRecord* host = g_run.host;
  uint32_t position = host->archivePosition;
  for (;;) {
    SetErrorMode(0);
    host->decompress(input, output, packedSize, checksum);
    SetErrorMode(kRunErrorMode);
    if (host->errorState != kErrorArchiveRead) return;

    bool retry = false;
    if (g_run.messageTable == nullptr) {
      ReportError("Internal Error");
    } else if (ShowMessage(Message(kMessageReadError), Message(kMessageQuestionTitle),
                           kStyleRetryQuestion) == kAnswerRetry) {
      host->cancelState = kCancelNone;
      host->errorState = kErrorNone;
      host->archivePosition = position;
      SeekArchive();
      retry = true;
    }
    if (output != nullptr) {
      // What was written so far is thrown away: the output starts again from its beginning.
      if (g_run.hostFlags & kHostBytesProgress) {
        LARGE_INTEGER written{};
        if (GetFileSizeEx(output, &written)) host->bytesDone -= static_cast<uint32_t>(written.QuadPart);
      }
      LARGE_INTEGER zero{};
      SetFilePointerEx(output, zero, nullptr, FILE_BEGIN);
    }
    if (!retry) return;
  }
}

bool ExtractAuxEntry(int index, const char* prefix) {
  char* path = g_run.auxPath[index - 4];
  HANDLE file = INVALID_HANDLE_VALUE;
  if (MakeTemporaryFile(prefix, path, sizeof g_run.auxPath[0])) {
    file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) {
    ReportError("Internal Error");
    return false;
  }
  ReadEntry(static_cast<HANDLE>(g_run.host->archiveHandle), file, g_run.host->packedSize[index - 4], nullptr);
  CloseHandle(file);
  return true;
}

}  // namespace tarn
