// The configured file dialogs.
#include "ui/file_dialog.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace ui {

QString filterExtension(const QString& qtFilter) {
    static const QRegularExpression one(QStringLiteral("\\(\\s*\\*\\.([A-Za-z0-9_]+)\\s*\\)\\s*$"));
    const QRegularExpressionMatch m = one.match(qtFilter);
    return m.hasMatch() ? m.captured(1) : QString();
}

std::unique_ptr<QFileDialog> createFileDialog(const FileDialogRequest& request, FileDialogKind kind,
                                              QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent, request.title);
    const QString filters = qtFilterFromPipes(request.filter);
    if (!filters.isEmpty()) dialog->setNameFilters(filters.split(QStringLiteral(";;")));
    dialog->setOption(QFileDialog::HideNameFilterDetails, true);
    if (kind == FileDialogKind::Open) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
        QFileDialog* d = dialog.get();
        d->setDefaultSuffix(filterExtension(d->selectedNameFilter()));
        // The filter as the list of filters holds it: the text the signal carries may be the
        // description alone.
        QObject::connect(d, &QFileDialog::filterSelected, d, [d](const QString&) {
            d->setDefaultSuffix(filterExtension(d->selectedNameFilter()));
        });
    }
    if (!request.fileName.isEmpty()) {
        const QFileInfo preset(request.fileName);
        if (preset.isAbsolute()) dialog->setDirectory(preset.absolutePath());
        dialog->selectFile(preset.fileName());
    }
    return dialog;
}

}  // namespace ui
