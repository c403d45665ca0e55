// The clipboard routines of the review window.
#include "review/clipboard_retry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace review {

void ClearClipboardWithRetry() {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (!clipboard) continue;
            clipboard->clear();
            const QMimeData* now = clipboard->mimeData();
            if (!now || now->formats().isEmpty()) return;
        } catch (...) {
            // A busy clipboard: try again.
        }
    }
}

bool SetClipboardTextWithRetry(const QString& text, const QString& format) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (!clipboard) continue;
            if (format.isEmpty()) {
                clipboard->setText(text);
            } else {
                auto* data = new QMimeData;
                data->setData(format, text.toUtf8());
                clipboard->setMimeData(data);
            }
            if (clipboard->ownsClipboard()) return true;
            const QMimeData* now = clipboard->mimeData();
            if (now &&
                (format.isEmpty() ? now->text() == text : now->data(format) == text.toUtf8()))
                return true;
        } catch (...) {
            // A busy clipboard: try again.
        }
    }
    return false;
}

bool SetClipboardUtf8WithRetry(const QByteArray& text) {
    static const QString kPlain = QStringLiteral("text/plain");
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (!clipboard) continue;
            auto* data = new QMimeData;
            data->setData(kPlain, text);  // shares the bytes, no copy
            clipboard->setMimeData(data);
            if (clipboard->ownsClipboard()) return true;
            const QMimeData* now = clipboard->mimeData();
            if (now && now->data(kPlain) == text) return true;
        } catch (...) {
            // A busy clipboard: try again.
        }
    }
    return false;
}

}  // namespace review
