#include "engine/changes/version_rules.h"

namespace tarn {

bool IsNewerRecord(const VersionRecord& incoming, const VersionRecord& existing, bool numbersOnly,
                   bool compareImageKinds) {
  bool newer = incoming.versionMS > existing.versionMS ||
               (incoming.versionMS == existing.versionMS && incoming.versionLS > existing.versionLS);
  if (!newer || numbersOnly) return newer;
  if (incoming.fileOS != existing.fileOS || incoming.fileType != existing.fileType ||
      incoming.fileSubtype != existing.fileSubtype) {
    return false;
  }
  return !(compareImageKinds && incoming.is32BitImage != existing.is32BitImage);
}

}  // namespace tarn
