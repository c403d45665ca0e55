// The configured file dialogs.
#include "ui/file_dialog.h"

#include <QFileInfo>

namespace ui {

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
    }
    if (!request.fileName.isEmpty()) {
        const QFileInfo preset(request.fileName);
        if (preset.isAbsolute()) dialog->setDirectory(preset.absolutePath());
        dialog->selectFile(preset.fileName());
    }
    return dialog;
}

}  // namespace ui
