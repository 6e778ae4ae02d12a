// The engine's message box for real: each style opened on screen, its buttons inspected
// and pressed from a second thread, and a picture of it saved under artifacts/.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/entry/run_state.h"
#include "engine/ui/message_box.h"
#include "engine/ui/reports.h"

namespace tarn {
namespace {

struct Button {
  bool visible = false;
  std::string text;
  RECT rect{};  // in the box's client coordinates
  int centre() const { return (rect.left + rect.right) / 2; }
  int width() const { return rect.right - rect.left; }
};

struct Box {
  HWND window = nullptr;
  Button first, second, cancel;
  RECT client{};
  RECT text{};
  std::string caption;
  bool closeGreyed = false;  // the system menu's close item
  int templateTextWidth = 0;  // the text control's width in the template, in pixels
};

HostRecord g_host{};
char* g_messages[54];
std::vector<std::string> g_messageTexts(54);

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    const char* dll = std::getenv("TARN_DLL");
    // The dialog resources live in the engine library.
    g_run.engineInstance = LoadLibraryA(dll ? dll : "TARN0132.dll");
    ASSERT_NE(g_run.engineInstance, nullptr);
    g_host = HostRecord{};
    g_run.host = &g_host;
    g_run.backgroundWidth = 1024;
    g_run.backgroundHeight = 768;
    g_run.header.dialogFontSize = 9;
    for (int i = 0; i < 54; ++i) g_messageTexts[i] = "message " + std::to_string(i);
    g_messageTexts[18] = "Question";
    g_messageTexts[27] = "OK";
    g_messageTexts[28] = "Cancel";
    g_messageTexts[31] = "Do you really want to leave the installation?";
    g_messageTexts[35] = "Yes";
    g_messageTexts[36] = "No";
    g_messageTexts[38] = "Retry";
    g_messageTexts[39] = "Ignore";
    g_messageTexts[40] = "Abort";
    g_messageTexts[45] = "Leave";
    g_messageTexts[46] = "Stay";
    for (int i = 0; i < 54; ++i) g_messages[i] = g_messageTexts[i].data();
    g_run.messageTable = g_messages;
    CreateDirectoryA(Artifacts().c_str(), nullptr);
  }
  void TearDown() override {
    g_run.messageTable = nullptr;
    g_run.host = nullptr;
  }
  static std::string Artifacts() {
    const char* dir = std::getenv("TARN_ARTIFACTS");
    return dir ? dir : "artifacts";
  }
};

Button ReadButton(HWND box, int id) {
  Button b;
  HWND button = GetDlgItem(box, id);
  b.visible = IsWindowVisible(button) != 0;
  char text[256] = "";
  GetWindowTextA(button, text, sizeof text);
  b.text = text;
  GetWindowRect(button, &b.rect);
  MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&b.rect), 2);
  return b;
}

void SavePicture(HWND window, const std::string& path) {
  RECT r;
  GetWindowRect(window, &r);
  int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  DWORD size = ((w * 3 + 3) & ~3) * h;
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof file + sizeof info.bmiHeader + size), 0, 0,
                        sizeof file + sizeof info.bmiHeader};
  HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written;
  WriteFile(out, &file, sizeof file, &written, nullptr);
  WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr);
  WriteFile(out, bits, size, &written, nullptr);
  CloseHandle(out);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// Waits for the box with `caption`, lets it paint, and reads it; picture saved as `name`.
Box WaitForBox(const std::string& caption, const std::string& name) {
  Box box;
  for (int i = 0; i < 500 && box.window == nullptr; ++i) {
    box.window = FindWindowA("#32770", caption.c_str());
    if (box.window == nullptr) Sleep(20);
  }
  if (box.window == nullptr) return box;
  Sleep(400);
  box.caption = caption;
  box.first = ReadButton(box.window, 1);
  box.second = ReadButton(box.window, 3);
  box.cancel = ReadButton(box.window, 2);
  GetClientRect(box.window, &box.client);
  RECT templateText{0, 0, 148, 11};
  MapDialogRect(box.window, &templateText);
  box.templateTextWidth = templateText.right;
  box.closeGreyed = (GetMenuState(GetSystemMenu(box.window, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
  GetWindowRect(GetDlgItem(box.window, 1005), &box.text);
  MapWindowPoints(nullptr, box.window, reinterpret_cast<POINT*>(&box.text), 2);
  const char* dir = std::getenv("TARN_ARTIFACTS");
  SavePicture(box.window, std::string(dir ? dir : "artifacts") + "\\message_box_" + name + ".bmp");
  return box;
}

void Press(const Box& box, int id) { PostMessageA(GetDlgItem(box.window, id), BM_CLICK, 0, 0); }

// Runs `action` on this thread while `user` acts on the screen from another.
int RunWhile(const std::function<int()>& action, std::function<void()> user) {
  struct Thread {
    static DWORD WINAPI Run(void* p) {
      (*static_cast<std::function<void()>*>(p))();
      return 0;
    }
  };
  // Tests run side by side on one display: one box on the screen at a time keeps the
  // pictures apart.
  HANDLE screen = CreateMutexA(nullptr, FALSE, "TarnMessageBoxTestScreen");
  WaitForSingleObject(screen, 120000);
  HANDLE thread = CreateThread(nullptr, 0, &Thread::Run, &user, 0, nullptr);
  int result = action();
  WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  ReleaseMutex(screen);
  CloseHandle(screen);
  return result;
}

int ShowWhile(const char* text, const char* caption, int style, std::function<void()> user) {
  return RunWhile([&] { return ShowMessage(nullptr, text, caption, style); }, std::move(user));
}

TEST_F(MessageBoxTest, OneButtonAtLeastOneAndAHalfButtonsWide) {
  Box box;
  int result = ShowWhile("Done.", "Style 2", kStyleNoCancel, [&] {
    box = WaitForBox("Style 2", "style2_one_button");
    Press(box, 1);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_TRUE(box.first.visible);
  EXPECT_EQ(box.first.text, "OK");
  EXPECT_FALSE(box.second.visible);
  EXPECT_FALSE(box.cancel.visible);
  EXPECT_FALSE(box.closeGreyed);
  EXPECT_GE(box.text.right - box.text.left, box.first.width() * 3 / 2);
  EXPECT_NEAR(box.first.centre(), box.client.right / 2, 2);
}

TEST_F(MessageBoxTest, TwoChoicesStandAtOneAndTwoThirds) {
  Box box;
  int result = ShowWhile("Install the samples?", "Style 3", kStyleTwoChoices | kStyleNoCancel, [&] {
    box = WaitForBox("Style 3", "style3_two_choices");
    Press(box, 3);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 3);
  EXPECT_EQ(box.first.text, "Yes");
  EXPECT_EQ(box.second.text, "No");
  EXPECT_FALSE(box.cancel.visible);
  EXPECT_NEAR(box.first.centre(), box.client.right / 3, 2);
  EXPECT_NEAR(box.second.centre(), box.client.right * 2 / 3, 2);
  EXPECT_EQ(box.first.rect.top, box.second.rect.top);
}

TEST_F(MessageBoxTest, ThreeButtonsInOrderWithTheOuterOnesMovedOut) {
  Box box;
  int result = ShowWhile("Replace the file?", "Style 1", kStyleTwoChoices | 0x0C, [&] {
    box = WaitForBox("Style 1", "style1_three_buttons_question");
    Press(box, 1);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(box.cancel.text, "Cancel");
  int quarter = box.client.right / 4;
  EXPECT_NEAR(box.first.centre(), quarter - 20, 2);
  EXPECT_NEAR(box.second.centre(), quarter * 2, 2);
  EXPECT_NEAR(box.cancel.centre(), quarter * 3 + 20, 2);
  // With an icon the text stands 24 pixels further right than the template puts it.
  EXPECT_GE(box.text.left, 24);
}

TEST_F(MessageBoxTest, CancelAsksTheLeaveQuestion) {
  // Second choice of the leave question: the box answers Cancel.
  Box box, leave;
  int result = ShowWhile("Continue?", "Style 0", 0, [&] {
    box = WaitForBox("Style 0", "style0_ok_cancel");
    Press(box, 2);
    leave = WaitForBox("Question", "leave_question");
    Press(leave, 3);
  });
  ASSERT_NE(leave.window, nullptr);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(box.first.text, "OK");
  EXPECT_EQ(box.cancel.text, "Cancel");
  EXPECT_EQ(leave.first.text, "Leave");
  EXPECT_EQ(leave.second.text, "Stay");
  EXPECT_FALSE(leave.cancel.visible);

  // First choice: the same message again, then answered with OK.
  Box again;
  result = ShowWhile("Continue?", "Style 0 again", 0, [&] {
    Press(WaitForBox("Style 0 again", "style0_first"), 2);
    Press(WaitForBox("Question", "leave_question_first"), 1);
    again = WaitForBox("Style 0 again", "style0_shown_again");
    Press(again, 1);
  });
  ASSERT_NE(again.window, nullptr);
  EXPECT_EQ(result, 1);
}

TEST_F(MessageBoxTest, SignedStyleByteCancelsAtOnce) {
  // A script's style byte 0x81 widens to 0xFFFFFF81: two choices with texts 45 and 46,
  // Cancel with message 28, and Cancel returns without the leave question.
  Box box;
  int result = ShowWhile("Keep the old settings?", "Byte 0x81", static_cast<int8_t>(0x81), [&] {
    box = WaitForBox("Byte 0x81", "byte81_cancel_at_once");
    Press(box, 2);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(box.first.text, "Leave");
  EXPECT_EQ(box.second.text, "Stay");
  EXPECT_EQ(box.cancel.text, "Cancel");
  EXPECT_EQ(FindWindowA("#32770", "Question"), nullptr);
}

TEST_F(MessageBoxTest, AlternativeTexts) {
  Box box;
  int result = ShowWhile("The archive cannot be read.", "Style 0x41", kStyleTwoChoices | kStyleAlternative, [&] {
    box = WaitForBox("Style 0x41", "style41_alternative");
    Press(box, 2);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 2);
  EXPECT_EQ(box.first.text, "Retry");
  EXPECT_EQ(box.second.text, "Ignore");
  EXPECT_EQ(box.cancel.text, "Abort");
  EXPECT_TRUE(box.closeGreyed);
}

TEST_F(MessageBoxTest, LongTextWrapsAndTheBoxGrowsDownwards) {
  std::string text;
  for (int i = 0; i < 40; ++i) text += "word" + std::to_string(i) + " ";
  Box shortBox, longBox;
  ShowWhile("Short.", "Short", kStyleNoCancel, [&] {
    shortBox = WaitForBox("Short", "short_text");
    Press(shortBox, 1);
  });
  ShowWhile(text.c_str(), "Long", kStyleNoCancel, [&] {
    longBox = WaitForBox("Long", "long_text_wrapped");
    Press(longBox, 1);
  });
  ASSERT_NE(longBox.window, nullptr);
  int lineHeight = shortBox.text.bottom - shortBox.text.top;
  EXPECT_GT(longBox.text.bottom - longBox.text.top, 2 * lineHeight);
  EXPECT_GT(longBox.client.bottom, shortBox.client.bottom);
  // Wrapped to the template's text width: no wider than the control was.
  EXPECT_LE(longBox.text.right - longBox.text.left, longBox.templateTextWidth);
  EXPECT_GT(longBox.first.rect.top, shortBox.first.rect.top);
}

TEST_F(MessageBoxTest, SilentRunAnswersFirstAtOnce) {
  g_host.silent = 1;
  EXPECT_EQ(ShowMessage(nullptr, "text", "caption", 0), 1);
  EXPECT_EQ(ShowMessage(nullptr, "text", "caption", kStyleTwoChoices), 1);
  EXPECT_EQ(ReportError("fatal"), 1);
  EXPECT_STREQ(g_run.errorText, "fatal");
}

TEST_F(MessageBoxTest, ControllerStopClosesABoxWithoutCancel) {
  Box box;
  int result = ShowWhile("Waiting.", "Stopped", kStyleNoCancel, [&] {
    box = WaitForBox("Stopped", "stopped_by_controller");
    // Escape is no answer for a box without Cancel...
    PostMessageA(box.window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    Sleep(300);
    // ...but the controller's stop request is.
    g_host.cancelState = kCancelController;
    PostMessageA(g_run.openMessageBox, WM_CLOSE, 0, 0);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(g_run.openMessageBox, nullptr);
}

TEST_F(MessageBoxTest, ReportsKeepTheRunsErrorText) {
  g_messageTexts[17] = "Installation Failed";
  g_messages[17] = g_messageTexts[17].data();
  std::string longText(300, 'x');
  Box box;
  int result = RunWhile([&] { return ReportError(longText.c_str()); }, [&] {
    box = WaitForBox("Installation Failed", "report_error");
    Press(box, 1);
  });
  ASSERT_NE(box.window, nullptr);
  EXPECT_EQ(result, 1);
  EXPECT_FALSE(box.cancel.visible);
  EXPECT_FALSE(box.second.visible);
  EXPECT_EQ(std::string(g_run.errorText), longText.substr(0, 255));

  RunWhile([] { ReportSystemError("Cannot open.", ERROR_FILE_NOT_FOUND); return 0; },
           [&] { Press(WaitForBox("Installation Failed", "report_system_error"), 1); });
  std::string withReason = g_run.errorText;
  EXPECT_EQ(withReason.rfind("Cannot open. ", 0), 0u);
  EXPECT_GT(withReason.size(), std::string("Cannot open. ").size());
}

}  // namespace
}  // namespace tarn
