// The fixed recipes behind the system-information step that need no system call: the
// root a free-space query measures, the classic free-space arithmetic, the service-pack
// number and the date texts.
#pragma once
#include <cstdint>
#include <string>

namespace tarn {

// The root that a free-space query on `path` measures: "X:" becomes "X:\"; a path that
// begins with two backslashes is cut after the backslash that ends its share name; any
// other path after its first backslash from the third character on (a backslash is added
// when there is none). Empty for a path of one character or less.
std::string FreeSpaceRoot(const char* path);

// Kilobytes free from the classic query's cluster figures.
uint64_t ClassicFreeKb(uint32_t sectorsPerCluster, uint32_t bytesPerSector, uint32_t freeClusters);

// The service-pack text from its first decimal digit to its end; "0" when it has none.
std::string ServicePackNumber(const char* servicePackText);

// "MM/DD/YY H:MM:SS", or with a four-digit year "MM/DD/YYYY H:MM:SS".
std::string InfoDateTime(int year, int month, int day, int hour, int minute, int second, bool fourDigitYear);
// The same for a DOS date and time (seconds are even).
std::string InfoDosDateTime(uint16_t dosDate, uint16_t dosTime, bool fourDigitYear);

}  // namespace tarn
