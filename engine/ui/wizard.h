#pragma once
#include <windows.h>

namespace tarn {
// Window procedure of the "ZERVWizard" class that frames wizard pages.
LRESULT CALLBACK WizardDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
}  // namespace tarn

// Dialog procedure of the banner dialog (resource 1540), exported as "_BannerDlg@16".
extern "C" INT_PTR CALLBACK BannerDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
