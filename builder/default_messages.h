#pragma once
#include <array>
#include <string>

namespace tarn {
// The builder's English message table: the 54 texts a script gets unless it overrides them.
const std::array<std::string, 54>& DefaultEnglishMessages();
}  // namespace tarn
