// Telling the user about failures and asking questions. Every run's fatal message also
// becomes the run's error text.
#pragma once

namespace tarn {

// Style codes of ShowMessage: see ShowMessage's callers. Silent runs answer 1 at once.
int ShowMessage(const char* text, const char* title, int style);

// Reports a fatal error; its text becomes the run's error text. Before the message table
// is known the caption is "Installation Aborted!".
void ReportError(const char* text);

// ReportError with message n, or "Internal Error" when no message table is loaded.
void ReportMessageError(int n);

}  // namespace tarn
