// Saves what the screen shows as a PNG file, for a person to look at after a test.
#pragma once
#include <string>

namespace tarn::reminder::test {

// Writes the whole screen to `path`; returns false when capturing or writing fails.
bool SaveScreen(const std::wstring& path);

}  // namespace tarn::reminder::test
