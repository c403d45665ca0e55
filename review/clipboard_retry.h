// Putting text on the clipboard, retrying when the clipboard is busy. Neither routine reports a
// failure: the caller confirms in any case.
#pragma once

#include <QByteArray>
#include <QString>

#include "review/script_text.h"

namespace review {

inline constexpr int kClipboardAttempts = 1000;

// Clears the clipboard, up to kClipboardAttempts attempts in all.
void ClearClipboardWithRetry();

// Puts `text` on the clipboard as plain text, or, with a `format` (a MIME type), as that format
// holding the text in UTF-8; up to kClipboardAttempts attempts. Returns whether it was placed.
bool SetClipboardTextWithRetry(const QString& text, const QString& format = QString());

// Puts the script `text` on the clipboard as plain text in UTF-8, without a copy of it: the
// clipboard makes the bytes from the script when a program asks for them, and takes its own copy
// only when the script is about to change or go while the clipboard still holds it. Up to
// kClipboardAttempts attempts. Returns whether it was placed.
bool SetClipboardScriptWithRetry(const ScriptText& text);

}  // namespace review
