#include "engine/ui/reports.h"

#include "engine/entry/run_state.h"
#include "engine/script/text.h"
#include "engine/ui/message_box.h"

namespace tarn {
namespace {
constexpr int kMessageFatalTitle = 17;
constexpr int kFatalStyle = kStyleNoCancel;  // one button, no Cancel
}  // namespace

int ShowMessage(const char* text, const char* title, int style) { return ShowMessage(nullptr, text, title, style); }

int ReportError(const char* text) {
  CopyText(g_run.errorText, sizeof g_run.errorText, text);
  const char* caption = g_run.messageTable != nullptr ? Message(kMessageFatalTitle) : "Installation Aborted!";
  return ShowMessage(nullptr, text, caption, kFatalStyle);
}

void ReportMessageError(int n) {
  ReportError(g_run.messageTable != nullptr ? Message(n) : "Internal Error");
}

void ReportSystemError(const char* text, unsigned long code) {
  char report[256];
  CopyText(report, sizeof report, text);
  if (code != 0) {
    char description[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), description, sizeof description, nullptr);
    AppendText(report, sizeof report, " ");
    AppendText(report, sizeof report, description);
  }
  ReportError(report);
}

}  // namespace tarn
