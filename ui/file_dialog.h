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
// program's save command expects.
std::unique_ptr<QFileDialog> createFileDialog(const FileDialogRequest& request, FileDialogKind kind,
                                              QWidget* parent);

}  // namespace ui
