// Form1: its controls, the field handlers, and the end of the program when it closes.
#include "app/form1.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "ui/app_title.h"
#include "ui/program_state.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace app {

namespace {

// Masked fields show every character as "*".
const QString kMaskedFieldSheet = QStringLiteral("QLineEdit { lineedit-password-character: 42; }");

std::string utf8(const QLineEdit* field) {
    return field->text().toStdString();
}

}  // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(ui::kProductName);
    buildControls();
    connectHandlers();
    ui::setLoginProvider([this] { return loginFields(); });
    ui::setConnectionWindow(this);
    sizeMemory_ = new ui::WindowSizeMemory(this, ui::kKeyForm1Size);
}

Form1::~Form1() {
    ui::setLoginProvider({});
    if (ui::connectionWindow() == this) ui::setConnectionWindow(nullptr);
}

QLineEdit* Form1::addField(const QString& name, bool masked) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    if (masked) {
        field->setEchoMode(QLineEdit::Password);
        field->setStyleSheet(kMaskedFieldSheet);
    }
    return field;
}

QPushButton* Form1::addButton(const QString& name, const QString& caption) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel* Form1::addLabel(const QString& caption) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QStringLiteral("Label") + QString::number(++labelCount_));
    return label;
}

void Form1::buildControls() {
    frame1_ = new QGroupBox(QStringLiteral("MySQL Login"), this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    text1_ = addField(QStringLiteral("Text1"), false);
    text7_ = addField(QStringLiteral("Text7"), false);
    text2_ = addField(QStringLiteral("Text2"), false);
    text3_ = addField(QStringLiteral("Text3"), true);
    text4_ = addField(QStringLiteral("Text4"), false);
    pushButton3_ = addButton(QStringLiteral("PushButton3"), QStringLiteral("Test Connection"));
    pushButton4_ = addButton(QStringLiteral("PushButton4"), QStringLiteral("Help"));
    text7_->setMaximumWidth(80);

    auto* mysql = new QGridLayout(frame1_);
    QLabel* serverLabel = addLabel(QStringLiteral("Server:"));
    QLabel* portLabel = addLabel(QStringLiteral("Port:"));
    mysql->addWidget(serverLabel, 0, 0);
    mysql->addWidget(text1_, 0, 1);
    mysql->addWidget(portLabel, 0, 2);
    mysql->addWidget(text7_, 0, 3);
    mysql->addWidget(addLabel(QStringLiteral("Username:")), 1, 0);
    mysql->addWidget(text2_, 1, 1, 1, 3);
    mysql->addWidget(addLabel(QStringLiteral("Password:")), 2, 0);
    mysql->addWidget(text3_, 2, 1, 1, 3);
    mysql->addWidget(addLabel(QStringLiteral("Database:")), 3, 0);
    mysql->addWidget(text4_, 3, 1, 1, 3);
    auto* mysqlButtons = new QHBoxLayout;
    mysqlButtons->addWidget(pushButton3_);
    mysqlButtons->addWidget(pushButton4_);
    mysql->addLayout(mysqlButtons, 4, 0, 1, 4);

    frame2_ = new QGroupBox(QStringLiteral("Access Database"), this);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    text5_ = addField(QStringLiteral("Text5"), false);
    pushButton1_ = addButton(QStringLiteral("PushButton1"), QStringLiteral("..."));
    text6_ = addField(QStringLiteral("Text6"), true);
    pushButton7_ =
        addButton(QStringLiteral("PushButton7"), QStringLiteral("Load Sample/Example Database"));
    pushButton1_->setMaximumWidth(36);

    auto* access = new QGridLayout(frame2_);
    access->addWidget(addLabel(QStringLiteral("MDB or ACCDB File:")), 0, 0);
    access->addWidget(text5_, 0, 1);
    access->addWidget(pushButton1_, 0, 2);
    access->addWidget(addLabel(QStringLiteral("Password (if required):")), 1, 0);
    access->addWidget(text6_, 1, 1, 1, 2);
    access->addWidget(pushButton7_, 2, 0, 1, 3);

    pushButton2_ = addButton(QStringLiteral("PushButton2"), QStringLiteral("Next >"));

    auto* column = new QVBoxLayout(this);
    column->addWidget(frame1_);
    column->addWidget(frame2_);
    column->addWidget(pushButton2_);
    // A taller window keeps its controls together at the top; a wider one widens the fields.
    column->addStretch(1);
    setMinimumWidth(420);

    // The keyboard walks the MySQL login first, then the Access file.
    QWidget* order[] = {text1_,       text7_, text2_,       text3_, text4_,       pushButton3_,
                        pushButton4_, text5_, pushButton1_, text6_, pushButton7_, pushButton2_};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void Form1::connectHandlers() {
    // Every change of a field, typed or assigned, is saved under its key at once.
    const std::pair<QLineEdit*, QString> saved[] = {
        {text1_, ui::kKeyServer},   {text2_, ui::kKeyUser},       {text3_, ui::kKeyPassword},
        {text4_, ui::kKeyDatabase}, {text5_, ui::kKeyAccessFile}, {text6_, ui::kKeyAccessPassword},
        {text7_, ui::kKeyPort}};
    for (const auto& [field, key] : saved) {
        connect(field, &QLineEdit::textChanged, this,
                [key = key](const QString& text) { ui::saveSetting(key, text); });
        ui::selectAllOnFocus(field);
    }
    ui::showPathFromItsStart(text5_);

    connect(pushButton1_, &QPushButton::clicked, this, &Form1::pushButton1Click);
    connect(pushButton2_, &QPushButton::clicked, this, &Form1::pushButton2Click);
    connect(pushButton3_, &QPushButton::clicked, this, &Form1::pushButton3Click);
    connect(pushButton4_, &QPushButton::clicked, this, &Form1::pushButton4Click);
    connect(pushButton7_, &QPushButton::clicked, this, &Form1::pushButton7Click);

    ui::installHoverConvention(
        this, {pushButton1_, pushButton2_, pushButton3_, pushButton4_, pushButton7_},
        {this, frame1_, frame2_, text1_, text2_, text3_, text4_, text5_, text6_, text7_});
}

db::LoginFields Form1::loginFields() const {
    return {utf8(text1_), utf8(text7_), utf8(text2_), utf8(text3_),
            utf8(text4_), utf8(text5_), utf8(text6_)};
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    ui::endProgram();
}

}  // namespace app
