// The fade of the on-screen notice. Its timer ticks every 500 ms from creation on, shown or
// not: each tick lowers the opacity by 10 while it is 25 or more, and hides the notice once
// it is below 25. Only a show sets the opacity back to 255, so a hidden notice keeps its
// last opacity until the next show.
#pragma once
#include <cstdint>

namespace tarn::reminder {

constexpr unsigned kFadeTickMs = 500;

struct NoticeFade {
  uint8_t alpha = 235;  // opacity of a notice not yet shown
  bool visible = false;

  void Show() {
    alpha = 255;
    visible = true;
  }
  void Tick();
};

}  // namespace tarn::reminder
