// Rules about file names and paths that need no file system: numbered backup names, the
// short form of a volume label, temporary names, the directories never emptied
// recursively, and the line reader over a refillable buffer.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarn {

// `path` with its extension (from the last "." after the last backslash) replaced by
// ".%03d" of n, or with ".%03d" appended when it has none.
std::string NumberedName(const std::string& path, int n);

// A label longer than 8 characters gets a "." after its eighth character.
std::string VolumeLabelAsShortName(const std::string& label);

// "~ZEH%04x.TMP" of the run's 16-bit counter.
std::string TemporaryFileName(uint16_t counter);

// True when `directory` (with its final backslash) is the beginning of systemDir + "\" or
// windowsDir + "\": those and every directory above them are never emptied recursively.
bool IsSystemOrAbove(const std::string& directory, const std::string& systemDir, const std::string& windowsDir);

// Reads lines from a file through a buffer that a refill function fills. A CR ends a line
// (stored as "\n"); LF characters are skipped wherever they are; at most capacity - 2
// characters are kept and the rest of a long line is read and dropped.
struct LineBuffer {
  char* data = nullptr;
  size_t size = 0;
  size_t fill = 0;
  size_t pos = 0;
};
// Fills `buffer` with up to `size` bytes; returns the number read (0 at the end).
using LineRefill = size_t (*)(void* context, char* buffer, size_t size);
// Returns whether more remains: the line is not empty or unread data is left.
bool NextLine(LineBuffer& lines, char* out, size_t capacity, LineRefill refill, void* context);

}  // namespace tarn
