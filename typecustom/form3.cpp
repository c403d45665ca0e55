// The type customisation dialog: layout, selection, "Change", "OK", "Help", "Cancel" and the
// question before closing.
#include "typecustom/form3.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <cmath>
#include <stdexcept>

#include "db/sql_names.h"
#include "typecustom/field_names.h"
#include "typecustom/type_proposal.h"
#include "typecustom/type_vocabulary.h"
#include "ui/app_title.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace typecustom {

namespace {

const QString kForm = QStringLiteral("Form3");

// The designer's twips: 15 to a pixel at 96 dots per inch, scaled with the screen.
class Twips {
  public:
    explicit Twips(const QWidget* w) {
        const QScreen* screen = w->screen();
        const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
        scale_ = dpi / 96.0 / 15.0;
    }
    int operator()(int twips) const { return static_cast<int>(std::lround(twips * scale_)); }
    QRect rect(int left, int top, int width, int height) const {
        return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
    }

  private:
    double scale_;
};

std::string itemText(const QListWidget* list, int row) {
    const QListWidgetItem* item = list->item(row);
    if (!item)
        throw std::out_of_range("The list has no item at position " + std::to_string(row) + ".");
    return item->text().toStdString();
}

// Removes the last character (a whole UTF-8 sequence) of `s`.
void removeLastCharacter(std::string& s) {
    if (s.empty()) throw std::invalid_argument("The statement is empty; it has no last character.");
    std::size_t n = s.size() - 1;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80)
        --n;
    s.erase(n);
}

}  // namespace

Form3& form3() {
    static Form3 instance;
    return instance;
}

void Form3::showModal(QWidget* parent) {
    Form3Window window(*this, parent);
    window.exec();
}

Form3Window::Form3Window(Form3& form, QWidget* parent) : QDialog(parent), form_(form) {
    form_.window_ = this;
    buildControls();
    formLoad();
    sizeMemory_ = new ui::WindowSizeMemory(this, ui::kKeyForm3Size);
    sizeMemory_->restore();
}

void Form3Window::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layout_.apply(size() - designedSize_);
}

Form3Window::~Form3Window() {
    if (form_.window_ == this) form_.window_ = nullptr;
}

QString dialogTitle(const std::string& tableName) {
    QString title = QStringLiteral("Data Type Customization");
    if (!tableName.empty()) title += QStringLiteral(" - ") + QString::fromStdString(tableName);
    return title;
}

void Form3Window::buildControls() {
    // The dialog opens once for each table of a send: its title says which.
    setWindowTitle(dialogTitle(form_.mTableName));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    const Twips tw(this);
    // Opens at its designed size; larger, the two lists take the extra room.
    designedSize_ = QSize(tw(8040), tw(6240));
    setMinimumSize(designedSize_);

    auto button = [&](const QString& caption, QWidget* parent) {
        auto* b = new QPushButton(caption, parent);
        b->setAutoDefault(false);  // Enter in the text box presses nothing
        b->setDefault(false);
        return b;
    };
    pushButton3_ = button(QStringLiteral("Help"), this);
    frame1_ = new QGroupBox(QStringLiteral("Fields"), this);
    list1_ = new QListWidget(frame1_);
    frame2_ = new QGroupBox(QStringLiteral("Data Type"), this);
    list2_ = new QListWidget(frame2_);
    for (QListWidget* l : {list1_, list2_}) {
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        l->setSortingEnabled(false);
    }
    frame3_ = new QGroupBox(QStringLiteral("Change selected data type to"), this);
    text1_ = new QLineEdit(frame3_);
    pushButton1_ = button(QStringLiteral("Change"), frame3_);
    pushButton2_ = button(QStringLiteral("OK"), this);
    pushButton4_ = button(QStringLiteral("Cancel"), this);

    layout_.add(pushButton3_, tw.rect(120, 120, 7800, 405), {0, 0, 1, 0});
    layout_.add(frame1_, tw.rect(120, 570, 3840, 3660), {0, 0, 0.5, 1});
    layout_.add(list1_, tw.rect(120, 300, 3600, 3240), {0, 0, 0.5, 1});
    layout_.add(frame2_, tw.rect(4080, 570, 3840, 3660), {0.5, 0, 0.5, 1});
    layout_.add(list2_, tw.rect(120, 300, 3600, 3240), {0, 0, 0.5, 1});
    layout_.add(frame3_, tw.rect(120, 4290, 7800, 1320), {0, 1, 1, 0});
    layout_.add(text1_, tw.rect(120, 300, 7560, 345), {0, 0, 1, 0});
    layout_.add(pushButton1_, tw.rect(120, 750, 7560, 405), {0, 0, 1, 0});
    layout_.add(pushButton2_, tw.rect(120, 5730, 3840, 405), {0, 1, 0.5, 0});
    layout_.add(pushButton4_, tw.rect(4080, 5730, 3840, 405), {0.5, 1, 0.5, 0});
    resize(designedSize_);

    // The designer's tab order: List1, List2, OK, Cancel, Help, Text1, Change.
    setTabOrder(list1_, list2_);
    setTabOrder(list2_, pushButton2_);
    setTabOrder(pushButton2_, pushButton4_);
    setTabOrder(pushButton4_, pushButton3_);
    setTabOrder(pushButton3_, text1_);
    setTabOrder(text1_, pushButton1_);

    connect(list1_, &QListWidget::currentRowChanged, this, &Form3Window::list1Click);
    connect(list2_, &QListWidget::currentRowChanged, this, &Form3Window::list2Click);
    connect(pushButton1_, &QPushButton::clicked, this, &Form3Window::pushButton1Click);
    connect(pushButton2_, &QPushButton::clicked, this, &Form3Window::pushButton2Click);
    connect(pushButton3_, &QPushButton::clicked, this, &Form3Window::pushButton3Click);
    connect(pushButton4_, &QPushButton::clicked, this, &Form3Window::pushButton4Click);

    ui::installHoverConvention(this, {pushButton1_, pushButton2_, pushButton3_, pushButton4_},
                               {this, frame1_, frame2_, frame3_, list1_, list2_, text1_});
}

void Form3Window::formLoad() {
    ui::Command cmd(kForm, QStringLiteral("Form_Load"));
    cmd.step(100, [&] { ui::prepareWindowColours(this); });
    cmd.step(102, [&] { ui::setApplicationIcon(this); });
    if (cmd.test(104, [] { return ui::handPointerFileExists(); }))
        cmd.step(106, [&] { ui::loadHandPointer(this); });
    cmd.step(108, [&] { mChanged_ = false; });
    if (cmd.test(110, [&] { return form_.mType == kTargetAccess; }))
        cmd.step(112, [&] { InferTypesFromMySQL(); });
    else if (cmd.test(114, [&] { return form_.mType == kTargetMySql; }))
        cmd.step(116, [&] { InferTypesFromAccess(); });
    cmd.step(118, [&] {
        if (list1_->count() > 0) list1_->setCurrentRow(0);  // raises List1_Click
    });
}

void Form3Window::list1Click() {
    if (list1_->count() == 0) return;
    const int row = list1_->currentRow();
    list2_->setCurrentRow(row);
    const QListWidgetItem* item = list2_->item(row);
    text1_->setText(item ? item->text() : QString());
}

void Form3Window::list2Click() {
    if (list2_->count() == 0) return;
    const int row = list2_->currentRow();
    list1_->setCurrentRow(row);
    const QListWidgetItem* item = list2_->item(row);
    text1_->setText(item ? item->text() : QString());
}

void Form3Window::pushButton1Click() {
    if (okRunning_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton1_Click"));
    if (cmd.test(100, [&] { return IsValidDataType(text1_->text().toStdString()); })) {
        cmd.step(102, [&] {
            QListWidgetItem* item = list2_->item(list2_->currentRow());
            if (!item) throw std::out_of_range("No data type is selected.");
            item->setText(text1_->text());
        });
        cmd.step(104, [&] { mChanged_ = true; });
    } else {
        cmd.step(106, [] { ui::inform(QStringLiteral("Invalid datatype.")); });
    }
}

void Form3Window::pushButton2Click() {
    if (okRunning_) return;
    okRunning_ = true;
    ui::Command cmd(kForm, QStringLiteral("PushButton2_Click"));
    const bool access = cmd.test(100, [&] { return form_.mType == kTargetAccess; });
    if (access && !renameFieldsAccessCannotHold()) {
        okRunning_ = false;  // a rename was declined: the dialog stays open as it was
        return;
    }
    // The same steps are numbered from 102 for an Access target and from 126 for MySQL.
    const int base = access ? 0 : 24;
    const IdentifierQuotes quotes = identifierQuotes(access ? kTargetAccess : kTargetMySql);
    std::vector<std::string> fieldNames;
    for (int i = 0; i < list1_->count(); ++i)
        fieldNames.push_back(itemText(list1_, i));

    const int count = cmd.value(base + 102, 0, [&] { return list2_->count(); });
    for (int i = 0; i < count; ++i) {
        cmd.step(base + 104, [] { ui::processPendingEvents(); });
        std::string name;
        std::string identifier;
        std::string currentName;  // the column's name in the statement
        if (cmd.test(base + 106, [&] {
                name = itemText(list1_, i);
                currentName = name;
                return isNumericName(name);
            })) {
            std::string replacement;
            cmd.step(base + 108, [&] { replacement = NewFieldName(fieldNames); });
            cmd.step(base + 110, [&] { identifier = quoteFieldName(quotes, replacement); });
            currentName = replacement;
            cmd.step(base + 112, [&] { form_.mOldFieldNames.push_back(name); });
            cmd.step(base + 114, [&] { form_.mNewFieldNames.push_back(replacement); });
        } else {
            cmd.step(base + 116, [&] { identifier = quoteFieldName(quotes, name); });
        }
        cmd.step(base + 118, [&] {
            std::string type = itemText(list2_, i);
            if (form_.mColumnDecorator)
                type =
                    form_.mColumnDecorator(static_cast<std::size_t>(i), currentName, type, false);
            form_.mSQL += identifier;
            form_.mSQL += ' ';
            form_.mSQL += type;
            form_.mSQL += ',';
        });
    }
    cmd.step(base + 122, [&] { removeLastCharacter(form_.mSQL); });
    cmd.step(base + 124, [&] { form_.mSQL += ')'; });
    cmd.step(150, [&] { mChanged_ = false; });
    cmd.step(152, [] { ui::CustomizeCancelled = false; });
    okRunning_ = false;
    cmd.step(154, [&] { done(QDialog::Accepted); });
}

bool Form3Window::renameFieldsAccessCannotHold() {
    for (int i = 0; i < list1_->count(); ++i) {
        QListWidgetItem* item = list1_->item(i);
        std::string name = item->text().toStdString();
        // A numeric name is replaced by OK itself.
        if (isNumericName(name)) continue;
        std::string problem = db::accessNameProblem(name);
        while (!problem.empty()) {
            const QString answer = ui::prompts().input(
                {QString::fromStdString(db::accessNameRefusal(name, "column", problem) +
                                        " Type a name for the column in the Access table:"),
                 ui::applicationTitle(), QString::fromStdString(accessNameSuggestion(name))});
            if (answer.isEmpty()) return false;
            name = answer.toStdString();
            problem = db::accessNameProblem(name);
        }
        if (name != item->text().toStdString()) item->setText(QString::fromStdString(name));
    }
    return true;
}

void Form3Window::pushButton3Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton3_Click"));
    auto show = [&] {
        ui::inform(QString::fromStdString(helpText(form_.mType).value_or(std::string())));
    };
    if (cmd.test(100, [&] { return form_.mType == kTargetAccess; }))
        cmd.step(102, show);
    else if (cmd.test(104, [&] { return form_.mType == kTargetMySql; }))
        cmd.step(106, show);
}

void Form3Window::pushButton4Click() {
    if (okRunning_) return;
    ui::Command cmd(kForm, QStringLiteral("PushButton4_Click"));
    cmd.step(100, [&] { done(QDialog::Rejected); });
}

bool Form3Window::formQueryUnload() {
    ui::Command cmd(kForm, QStringLiteral("Form_QueryUnload"));
    bool cancel = false;
    if (cmd.test(100, [&] { return mChanged_; })) {
        ui::Answer answer = ui::Answer::No;  // a question that fails keeps the dialog open
        cmd.step(102, [&] {
            answer = ui::prompts().message(
                {QStringLiteral("Data type has been change.\r\nDo you still want to exit without "
                                "changes?"),
                 ui::applicationTitle(), ui::Buttons::YesNo, ui::Icon::None});
        });
        if (answer == ui::Answer::No) cmd.step(104, [&] { cancel = true; });
    }
    return !cancel;
}

void Form3Window::done(int result) {
    // Every way of closing (Cancel, OK, the close box, Escape) comes here.
    if (okRunning_) return;
    if (!formQueryUnload()) return;
    QDialog::done(result);
}

}  // namespace typecustom
