#include "reminder/fade.h"

namespace tarn::reminder {

void NoticeFade::Tick() {
  if (alpha >= 25) {
    alpha = static_cast<uint8_t>(alpha - 10);
  } else {
    visible = false;
  }
}

}  // namespace tarn::reminder
