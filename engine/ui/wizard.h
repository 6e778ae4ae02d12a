#pragma once
#include <windows.h>

namespace tarn {
// Window procedure of the "ZERVWizard" class that frames wizard pages.
LRESULT CALLBACK WizardDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace tarn
