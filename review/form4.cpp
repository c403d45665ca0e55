// The review window: layout, load, and its four commands.
#include "review/form4.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <memory>
#include <stdexcept>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "review/clipboard_retry.h"
#include "review/form5.h"
#include "review/script_editor.h"
#include "ui/app_title.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/twips.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"
#include "ui/worker.h"

namespace review {

namespace {

const QString kForm = QStringLiteral("Form4");

const QString kCloseQuestion = QStringLiteral("Close without executing or saving the script?");

QPushButton* makeButton(QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setAutoDefault(false);  // Enter never runs a command by surprise
    return b;
}

// How the controls share a larger window: the statement text takes three quarters of the extra
// height and the "Notes" one quarter; the buttons between them keep their height and split the
// extra width; the progress bar stays at the bottom.
constexpr double kTextShare = 0.75;
constexpr double kNotesShare = 1.0 - kTextShare;

}  // namespace

Form4::Form4(QWidget* parent) : QDialog(parent) {
    const ui::Twips tw(this);
    setWindowTitle(QStringLiteral("Send Table/s"));
    setModal(true);
    // Opens at its designed size; the user may make it larger, not smaller.
    designedSize_ = QSize(tw(8040), tw(10545));
    setMinimumSize(designedSize_);

    Frame1 = new QGroupBox(QStringLiteral("Preview SQL Commands Before Execution"), this);
    RichTextBox1 = new ScriptEditor(Frame1);
    PushButton3 = makeButton(this, QStringLiteral("Execute SQL Commands Now"));
    PushButton1 = makeButton(this, QStringLiteral("Find and Replace"));
    PushButton2 = makeButton(this, QStringLiteral("Save SQL Commands As Text File"));
    PushButton4 = makeButton(this, QStringLiteral("Copy SQL Commands To Clipboard"));
    Frame2 = new QGroupBox(QStringLiteral("Notes"), this);
    Text1 = new QPlainTextEdit(Frame2);
    ProgressBar1 = new QProgressBar(this);

    layout_.add(Frame1, tw.rect(120, 120, 7800, 6975), {0, 0, 1, kTextShare});
    layout_.add(RichTextBox1, tw.rect(240, 300, 7335, 6495), {0, 0, 1, kTextShare});
    layout_.add(PushButton3, tw.rect(120, 7210, 3840, 405), {0, kTextShare, 0.5, 0});
    layout_.add(PushButton1, tw.rect(4080, 7210, 3840, 405), {0.5, kTextShare, 0.5, 0});
    layout_.add(PushButton2, tw.rect(120, 7730, 3840, 405), {0, kTextShare, 0.5, 0});
    layout_.add(PushButton4, tw.rect(4080, 7730, 3840, 405), {0.5, kTextShare, 0.5, 0});
    layout_.add(Frame2, tw.rect(120, 8220, 7800, 1695), {0, kTextShare, 1, kNotesShare});
    layout_.add(Text1, tw.rect(240, 300, 7335, 1215), {0, 0, 1, kNotesShare});
    layout_.add(ProgressBar1, tw.rect(120, 10020, 7800, 405), {0, 1, 1, 0});
    resize(designedSize_);

    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    connect(PushButton3, &QPushButton::clicked, this, &Form4::pushButton3Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form4::pushButton1Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form4::pushButton2Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form4::pushButton4Click);
    // Whatever changes the text makes it a script not yet saved.
    connect(RichTextBox1, &ScriptEditor::textChanged, this, [this] { saved_ = false; });

    ui::installHoverConvention(this, {PushButton3, PushButton1, PushButton2, PushButton4},
                               {this, Frame1, Frame2, RichTextBox1, RichTextBox1->viewport()});
    formLoad();
    sizeMemory_ = new ui::WindowSizeMemory(this, ui::kKeyForm4Size);
    sizeMemory_->restore();
}

Form4::~Form4() = default;

void Form4::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layout_.apply(size() - designedSize_);
}

void Form4::formLoad() {
    ui::Command cmd(kForm, QStringLiteral("Form_Load"));
    cmd.step(100, [&] { ui::prepareWindowColours(this); });
    cmd.step(102, [&] { ui::setApplicationIcon(this); });
    if (cmd.test(104, [] { return ui::handPointerFileExists(); }))
        cmd.step(106, [&] { ui::loadHandPointer(this); });
}

// ---- the text ----

void Form4::appendText(std::string_view utf8) {
    if (isVisible())
        RichTextBox1->appendScript(utf8);
    else
        pending_.append(utf8);
}

void Form4::appendText(std::string&& utf8) {
    if (isVisible())
        RichTextBox1->appendScript(utf8);
    else if (pending_.empty())
        pending_ = std::move(utf8);
    else
        pending_.append(utf8);
}

void Form4::appendText(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    appendText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

bool Form4::isSaved() const {
    return saved_ && pending_.empty();
}

std::string Form4::text() const {
    std::string all = RichTextBox1->script().toString();
    all.append(pending_);
    return all;
}

void Form4::setText(std::string utf8) {
    pending_.clear();
    RichTextBox1->setScript(std::move(utf8));
}

void Form4::takePending() {
    if (pending_.empty()) return;
    if (RichTextBox1->script().empty())
        RichTextBox1->setScript(std::move(pending_));
    else
        RichTextBox1->appendScript(pending_);
    pending_ = std::string();
}

void Form4::showEvent(QShowEvent* event) {
    takePending();
    QDialog::showEvent(event);
}

// ---- closing ----

void Form4::closeEvent(QCloseEvent* event) {
    if (executing_) {
        event->ignore();  // the run must end first
        return;
    }
    // Closing throws the script away: a script that took long to build and was neither run nor
    // saved goes only when the user says so.
    if (isVisible() && !isSaved() && !(RichTextBox1->script().empty() && pending_.empty())) {
        ui::MessageRequest question{kCloseQuestion, ui::applicationTitle(), ui::Buttons::YesNo,
                                    ui::Icon::None};
        question.defaultButton = ui::Answer::No;
        if (ui::prompts().message(question) != ui::Answer::Yes) {
            event->ignore();
            return;
        }
    }
    QDialog::closeEvent(event);
}

void Form4::reject() {
    if (executing_) return;
    QDialog::reject();
}

void Form4::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the window: it would throw the script away.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    // The editor passes on the keys it has no use for; these two run commands of the window.
    if (event->matches(QKeySequence::Find)) {
        event->accept();
        pushButton1Click();
        return;
    }
    if (event->matches(QKeySequence::Save)) {
        event->accept();
        pushButton2Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// ---- Execute ----

void Form4::setNotes(const QString& notes) {
    notes_ = notes;
    Text1->setPlainText(notes);
}

void Form4::appendNote(std::string_view utf8) {
    if (!sendNotes_.isEmpty()) sendNotes_ += QStringLiteral("\r\n");
    sendNotes_ += QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    setNotes(sendNotes_);
}

void Form4::setExecuting(bool on) {
    executing_ = on;
    for (QPushButton* b : {PushButton1, PushButton2, PushButton3, PushButton4})
        b->setEnabled(!on);
    RichTextBox1->setReadOnly(on);
}

void Form4::pushButton3Click() {
    if (executing_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton3_Click"));
    std::unique_ptr<db::Connection> mysql;
    std::unique_ptr<db::Connection> access;
    cmd.step(100, [&] { mysql = std::make_unique<db::Connection>(); });
    cmd.step(102, [&] { access = std::make_unique<db::Connection>(); });
    cmd.step(104, [&] { ui::setMousePointer(this, ui::kPointerBusy); });

    struct Running {
        Form4* w;
        explicit Running(Form4* f) : w(f) { w->setExecuting(true); }
        ~Running() { w->setExecuting(false); }
    } running(this);

    // From here on a failure goes to the "Notes" box.
    auto fail = [&](const std::string& notes, std::size_t selectLine, bool select) {
        ui::setMousePointer(this, ui::kPointerDefault);
        setNotes(sendNotes_ +
                 QString::fromUtf8(notes.data(), static_cast<qsizetype>(notes.size())));
        if (select) RichTextBox1->selectLine(selectLine);
        ui::reportProblem(QStringLiteral("Transfer problem. See Notes."));
    };
    auto describe = [] { return ui::describeCurrentException().toStdString(); };

    // The connection is opened, the lines run and the connection closed in a worker, so that
    // the window keeps painting and its progress bar moves however long a line takes.
    const ui::EndWatch ending;
    db::Connection* connection = nullptr;
    ExecutionSettings settings = executionSettings;
    try {
        const db::LoginFields login = ui::currentLogin();
        if (m_SendType == 0) {
            if (!mysql)
                throw db::Error(db::errc::kGeneric,
                                "The connection to the MySQL database could not be created.");
            mysql->setCursorLocation(db::kAdUseClient);
            const std::string target = db::mySqlConnectionString(login);
            ui::runInWorker([&] { mysql->open(target); });
            connection = mysql.get();
            settings.direction = transfer::Direction::AccessToMySql;
        } else if (m_SendType == 1) {
            if (!access)
                throw db::Error(db::errc::kGeneric,
                                "The connection to the Access database could not be created.");
            access->setCursorLocation(db::kAdUseServer);
            access->setMode(db::kAdModeReadWrite);
            const std::string target =
                db::buildAccessConnectionString(login, login.accessPath, login.accessPassword);
            ui::runInWorker([&] { access->open(target); });
            connection = access.get();
            settings.direction = transfer::Direction::MySqlToAccess;
        } else {
            throw db::Error(db::errc::kGeneric,
                            "The statements have no destination: the send type " +
                                std::to_string(m_SendType) +
                                " is neither 0 (MySQL) nor 1 (Access).");
        }
    } catch (...) {
        fail(std::string(kCrLf) + describe(), 0, false);
        return;
    }

    // Read-only while the run goes (setExecuting), so the worker and the window's painting
    // only read it.
    const ScriptText& script = RichTextBox1->script();
    TextLines lines(script);
    ExecutionHooks hooks;
    hooks.progress = [this](const ExecutionProgress& p) {
        const int percent = p.percent;
        ui::postToUiThread([this, percent] { ProgressBar1->setValue(percent); });
    };
    hooks.cancelled = [&ending] { return ending.programEnding(); };
    ExecutionResult result;
    try {
        ui::runInWorker([&] { result = executeScript(*connection, lines, settings, hooks); });
    } catch (...) {
        fail(std::string(kCrLf) + describe(), 0, false);
        return;
    }
    if (result.statements > 0) ranStatements_ = true;
    if (ending.programEnding()) return;  // the lines before the one it stopped at are in effect
    if (result.status != ExecutionResult::Status::Completed) {
        fail(failureNotes(result, script.line(result.line)), result.line, true);
        return;
    }
    try {
        ui::runInWorker([&] { connection->close(); });
    } catch (...) {
        fail(std::string(kCrLf) + describe(), 0, false);
        return;
    }

    ui::SqlExecuted = true;
    ui::setMousePointer(this, ui::kPointerDefault);
    ui::inform(QStringLiteral("Transfer finished."));
    executing_ = false;
    accept();
}

// ---- Find and Replace ----

void Form4::pushButton1Click() {
    if (executing_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton1_Click"));
    cmd.step(100, [&] {
        Form5 dialog(RichTextBox1, this);
        dialog.exec();
    });
}

// ---- Save ----

void Form4::pushButton2Click() {
    if (executing_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton2_Click"));
    ui::FileDialogRequest request;
    QString chosen;
    QString name;
    cmd.step(100, [&] { request.title = QStringLiteral("Save List"); });
    cmd.step(102, [&] {
        request.filter =
            QStringLiteral("Text Files(*.txt)|*.txt|SQL Files(*.sql)|*.sql|All Files (*.*)|*.*|");
    });
    cmd.step(104, [&] { request.fileName.clear(); });
    cmd.step(106, [&] { chosen = ui::prompts().saveFile(request); });
    cmd.step(108, [&] { name = chosen; });
    if (cmd.test(110, [&] { return name.isEmpty(); })) return;
    cmd.step(112, [&] { ui::setMousePointer(this, ui::kPointerBusy); });

    // Written beside the old file and put in its place on closing, so that a failed save
    // leaves an existing file as it was.
    QSaveFile file;
    file.setDirectWriteFallback(true);
    cmd.step(114, [&] {
        file.setFileName(name);
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("The file " + name.toStdString() +
                                     " could not be created: " + file.errorString().toStdString());
    });
    cmd.step(116, [&] {
        std::string buffer;
        buffer.reserve(std::size_t{4} << 20);
        auto flush = [&] {
            if (buffer.empty()) return;
            if (file.write(buffer.data(), static_cast<qint64>(buffer.size())) !=
                static_cast<qint64>(buffer.size()))
                throw std::runtime_error(
                    "The file " + name.toStdString() +
                    " could not be written: " + file.errorString().toStdString());
            buffer.clear();
        };
        RichTextBox1->script().forEachPiece([&](std::string_view piece) {
            if (buffer.size() + piece.size() > buffer.capacity()) flush();
            if (piece.size() >= buffer.capacity()) {
                if (file.write(piece.data(), static_cast<qint64>(piece.size())) !=
                    static_cast<qint64>(piece.size()))
                    throw std::runtime_error(
                        "The file " + name.toStdString() +
                        " could not be written: " + file.errorString().toStdString());
                return;
            }
            buffer.append(piece);
        });
        buffer.append(kCrLf);
        flush();
    });
    cmd.step(118, [&] {
        if (!file.commit())
            throw std::runtime_error("The file " + name.toStdString() +
                                     " could not be closed: " + file.errorString().toStdString());
        saved_ = true;
    });
    cmd.step(120, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

// ---- Copy ----

void Form4::pushButton4Click() {
    if (executing_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton4_Click"));
    cmd.step(100, [] { ClearClipboardWithRetry(); });
    cmd.step(102, [&] {
        // The clipboard shares the script, and copies it only if the script changes while the
        // clipboard still holds it: a big script is not held twice for a Copy.
        SetClipboardScriptWithRetry(RichTextBox1->script());
    });
    cmd.step(104, [] { ui::inform(QStringLiteral("Data sent to clipboard.")); });
}

}  // namespace review
