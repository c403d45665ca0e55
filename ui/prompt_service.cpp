// The Qt prompt service and the scripted one for tests.
#include "ui/prompt_service.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/app_title.h"
#include "ui/file_dialog.h"
#include "ui/message_box.h"
#include "ui/worker.h"

namespace ui {

namespace {

class QtPrompts : public PromptService {
  public:
    Answer message(const MessageRequest& r) override {
        const std::unique_ptr<QMessageBox> box = createMessageBox(r, QApplication::activeWindow());
        switch (box->exec()) {
            case QMessageBox::Yes:
                return Answer::Yes;
            case QMessageBox::No:
                return Answer::No;
            case QMessageBox::Cancel:
                return Answer::Cancel;
            default:
                break;
        }
        // A Yes/No box closed some other way counts as No; an OK/Cancel box as Cancel.
        if (r.buttons == Buttons::YesNo) return Answer::No;
        if (r.buttons == Buttons::Ok) return Answer::Ok;
        return Answer::Cancel;
    }

    QString input(const InputRequest& r) override {
        bool ok = false;
        QString text = QInputDialog::getText(QApplication::activeWindow(), r.title, r.prompt,
                                             QLineEdit::Normal, r.defaultText, &ok);
        return ok ? text : QString();
    }

    QString openFile(const FileDialogRequest& r) override {
        return runFileDialog(r, FileDialogKind::Open);
    }

    QString saveFile(const FileDialogRequest& r) override {
        return runFileDialog(r, FileDialogKind::Save);
    }

  private:
    static QString runFileDialog(const FileDialogRequest& r, FileDialogKind kind) {
        auto dialog = createFileDialog(r, kind, QApplication::activeWindow());
        if (dialog->exec() != QDialog::Accepted) return QString();
        const QStringList chosen = dialog->selectedFiles();
        return chosen.isEmpty() ? QString() : chosen.first();
    }
};

PromptService* gService = nullptr;

PromptService& installed() {
    static QtPrompts qtPrompts;
    return gService ? *gService : qtPrompts;
}

// What work off the user-interface thread gets: each request is answered by the installed
// service on the user-interface thread while the work waits.
template <typename F>
auto answeredOnUiThread(F&& f) {
    decltype(f()) result{};
    onUiThread([&] { result = f(); });
    return result;
}

class UiThreadPrompts : public PromptService {
  public:
    Answer message(const MessageRequest& r) override {
        return answeredOnUiThread([&] { return installed().message(r); });
    }
    QString input(const InputRequest& r) override {
        return answeredOnUiThread([&] { return installed().input(r); });
    }
    QString openFile(const FileDialogRequest& r) override {
        return answeredOnUiThread([&] { return installed().openFile(r); });
    }
    QString saveFile(const FileDialogRequest& r) override {
        return answeredOnUiThread([&] { return installed().saveFile(r); });
    }
};

}  // namespace

PromptService& prompts() {
    if (!isUiThread()) {
        static UiThreadPrompts forWorkers;
        return forWorkers;
    }
    return installed();
}

void setPromptService(PromptService* service) {
    gService = service;
}

void inform(const QString& text) {
    prompts().message({text, applicationTitle(), Buttons::Ok, Icon::None});
}

bool askYesNo(const QString& text, const QString& title) {
    return prompts().message({text, title, Buttons::YesNo, Icon::None}) == Answer::Yes;
}

void reportProblem(const QString& text) {
    prompts().message({text, applicationTitle(), Buttons::Ok, Icon::Exclamation});
}

QString qtFilterFromPipes(const QString& pipes) {
    QStringList parts = pipes.split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        filters << parts[i] + " (" + patterns + ")";
    }
    return filters.join(";;");
}

// ---- ScriptedPrompts ----

Answer ScriptedPrompts::message(const MessageRequest& request) {
    Record rec{Record::Message, request, {}, {}};
    records_.push_back(rec);
    if (onRequest) onRequest(rec);
    // An OK box takes a queued answer only when it is Ok, so that error reports and notices
    // in between do not eat the answers queued for questions.
    if (request.buttons == Buttons::Ok) {
        if (!answers_.empty() && answers_.front() == Answer::Ok) answers_.pop_front();
        return Answer::Ok;
    }
    if (!answers_.empty()) {
        Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    unexpected_.push_back("message: " + request.text);
    return request.buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
}

QString ScriptedPrompts::input(const InputRequest& request) {
    Record rec{Record::Input, {}, request, {}};
    records_.push_back(rec);
    if (onRequest) onRequest(rec);
    if (inputs_.empty()) {
        unexpected_.push_back("input: " + request.prompt);
        return QString();
    }
    QString t = inputs_.front();
    inputs_.pop_front();
    return t;
}

QString ScriptedPrompts::openFile(const FileDialogRequest& request) {
    Record rec{Record::OpenFile, {}, {}, request};
    records_.push_back(rec);
    if (onRequest) onRequest(rec);
    if (files_.empty()) {
        unexpected_.push_back("open: " + request.title);
        return QString();
    }
    QString t = files_.front();
    files_.pop_front();
    return t;
}

QString ScriptedPrompts::saveFile(const FileDialogRequest& request) {
    Record rec{Record::SaveFile, {}, {}, request};
    records_.push_back(rec);
    if (onRequest) onRequest(rec);
    if (files_.empty()) {
        unexpected_.push_back("save: " + request.title);
        return QString();
    }
    QString t = files_.front();
    files_.pop_front();
    return t;
}

std::vector<MessageRequest> ScriptedPrompts::messages() const {
    std::vector<MessageRequest> out;
    for (const auto& r : records_)
        if (r.kind == Record::Message) out.push_back(r.message);
    return out;
}

}  // namespace ui
