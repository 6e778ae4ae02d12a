#include "engine/entry/command_line.h"

#include <cstring>

#include "engine/script/text.h"

namespace tarn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Copies [begin, end) into a 256-byte buffer, cut when longer.
void CopyRange(char (&dst)[256], const char* begin, const char* end) {
  size_t n = static_cast<size_t>(end - begin);
  if (n > sizeof dst - 1) n = sizeof dst - 1;
  std::memcpy(dst, begin, n);
  dst[n] = '\0';
}

// "/M=" name: quoted up to the closing quote, else up to the first blank. Returns the
// position after what it consumed.
const char* TakeAnswerFile(const char* p, const char* hostModulePath, CommandLineOptions* out) {
  const char* begin;
  const char* end;
  const char* after;
  if (*p == '"') {
    begin = p + 1;
    const char* quote = std::strchr(begin, '"');
    end = quote ? quote : begin + std::strlen(begin);
    after = quote ? quote + 1 : end;
  } else {
    begin = p;
    end = p;
    while (*end != '\0' && !IsBlank(*end)) ++end;
    after = end;
  }
  char name[256];
  CopyRange(name, begin, end);
  if (FindChar(name, '\\') == nullptr) {
    // A bare name lives in the host program's directory.
    char path[256];
    CopyText(path, sizeof path, hostModulePath);
    char* file = const_cast<char*>(FilePart(path));
    *file = '\0';
    AppendText(path, sizeof path, name);
    CopyText(out->answerFile, sizeof out->answerFile, path);
  } else {
    CopyText(out->answerFile, sizeof out->answerFile, name);
  }
  return after;
}

}  // namespace

void ParseCommandLine(const char* commandLine, const char* hostModulePath, CommandLineOptions* out) {
  const char* p = commandLine;
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p != '/') return;
    char option = Upper(p[1]);
    if (option == '\0') return;  // a trailing "/"
    switch (option) {
      case 'T':
        out->runMode = kRunTest;
        p += 2;
        break;
      case 'X':
      case 'Z':
        out->runMode = option == 'X' ? kRunExtract : kRunExtractExitZero;
        out->extractArgument = static_cast<long>((p + 2) - commandLine);
        return;  // everything after it is its argument
      case 'M': {
        char next = p[2];
        if (next == '\0') return;  // "/M" at the very end
        if (next == '=') {
          p = TakeAnswerFile(p + 3, hostModulePath, out);
        } else if (next == '2') {
          // "/M2", one separating character, then the service name up to a blank.
          const char* begin = p[3] != '\0' ? p + 4 : p + 3;
          const char* end = begin;
          while (*end != '\0' && !IsBlank(*end)) ++end;
          CopyRange(out->ddeServiceName, begin, end);
          out->startPaused = true;
          p = end;
        } else if (next == '4') {
          p += 2;  // nothing: the scan stops at the "4"
        } else {
          out->runMode = kRunDirectoryOverride;
          out->announceRegistration = next == '1';
          p += 3;
        }
        break;
      }
      default:
        p += 2;  // unknown option: ignored
        break;
    }
  }
}

}  // namespace tarn
