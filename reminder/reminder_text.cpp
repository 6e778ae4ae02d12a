#include "reminder/reminder_text.h"

#include <cstdio>

namespace tarn::reminder {

std::optional<int32_t> ParseInterval(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return std::nullopt;
    value = value * 10 + (text[i] - u'0');
    if (value > kMaxIntervalSeconds) return std::nullopt;  // also keeps `value` small
  }
  if (negative || value < 1) return std::nullopt;
  return static_cast<int32_t>(value);
}

std::u16string FormatGeneral(double value, std::u16string_view decimalSeparator) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  std::u16string out;
  for (const char* p = buffer; *p != '\0'; ++p) {
    if (*p == '.') {
      out += decimalSeparator;
    } else if (*p == 'e') {
      // "e+20" becomes "E20", "e-05" becomes "E-5".
      out += u'E';
      ++p;
      if (*p == '-') out += u'-';
      if (*p == '-' || *p == '+') ++p;
      while (*p == '0' && p[1] != '\0') ++p;
      for (; *p != '\0'; ++p) out += static_cast<char16_t>(*p);
      break;
    } else {
      out += static_cast<char16_t>(*p);
    }
  }
  return out;
}

std::u16string BalloonText(std::u16string_view intervalText, int32_t seconds,
                           std::u16string_view message, std::u16string_view decimalSeparator) {
  std::u16string text = u"您已在电脑前工作了";
  if (seconds < 60) {
    text += intervalText;
    text += u"秒钟了,";
  } else {
    text += FormatGeneral(seconds / 60.0, decimalSeparator);
    text += u"分钟了,";
  }
  text += message;
  return text;
}

std::u16string CutText(std::u16string_view text, size_t maxUnits) {
  if (text.size() <= maxUnits) return std::u16string(text);
  size_t n = maxUnits;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  return std::u16string(text.substr(0, n));
}

}  // namespace tarn::reminder
