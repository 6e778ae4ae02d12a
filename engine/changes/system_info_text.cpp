#include "engine/changes/system_info_text.h"

#include <cstdio>
#include <cstring>

#include "engine/script/text.h"

namespace tarn {

std::string FreeSpaceRoot(const char* path) {
  size_t length = std::strlen(path);
  if (length <= 1) return {};
  std::string root(path);
  if (length == 2) return root + "\\";
  const char* end = nullptr;
  if (path[0] == '\\' && path[1] == '\\') {
    const char* server = FindChar(path + 2, '\\');
    if (server != nullptr) end = FindChar(server + 1, '\\');
  } else {
    end = FindChar(path + 2, '\\');
  }
  if (end == nullptr) return root + "\\";
  return root.substr(0, static_cast<size_t>(end - path) + 1);
}

uint64_t ClassicFreeKb(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters) {
  uint64_t bytesPerCluster = static_cast<uint64_t>(sectorsPerCluster) * bytesPerSector;
  if (bytesPerCluster >= 512 && bytesPerCluster % 512 == 0) return (bytesPerCluster / 512) * freeClusters / 2;
  return bytesPerCluster * freeClusters / 1024;
}

std::string ServicePackNumber(const char* servicePackText) {
  for (const char* p = servicePackText; *p != '\0'; p += CharLength(p)) {
    if (*p >= '0' && *p <= '9') return p;
  }
  return "0";
}

std::string InfoDateTime(int year, int month, int day, int hour, int minute, int second, bool fourDigitYear) {
  char text[64];
  if (fourDigitYear) {
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %d:%02d:%02d", month, day, year, hour, minute, second);
  } else {
    std::snprintf(text, sizeof text, "%02d/%02d/%02d %d:%02d:%02d", month, day, (year - 1900) % 100, hour, minute,
                  second);
  }
  return text;
}

std::string InfoDosDateTime(uint16_t dosDate, uint16_t dosTime, bool fourDigitYear) {
  return InfoDateTime(1980 + (dosDate >> 9), (dosDate >> 5) & 0x0F, dosDate & 0x1F, dosTime >> 11,
                      (dosTime >> 5) & 0x3F, (dosTime & 0x1F) * 2, fourDigitYear);
}

}  // namespace tarn
