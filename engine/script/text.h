// Text routines shared by the whole engine. Texts are zero-terminated ANSI strings in
// fixed buffers; every routine here steps over double-byte characters as units and
// never writes past the capacity it is given. No Windows header: the lead-byte test is
// a predicate that the Win32 edge installs at start-up (none = single-byte code page).
#pragma once
#include <cstddef>

namespace tarn {

using LeadBytePredicate = bool (*)(unsigned char);

// Installs the lead-byte test used by every scan below; nullptr restores single-byte text.
void SetLeadBytePredicate(LeadBytePredicate predicate);
bool IsLeadByte(unsigned char c);

// Number of bytes of the character at `p` (1, or 2 for a lead byte followed by a trail byte).
size_t CharLength(const char* p);

// First / last occurrence of `c` as a whole character, or nullptr.
const char* FindChar(const char* text, char c);
const char* FindLastChar(const char* text, char c);
// Start of the last character of `text`, or nullptr for an empty text.
const char* LastChar(const char* text);
// Position after the last backslash (or the text itself when it has none).
const char* FilePart(const char* text);
// Removes trailing characters that appear in `set`.
void CutTrailing(char* text, const char* set);

// Copies at most capacity - 1 bytes and terminates; never splits a double-byte character.
// Returns the number of bytes copied. capacity 0 writes nothing.
size_t CopyText(char* dst, size_t capacity, const char* src);
// Appends like CopyText; returns the new length.
size_t AppendText(char* dst, size_t capacity, const char* src);

// Copies `format` with its first "%s" replaced by `arg`; every other character, "%"
// included, is copied as it is (message texts come from scripts and are never used as a
// printf format). Cut at capacity - 1.
size_t FormatOneText(char* dst, size_t capacity, const char* format, const char* arg);

// ASCII case-insensitive comparison of the first n bytes (bytes above 0x7F compare exactly).
bool EqualNoCase(const char* a, const char* b, size_t n);
bool EqualNoCase(const char* a, const char* b);  // whole texts

}  // namespace tarn
