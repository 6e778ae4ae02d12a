// Texts of a reminder: reading the interval the user typed, the balloon text that states
// it, and cutting texts to the lengths the notification area accepts. No Windows header,
// so that the rules are tested natively as well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::reminder {

// The timer period is the interval times 1000 ms and must stay a positive signed 32-bit
// number of milliseconds.
constexpr int32_t kMaxIntervalSeconds = 2147483;

// The interval in whole seconds: optional leading blanks, an optional sign, decimal digits
// and nothing after them. Anything else, and any value outside 1..kMaxIntervalSeconds,
// gives no value.
std::optional<int32_t> ParseInterval(std::u16string_view text);

// `value` in the general decimal form: at most 15 significant digits, no trailing zeros,
// `decimalSeparator` in place of the point, and an exponent ("1.5E20", "1E-5") only for
// very large or very small values.
std::u16string FormatGeneral(double value, std::u16string_view decimalSeparator);

// "您已在电脑前工作了" + the interval + unit + "," + message: under a minute the interval
// is the text as typed with "秒钟了", otherwise seconds / 60 in the general form with
// "分钟了".
std::u16string BalloonText(std::u16string_view intervalText, int32_t seconds,
                           std::u16string_view message, std::u16string_view decimalSeparator);

// At most `maxUnits` UTF-16 units of `text`, never ending in the first half of a
// surrogate pair.
std::u16string CutText(std::u16string_view text, size_t maxUnits);

// What the notification area holds of a balloon title and text (without the terminator).
constexpr size_t kBalloonTitleUnits = 63;
constexpr size_t kBalloonTextUnits = 255;

}  // namespace tarn::reminder
