// The banner dialog (resource 1540) that called libraries may open with their own text;
// the engine publishes its procedure, resource number and module in BANNER_ variables.
#pragma once
#include <windows.h>

constexpr int kBannerResource = 1540;

// Dialog procedure of the banner, exported as "_BannerDlg@16".
extern "C" INT_PTR CALLBACK BannerDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
