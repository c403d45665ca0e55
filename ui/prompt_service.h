// Every question the program asks the user goes through one replaceable prompt service:
// message boxes, the input box, and the open and save file dialogs.
//
// The windows call prompts(); the program installs the Qt implementation at start-up, and tests
// install a ScriptedPrompts that records each request and answers it from a queue.
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace ui {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Question, Exclamation, Critical };
// Answers carry the numbers the platform's message box returns.
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageRequest {
    QString text;
    QString title;
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    // The button Enter presses; without one, the first (Yes or OK).
    std::optional<Answer> defaultButton{};
};

struct InputRequest {
    QString prompt;
    QString title;
    QString defaultText;
};

struct FileDialogRequest {
    QString title;
    // Filter in the "Description|pattern|Description|pattern|" form the windows state;
    // the Qt implementation translates it.
    QString filter;
    QString fileName;  // preset name, usually empty
    unsigned flags = 0;
};

class PromptService {
  public:
    virtual ~PromptService() = default;
    virtual Answer message(const MessageRequest& request) = 0;
    // The text entered, or an empty text when the user cancelled.
    virtual QString input(const InputRequest& request) = 0;
    // The chosen path, or an empty text when the user cancelled.
    virtual QString openFile(const FileDialogRequest& request) = 0;
    virtual QString saveFile(const FileDialogRequest& request) = 0;
};

// The service in use. Never null: the Qt implementation unless one was installed. Called off the
// user-interface thread (work run by runInWorker()), it hands each request to the service in use
// on the user-interface thread and waits for the answer.
PromptService& prompts();
// Installs `service` (not owned); nullptr restores the Qt implementation.
void setPromptService(PromptService* service);

// Convenience: a message box with one OK button, no icon, titled with the application title.
void inform(const QString& text);
// A Yes/No question without icon; returns true for Yes.
bool askYesNo(const QString& text, const QString& title);
// A message that something failed: one OK button, the exclamation icon every error box shows,
// titled with the application title.
void reportProblem(const QString& text);

// Translates "Desc|pattern|Desc|pattern|" into Qt's "Desc (pattern);;Desc (pattern)".
QString qtFilterFromPipes(const QString& pipes);

// For tests: records every request and answers from queues. A request with no answer queued
// (other than a plain OK box) is answered No, Cancel or with an empty text and noted in
// unexpected(), which a test asserts empty.
class ScriptedPrompts : public PromptService {
  public:
    struct Record {
        enum Kind { Message, Input, OpenFile, SaveFile } kind;
        MessageRequest message;
        InputRequest input;
        FileDialogRequest file;
    };

    // Message boxes with only an OK button are answered Ok without a queued answer; they take
    // a queued answer only when it is Ok.
    Answer message(const MessageRequest& request) override;
    QString input(const InputRequest& request) override;
    QString openFile(const FileDialogRequest& request) override;
    QString saveFile(const FileDialogRequest& request) override;

    void queueAnswer(Answer a) { answers_.push_back(a); }
    void queueInput(const QString& text) { inputs_.push_back(text); }
    void queueFile(const QString& path) { files_.push_back(path); }
    // Called for each request before it is answered (for instance to inspect window state).
    std::function<void(const Record&)> onRequest;

    const std::vector<Record>& records() const { return records_; }
    const std::vector<QString>& unexpected() const { return unexpected_; }
    std::vector<MessageRequest> messages() const;
    void clear() { records_.clear(); }

  private:
    std::vector<Record> records_;
    std::vector<QString> unexpected_;
    std::deque<Answer> answers_;
    std::deque<QString> inputs_;
    std::deque<QString> files_;
};

// Installs a service for the lifetime of the object.
class ScopedPromptService {
  public:
    explicit ScopedPromptService(PromptService* s) { setPromptService(s); }
    ~ScopedPromptService() { setPromptService(nullptr); }
};

}  // namespace ui
