#pragma once
#include <windows.h>

// Window procedure of the "ZERVWizard" class: the frame that hosts the pages of a wizard.
extern "C" LRESULT CALLBACK WizardDlg(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace tarn {
using ::WizardDlg;
}  // namespace tarn
