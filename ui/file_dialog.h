// The Qt file dialogs behind the prompt service: a request in the windows' terms turned into a
// configured QFileDialog.
#pragma once

#include <QFileDialog>
#include <memory>

#include "ui/prompt_service.h"

namespace ui {

enum class FileDialogKind { Open, Save };

// A dialog for `request`: its title, its preset name, and its "Desc|pattern|" filter translated,
// the first pair selected and shown by its description alone (the patterns still filter, so
// "*.*db" lists every file whose extension ends in "db", in any letter case). An open dialog
// accepts one existing file; a save dialog replaces an existing file without asking, as the
// program's save command expects, and gives a name typed without an extension the one the
// chosen filter names ("*.txt" adds ".txt"; "*.*" adds nothing).
// The extension (without the dot) that a filter as Qt writes it, "Description (*.ext)", names
// for files saved under it; empty when it names none or several ("*.*", "*.mdb *.accdb").
QString filterExtension(const QString& qtFilter);

std::unique_ptr<QFileDialog> createFileDialog(const FileDialogRequest& request, FileDialogKind kind,
                                              QWidget* parent);

}  // namespace ui
