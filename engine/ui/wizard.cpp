#include "engine/ui/wizard.h"

namespace tarn {

// The wizard frame has no pages of its own yet; it behaves as a plain window.
LRESULT CALLBACK WizardDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace tarn
