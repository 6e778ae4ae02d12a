// Telling the user about failures and asking questions. Every run's fatal message also
// becomes the run's error text.
#pragma once

namespace tarn {

// ShowMessage without an owner of its own (the wizard frame, the progress window or the
// host window owns the box). Answers 1, 2 or 3; silent runs answer 1 at once.
int ShowMessage(const char* text, const char* title, int style);

// Reports a fatal error; its text (at most 255 characters) becomes the run's error text.
// The caption is message 17, or "Installation Aborted!" before the message table is known.
int ReportError(const char* text);

// ReportError with message n, or "Internal Error" when no message table is loaded.
void ReportMessageError(int n);

// ReportError with one blank and the system's description of `code` appended (when
// `code` is not 0), the whole cut to 255 characters.
void ReportSystemError(const char* text, unsigned long code);

}  // namespace tarn
