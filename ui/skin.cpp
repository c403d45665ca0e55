// The skin component.
#include "ui/skin.h"

#include <QAbstractButton>
#include <QFile>
#include <QStringConverter>
#include <QStringDecoder>
#include <cstdio>
#include <stdexcept>

#include "ui/window_helpers.h"

namespace ui {

namespace {

// Qt reports a style sheet it cannot parse only through its message handler, when a widget is
// polished. The check polishes a scratch widget with the sheet and listens for that report.
QStringList* gParseMessages = nullptr;
QtMessageHandler gPreviousHandler = nullptr;

void collectParseMessages(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (gParseMessages && msg.contains(QLatin1String("Could not parse"))) {
        gParseMessages->append(msg);
        return;
    }
    if (gPreviousHandler)
        gPreviousHandler(type, context, msg);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, msg)));
}

bool styleSheetParses(const QString& sheet) {
    QStringList messages;
    gParseMessages = &messages;
    gPreviousHandler = qInstallMessageHandler(collectParseMessages);
    {
        QWidget scratch;
        scratch.setStyleSheet(sheet);
        scratch.ensurePolished();
    }
    qInstallMessageHandler(gPreviousHandler);
    gPreviousHandler = nullptr;
    gParseMessages = nullptr;
    return messages.isEmpty();
}

}  // namespace

void SkinFramework::loadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("The skin file " + path.toStdString() +
                                 " could not be read: " + file.errorString().toStdString() + ".");
    const QByteArray bytes = file.readAll();
    QStringDecoder decode(QStringConverter::Utf8);
    const QString sheet = decode(bytes);
    if (decode.hasError())
        throw std::runtime_error("The skin file " + path.toStdString() +
                                 " is not UTF-8 text, so it cannot be a style sheet.");
    if (!styleSheetParses(sheet))
        throw std::runtime_error("The skin file " + path.toStdString() +
                                 " is not a style sheet this program can read.");
    sheet_ = sheet;
    loaded_ = true;
}

void SkinFramework::applyWindow(QWidget* window) const {
    if (!loaded_ || !(applyOptions_ & kApplyToControls)) return;
    window->setStyleSheet(sheet_);
    if (styledBackground_) window->setAttribute(Qt::WA_StyledBackground, true);
    if (hoverEffects_)
        for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
            b->setAttribute(Qt::WA_Hover, true);
}

QString skinFilePath() {
    return programFile(QStringLiteral("x/o.cjs"));
}

void applySkin(QWidget* window, SkinFramework& skin) {
    if (!fileExists(skinFilePath())) return;
    prepareWindowColours(window);
    skin.loadSkin(skinFilePath());
    skin.setApplyOptions(skin.applyOptions() | SkinFramework::kApplyToControls);
    skin.setHoverEffects(true);
    skin.setStyledBackground(true);
    skin.applyWindow(window);
}

}  // namespace ui
