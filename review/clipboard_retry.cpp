// The clipboard routines of the review window.
#include "review/clipboard_retry.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <string_view>

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

namespace {

const QString kPlainText = QStringLiteral("text/plain");

QByteArray bytesOf(const ScriptText& text) {
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(text.size()));
    text.forEachPiece([&](std::string_view piece) {
        bytes.append(piece.data(), static_cast<qsizetype>(piece.size()));
    });
    return bytes;
}

// The clipboard's hold on a script: the script itself while it stays as it was, else the copy
// taken just before it changed.
class ScriptHold : public ScriptTextWatcher {
  public:
    explicit ScriptHold(const ScriptText& text) : text_(&text) {}
    void textChanging(const ScriptText& text) noexcept override {
        try {
            copy_ = bytesOf(text);
        } catch (...) {
            copy_.clear();  // no memory for the copy: the clipboard ends up empty
        }
        text_ = nullptr;
    }
    QByteArray bytes() const { return text_ ? bytesOf(*text_) : copy_; }

  private:
    const ScriptText* text_;
    QByteArray copy_;
};

class ScriptMimeData : public QMimeData {
  public:
    explicit ScriptMimeData(const ScriptText& text) : hold_(std::make_shared<ScriptHold>(text)) {
        text.watch(hold_);
    }
    QStringList formats() const override { return {kPlainText}; }
    bool hasFormat(const QString& mimeType) const override { return mimeType == kPlainText; }

  protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType != kPlainText) return QMimeData::retrieveData(mimeType, type);
        const QByteArray bytes = hold_->bytes();
        if (type.id() == QMetaType::QString) return QString::fromUtf8(bytes);
        return bytes;
    }

  private:
    std::shared_ptr<ScriptHold> hold_;
};

}  // namespace

bool SetClipboardScriptWithRetry(const ScriptText& text) {
    for (int attempt = 0; attempt < kClipboardAttempts; ++attempt) {
        try {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (!clipboard) continue;
            auto* data = new ScriptMimeData(text);
            clipboard->setMimeData(data);
            // The clipboard holds this very object: asking it for the bytes would make them.
            if (clipboard->ownsClipboard() || clipboard->mimeData() == data) return true;
        } catch (...) {
            // A busy clipboard: try again.
        }
    }
    return false;
}

}  // namespace review
