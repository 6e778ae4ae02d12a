// The engine's message box (dialog resource 114): up to three buttons, an optional system
// icon, a caption and a word-wrapped text, the box sized to its text.
#pragma once
#include <windows.h>

namespace tarn {

// Answers
constexpr int kAnswerFirst = 1;   // OK, or the first choice
constexpr int kAnswerCancel = 2;  // Cancel (also the leave question answered with its second choice)
constexpr int kAnswerSecond = 3;  // the second choice

// Style bits. Script records carry a style byte that is widened as a signed byte, so a
// byte with bit 0x80 also sets 0x100 and every higher bit.
constexpr int kStyleTwoChoices = 0x001;   // buttons 1 and 3 with message 35 and 36
constexpr int kStyleNoCancel = 0x002;
constexpr int kStyleIconMask = 0x01C;     // 0x04 information, 0x08 warning, 0x0C question, 0x10 error
constexpr int kStyleNoClose = 0x020;      // the system menu's close item is greyed
constexpr int kStyleAlternative = 0x040;  // choices 38 and 39, Cancel message 40, Cancel returns at once
constexpr int kStyleCancelAtOnce = 0x080; // Cancel returns without the leave question
constexpr int kStyleChoices45 = 0x100;    // choices 45 and 46

// Shows `text` with `caption` and waits for an answer (1, 2 or 3). The owner is `owner`,
// else the wizard frame, else the progress window, else the host window. Cancel asks the
// leave question (message 31) unless the style says otherwise. Silent runs answer 1 at once.
int ShowMessage(HWND owner, const char* text, const char* caption, int style);

}  // namespace tarn

// Dialog procedure of resource 114; lParam of WM_INITDIALOG points at a MessageBoxRequest.
extern "C" INT_PTR CALLBACK MessageBoxDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

namespace tarn {
struct MessageBoxRequest {
  const char* text;
  const char* caption;
  int style;
  HICON icon;  // filled by the dialog
  HFONT font;  // made by the dialog for the text and the buttons; deleted with it
};
}  // namespace tarn
