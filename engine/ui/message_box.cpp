#include "engine/ui/message_box.h"

#include <algorithm>

#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/ui/place_window.h"
#include "engine/ui/resources/resource.h"

namespace tarn {
namespace {

constexpr int kMessageOk = 27;
constexpr int kMessageCancel = 28;
constexpr int kMessageLeave = 31;
constexpr int kMessageChoice1 = 35;
constexpr int kMessageChoice2 = 36;
constexpr int kMessageAltChoice1 = 38;
constexpr int kMessageAltChoice2 = 39;
constexpr int kMessageAltCancel = 40;
constexpr int kMessageChoice45 = 45;
constexpr int kMessageChoice46 = 46;
constexpr int kMessageQuestionTitle = 18;
constexpr int kLeaveQuestionStyle = 0x10F;  // two choices 45/46, no Cancel, question icon
constexpr int kIconIndent = 24;
constexpr int kOuterButtonShift = 20;

bool TableLoaded() { return g_run.messageTable != nullptr; }

void SetText(HWND dialog, int id, int message) {
  if (TableLoaded()) SetDlgItemTextA(dialog, id, Message(message));
}

HICON IconFor(int style) {
  switch (style & kStyleIconMask) {
    case 0x04:
      return LoadIconA(nullptr, IDI_INFORMATION);
    case 0x08:
      return LoadIconA(nullptr, IDI_WARNING);
    case 0x0C:
      return LoadIconA(nullptr, IDI_QUESTION);
    case 0x10:
      return LoadIconA(nullptr, IDI_ERROR);
    default:
      return nullptr;
  }
}

RECT ChildRect(HWND dialog, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HFONT MakeTextFont(HWND dialog) {
  LOGFONTA font{};
  HFONT boxFont = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
  if (boxFont == nullptr || GetObjectA(boxFont, sizeof font, &font) == 0) {
    GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  HDC dc = GetDC(dialog);
  font.lfHeight = -MulDiv(g_run.header.dialogFontSize, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(dialog, dc);
  font.lfWeight = g_run.platform.lightDialogLook ? FW_LIGHT : FW_BOLD;
  CopyText(font.lfFaceName, sizeof font.lfFaceName, g_run.dialogFontName);
  font.lfCharSet = g_run.header.dialogUnitsMode;
  return CreateFontIndirectA(&font);
}

int TextWidth(HWND window, HFONT font, const char* text) {
  HDC dc = GetDC(window);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
  SelectObject(dc, old);
  ReleaseDC(window, dc);
  return size.cx;
}

void SetUpButtons(HWND dialog, int style) {
  HWND cancel = GetDlgItem(dialog, IDC_CANCEL);
  if (style & kStyleNoCancel) {
    ShowWindow(cancel, SW_HIDE);
  } else {
    SetText(dialog, IDC_CANCEL, (style & kStyleAlternative) ? kMessageAltCancel : kMessageCancel);
  }
  if (style & kStyleTwoChoices) {
    int first = kMessageChoice1, second = kMessageChoice2;
    if (style & kStyleAlternative) {
      first = kMessageAltChoice1;
      second = kMessageAltChoice2;
    } else if (style & kStyleChoices45) {
      first = kMessageChoice45;
      second = kMessageChoice46;
    }
    SetText(dialog, IDC_FIRST_CHOICE, first);
    SetText(dialog, IDC_SECOND_CHOICE, second);
  } else {
    SetDlgItemTextA(dialog, IDC_FIRST_CHOICE, TableLoaded() ? Message(kMessageOk) : "OK");
    ShowWindow(GetDlgItem(dialog, IDC_SECOND_CHOICE), SW_HIDE);
  }
}

// Sizes the text control to its text and the box around it, then spreads the visible
// buttons evenly over the box's width.
void LayOut(HWND dialog, MessageBoxRequest& request) {
  const int order[3] = {IDC_FIRST_CHOICE, IDC_SECOND_CHOICE, IDC_CANCEL};
  HWND buttons[3];
  int visible = 0;
  for (int id : order) {
    HWND button = GetDlgItem(dialog, id);
    if (GetWindowLongA(button, GWL_STYLE) & WS_VISIBLE) buttons[visible++] = button;
  }
  int slots = visible + 1;
  RECT first = ChildRect(dialog, GetDlgItem(dialog, IDC_FIRST_CHOICE));
  int buttonWidth = first.right - first.left;

  HWND textControl = GetDlgItem(dialog, IDC_MESSAGE_TEXT);
  RECT old = ChildRect(dialog, textControl);
  RECT text = old;
  HDC dc = GetDC(dialog);
  HGDIOBJ previous = SelectObject(dc, request.font);
  DrawTextA(dc, request.text, -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, previous);
  ReleaseDC(dialog, dc);
  int minimumWidth = buttonWidth * (slots - 1) + buttonWidth / 2;
  if (text.right - text.left < minimumWidth) text.right = text.left + minimumWidth;
  int dx = (text.right - text.left) - (old.right - old.left);
  int dy = (text.bottom - text.top) - (old.bottom - old.top);
  if (request.icon != nullptr) {
    OffsetRect(&text, kIconIndent, 0);
    dx += kIconIndent;
  }
  MoveWindow(textControl, text.left, text.top, text.right - text.left, text.bottom - text.top, FALSE);
  RECT box{};
  GetWindowRect(dialog, &box);
  SetWindowPos(dialog, nullptr, 0, 0, box.right - box.left + dx, box.bottom - box.top + dy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  RECT client{};
  GetClientRect(dialog, &client);
  for (int k = 1; k <= visible; ++k) {
    HWND button = buttons[k - 1];
    RECT r = ChildRect(dialog, button);
    int width = r.right - r.left;
    int x = (client.right / slots) * k - width / 2;
    if (visible == 3 && k == 1) x -= kOuterButtonShift;
    if (visible == 3 && k == 3) x += kOuterButtonShift;
    char label[256];
    GetWindowTextA(button, label, sizeof label);
    width += std::max(0, TextWidth(button, request.font, label) + 4 - width);
    MoveWindow(button, x, r.top + dy, width, r.bottom - r.top, FALSE);
    SendMessageA(button, WM_SETFONT, reinterpret_cast<WPARAM>(request.font), FALSE);
  }
}

BOOL InitDialog(HWND dialog, MessageBoxRequest* request) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(request));
  SetForegroundWindow(dialog);
  g_run.openMessageBox = dialog;
  int style = request->style;
  SetUpButtons(dialog, style);
  request->icon = IconFor(style);
  SetWindowTextA(dialog, request->caption);
  SetDlgItemTextA(dialog, IDC_MESSAGE_TEXT, request->text);
  request->font = MakeTextFont(dialog);
  SendDlgItemMessageA(dialog, IDC_MESSAGE_TEXT, WM_SETFONT, reinterpret_cast<WPARAM>(request->font), FALSE);
  LayOut(dialog, *request);
  PlaceWindow(dialog, 1, 0);
  bool greyed = (style & (kStyleNoClose | kStyleAlternative)) != 0;
  EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | (greyed ? MF_GRAYED : MF_ENABLED));
  return TRUE;
}

MessageBoxRequest* RequestOf(HWND dialog) {
  return reinterpret_cast<MessageBoxRequest*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

int ShowBox(HWND owner, const char* text, const char* caption, int style) {
  MessageBoxRequest request{text, caption, style, nullptr, nullptr};
  INT_PTR result = DialogBoxParamA(g_run.engineInstance, MAKEINTRESOURCEA(IDD_MESSAGE_BOX), owner, &MessageBoxDlg,
                                   reinterpret_cast<LPARAM>(&request));
  g_run.openMessageBox = nullptr;
  return static_cast<int>(result);
}

}  // namespace

int ShowMessage(HWND owner, const char* text, const char* caption, int style) {
  HostRecord* host = g_run.host;
  if (host != nullptr && host->silent != 0) return kAnswerFirst;
  if (owner == nullptr) owner = g_run.wizardFrame;
  if (owner == nullptr) owner = g_run.progressWindow;
  if (owner == nullptr) owner = g_run.hostWindow;
  for (;;) {
    int result = ShowBox(owner, text, caption, style);
    if (host != nullptr && host->cancelState == kCancelController) return kAnswerFirst;
    if (result != kAnswerCancel || (style & (kStyleAlternative | kStyleCancelAtOnce))) return result;
    const char* leave = Message(kMessageLeave);
    if (leave[0] != '\0' &&
        ShowMessage(owner, leave, Message(kMessageQuestionTitle), kLeaveQuestionStyle) == kAnswerSecond) {
      return kAnswerCancel;
    }
  }
}

}  // namespace tarn

extern "C" INT_PTR CALLBACK MessageBoxDlg(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  using namespace tarn;
  switch (message) {
    case WM_INITDIALOG: {
      static MessageBoxRequest empty{"", "", 0, nullptr, nullptr};
      auto* request = lParam != 0 ? reinterpret_cast<MessageBoxRequest*>(lParam) : &empty;
      return InitDialog(dialog, request);
    }
    case WM_PAINT: {
      MessageBoxRequest* request = RequestOf(dialog);
      if (request == nullptr || request->icon == nullptr) return FALSE;
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(dialog, &paint);
      DrawIcon(dc, 8, 12, request->icon);
      EndPaint(dialog, &paint);
      return TRUE;
    }
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (HIWORD(wParam) != BN_CLICKED || (id != IDC_FIRST_CHOICE && id != IDC_CANCEL && id != IDC_SECOND_CHOICE)) {
        return FALSE;
      }
      // Escape (or the close item) on a box without Cancel is not an answer; the
      // controller's stop request still closes it.
      MessageBoxRequest* request = RequestOf(dialog);
      if (id == IDC_CANCEL && request != nullptr && (request->style & kStyleNoCancel) &&
          !(g_run.host != nullptr && g_run.host->cancelState == kCancelController)) {
        return TRUE;
      }
      EndDialog(dialog, id);
      return TRUE;
    }
    case WM_DESTROY: {
      MessageBoxRequest* request = RequestOf(dialog);
      if (request != nullptr && request->font != nullptr) {
        DeleteObject(request->font);
        request->font = nullptr;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}
