// Putting text on the clipboard, retrying when the clipboard is busy. Neither routine reports a
// failure: the caller confirms in any case.
#pragma once

#include <QByteArray>
#include <QString>

namespace review {

inline constexpr int kClipboardAttempts = 1000;

// Clears the clipboard, up to kClipboardAttempts attempts in all.
void ClearClipboardWithRetry();

// Puts `text` on the clipboard as plain text, or, with a `format` (a MIME type), as that format
// holding the text in UTF-8; up to kClipboardAttempts attempts. Returns whether it was placed.
bool SetClipboardTextWithRetry(const QString& text, const QString& format = QString());

// Puts the UTF-8 bytes `text` on the clipboard as plain text, kept as they are (half the memory
// of the text decoded); up to kClipboardAttempts attempts. Returns whether it was placed.
bool SetClipboardUtf8WithRetry(const QByteArray& text);

}  // namespace review
