// Form2: the layout in the designer's twips, the load routine, the check boxes, "Select All",
// "Deselect All", "< Back", "Help", the window height, and the end of the program on close.
#include "browser/form2.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QGroupBox>
#include <QPushButton>
#include <stdexcept>

#include "browser/table_list.h"
#include "browser/text_progress_bar.h"
#include "review/form4.h"
#include "ui/app_title.h"
#include "ui/command.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/twips.h"
#include "ui/web_addresses.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace browser {

namespace {

const QString kForm = QStringLiteral("Form2");
const QString kCheckCaption = QStringLiteral("Send with data type customization");
const QString kKeysCaption = QStringLiteral("Send keys and indexes");

// The bottom of "< Back" (top 5960, height 405) and the designer's allowance for the title bar,
// the borders and the margin below.
constexpr int kBackBottomTwips = 5960 + 405;
constexpr int kHeightAllowanceTwips = 580;
constexpr int kClientWidthTwips = 8040;

QFont windowFont() {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(9);
    f.setBold(true);
    return f;
}

QFont buttonFont() {
    QFont f(QStringLiteral("Arial"));
    f.setPointSizeF(11.25);
    f.setBold(true);
    return f;
}

}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent) {
    setObjectName(kForm);
    buildControls();
    connectHandlers();
}

Form2::~Form2() = default;

QPushButton* Form2::addButton(QWidget* parent, const QString& name, const QString& caption,
                              const QRect& where, ui::Growth growth) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    layout_.add(button, where, growth);
    button->setFont(buttonFont());
    button->setAutoDefault(false);
    return button;
}

void Form2::buildControls() {
    setFont(windowFont());
    const ui::Twips tw(this);

    // The two halves mirror each other: each control of Frame1 has its twin at the same place
    // in Frame2. In a larger window each half takes half the extra width and all the extra
    // height, which goes to its list; the controls below the list move down with it.
    const ui::Growth halfWidth{0, 1, 0.5, 0};  // a row below the list
    auto half = [&](const QString& frameName, const QString& caption, int left, double moves) {
        auto* frame = new QGroupBox(caption, this);
        frame->setObjectName(frameName);
        layout_.add(frame, tw.rect(left, 120, 3840, 5200), {moves, 0, 0.5, 1});
        return frame;
    };
    auto list = [&](QGroupBox* frame, const QString& name) {
        auto* l = new TableList(frame);
        l->setObjectName(name);
        layout_.add(l, tw.rect(240, 360, 3330, 1635), {0, 0, 0.5, 1});
        return l;
    };
    auto check = [&](QGroupBox* frame, const QString& name, const QString& caption, int top) {
        auto* c = new QCheckBox(caption, frame);
        c->setObjectName(name);
        layout_.add(c, tw.rect(240, top, 3330, 405), halfWidth);
        return c;
    };
    const ui::Growth firstOfTwo{0, 1, 0.25, 0};
    const ui::Growth secondOfTwo{0.25, 1, 0.25, 0};

    frame1_ = half(QStringLiteral("Frame1"), QStringLiteral("Access Tables"), 120, 0);
    list1_ = list(frame1_, QStringLiteral("List1"));
    pushButton10_ = addButton(frame1_, QStringLiteral("PushButton10"), QStringLiteral("Select All"),
                              tw.rect(240, 2100, 1600, 400), firstOfTwo);
    pushButton11_ =
        addButton(frame1_, QStringLiteral("PushButton11"), QStringLiteral("Deselect All"),
                  tw.rect(1960, 2100, 1600, 400), secondOfTwo);
    pushButton3_ =
        addButton(frame1_, QStringLiteral("PushButton3"), QStringLiteral("Send Table/s To MySQL"),
                  tw.rect(240, 2600, 3330, 405), halfWidth);
    check15_ = check(frame1_, QStringLiteral("Check15"), kCheckCaption, 3100);
    check17_ = check(frame1_, QStringLiteral("Check17"), kKeysCaption, 3600);
    pushButton1_ =
        addButton(frame1_, QStringLiteral("PushButton1"), QStringLiteral("Delete Table/s"),
                  tw.rect(240, 4100, 3330, 405), halfWidth);
    pushButton6_ = addButton(frame1_, QStringLiteral("PushButton6"), QStringLiteral("Rename Table"),
                             tw.rect(240, 4600, 3330, 405), halfWidth);

    frame2_ = half(QStringLiteral("Frame2"), QStringLiteral("MySQL Tables"), 4080, 0.5);
    list2_ = list(frame2_, QStringLiteral("List2"));
    pushButton8_ = addButton(frame2_, QStringLiteral("PushButton8"), QStringLiteral("Select All"),
                             tw.rect(240, 2100, 1600, 400), firstOfTwo);
    pushButton9_ = addButton(frame2_, QStringLiteral("PushButton9"), QStringLiteral("Deselect All"),
                             tw.rect(1960, 2100, 1600, 400), secondOfTwo);
    pushButton4_ =
        addButton(frame2_, QStringLiteral("PushButton4"), QStringLiteral("Send Table/s To Access"),
                  tw.rect(240, 2600, 3330, 405), halfWidth);
    check16_ = check(frame2_, QStringLiteral("Check16"), kCheckCaption, 3100);
    check18_ = check(frame2_, QStringLiteral("Check18"), kKeysCaption, 3600);
    pushButton5_ =
        addButton(frame2_, QStringLiteral("PushButton5"), QStringLiteral("Delete Table/s"),
                  tw.rect(240, 4100, 3330, 405), halfWidth);
    pushButton7_ = addButton(frame2_, QStringLiteral("PushButton7"), QStringLiteral("Rename Table"),
                             tw.rect(240, 4600, 3330, 405), halfWidth);

    progressBar1_ = new TextProgressBar(this);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    layout_.add(progressBar1_, tw.rect(120, 5440, 7800, 405), {0, 1, 1, 0});
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    progressBar1_->setTextVisible(true);
    progressBar1_->setAlignment(Qt::AlignCenter);
    setProgressText(QStringLiteral("Progress Bar"));

    pushButton2_ = addButton(this, QStringLiteral("PushButton2"), QStringLiteral("< Back"),
                             tw.rect(120, 5960, 3840, 405), {0, 1, 0.5, 0});
    pushButton12_ = addButton(this, QStringLiteral("PushButton12"), QStringLiteral("Help"),
                              tw.rect(4080, 5960, 3840, 405), {0.5, 1, 0.5, 0});

    // Until the load routine fits it, the window is as high as its content.
    sizeMemory_ = new ui::WindowSizeMemory(this, ui::kKeyForm2Size);
    designedSize_ = QSize(tw(kClientWidthTwips), tw(kBackBottomTwips + kHeightAllowanceTwips));
    setMinimumSize(designedSize_);
    resize(designedSize_);
}

void Form2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layout_.apply(size() - designedSize_);
}

void Form2::connectHandlers() {
    connect(pushButton1_, &QPushButton::clicked, this, &Form2::pushButton1Click);
    connect(pushButton2_, &QPushButton::clicked, this, &Form2::pushButton2Click);
    connect(pushButton3_, &QPushButton::clicked, this, &Form2::pushButton3Click);
    connect(pushButton4_, &QPushButton::clicked, this, &Form2::pushButton4Click);
    connect(pushButton5_, &QPushButton::clicked, this, &Form2::pushButton5Click);
    connect(pushButton6_, &QPushButton::clicked, this, &Form2::pushButton6Click);
    connect(pushButton7_, &QPushButton::clicked, this, &Form2::pushButton7Click);
    connect(pushButton8_, &QPushButton::clicked, this, &Form2::pushButton8Click);
    connect(pushButton9_, &QPushButton::clicked, this, &Form2::pushButton9Click);
    connect(pushButton10_, &QPushButton::clicked, this, &Form2::pushButton10Click);
    connect(pushButton11_, &QPushButton::clicked, this, &Form2::pushButton11Click);
    connect(pushButton12_, &QPushButton::clicked, this, &Form2::pushButton12Click);
    // A box whose state changes, by a click or by the program, runs its click handler.
    connect(check15_, &QCheckBox::toggled, this, &Form2::check15Click);
    connect(check16_, &QCheckBox::toggled, this, &Form2::check16Click);
    connect(check17_, &QCheckBox::toggled, this, &Form2::check17Click);
    connect(check18_, &QCheckBox::toggled, this, &Form2::check18Click);

    ui::installHoverConvention(
        this,
        {pushButton1_, pushButton2_, pushButton3_, pushButton4_, pushButton5_, pushButton6_,
         pushButton7_, pushButton8_, pushButton9_, pushButton10_, pushButton11_, pushButton12_},
        {this, frame1_, frame2_, list1_, list2_});
}

void Form2::setProgressText(const QString& text) {
    progressBar1_->setCaption(text);
}

QString Form2::progressText() const {
    return progressBar1_->caption();
}

void Form2::formLoad() {
    ui::Command cmd(kForm, QStringLiteral("Form_Load"));
    cmd.step(100, [&] { ui::prepareWindowColours(this); });
    cmd.step(102, [&] { ui::setApplicationIcon(this); });
    if (cmd.test(106, [&] { return ui::handPointerFileExists(); }))
        cmd.step(108, [&] { ui::loadHandPointer(this); });
    cmd.step(110, [&] { setWindowTitle(ui::kProductName); });
    // Only the exact text "0" leaves a box clear; a box that changes writes "1" or "0" back.
    cmd.step(112, [&] {
        check15_->setChecked(ui::getSetting(ui::kKeyDataTypeChange1, QStringLiteral("0")) !=
                             QStringLiteral("0"));
    });
    cmd.step(114, [&] {
        check16_->setChecked(ui::getSetting(ui::kKeyDataTypeChange2, QStringLiteral("0")) !=
                             QStringLiteral("0"));
    });
    cmd.step(116, [&] { fitHeightToContent(); });
    // The "Send keys and indexes" boxes, the same way (clear when never stored).
    cmd.step(118, [&] {
        check17_->setChecked(ui::getSetting(ui::kKeySendKeys1, QStringLiteral("0")) !=
                             QStringLiteral("0"));
    });
    cmd.step(120, [&] {
        check18_->setChecked(ui::getSetting(ui::kKeySendKeys2, QStringLiteral("0")) !=
                             QStringLiteral("0"));
    });
}

void Form2::fitHeightToContent() {
    const ui::Twips tw(this);
    const int frame = isVisible() ? frameGeometry().height() - geometry().height() : 0;
    const int outer = tw(kBackBottomTwips + kHeightAllowanceTwips);
    const int client = outer - std::max(frame, 0);
    if (client <= tw(kBackBottomTwips))
        throw std::runtime_error("The window frame leaves no room for the window's content.");
    // The fitted size is the designed one: the window opens at it (unless the user gave it
    // another size, then or in an earlier run) and is never made smaller.
    const ui::WindowSizeMemory::ProgramResize own(*sizeMemory_);
    const bool firstFit = fittedFrameHeight_ < 0;
    designedSize_ = QSize(tw(kClientWidthTwips), client);
    setMinimumSize(designedSize_);
    if (!sizeMemory_->userSized() && !(firstFit && sizeMemory_->restore())) resize(designedSize_);
    layout_.apply(size() - designedSize_);
    fittedFrameHeight_ = std::max(frame, 0);
}

void Form2::refitIfFrameChanged() {
    if (fittedFrameHeight_ < 0) return;  // not loaded yet
    const int frame = frameGeometry().height() - geometry().height();
    if (frame != fittedFrameHeight_) {
        try {
            fitHeightToContent();
        } catch (...) {
            // A frame too tall for the rule keeps the height of the last fit.
        }
    }
}

void Form2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refitIfFrameChanged();
}

void Form2::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager reports its frame after the window appeared, with a move.
    refitIfFrameChanged();
}

void Form2::selectAll(const QString& handler, TableList* list, bool selected) {
    ui::Command cmd(kForm, handler);
    const int count = cmd.value(100, 0, [&] { return list->listCount(); });
    // Each item from the first to the last joins the marked run; the run is applied at once.
    int last = -1;
    for (int i = 0; i < count; ++i) {  // 104: advancing to the next item
        cmd.step(102, [&] {
            list->itemText(i);  // the item must still be there
            last = i;
        });
    }
    if (last >= 0) cmd.step(102, [&] { list->setRangeSelected(0, last, selected); });
    // The commands want a current item besides a selection; a list that has none (the Access
    // listing leaves none) gets its first item, so that everything selected counts.
    if (selected && last >= 0)
        cmd.step(102, [&] {
            if (list->listIndex() == -1) list->setListIndex(0);
        });
}

void Form2::pushButton10Click() {
    selectAll(QStringLiteral("PushButton10_Click"), list1_, true);
}
void Form2::pushButton11Click() {
    selectAll(QStringLiteral("PushButton11_Click"), list1_, false);
}
void Form2::pushButton8Click() {
    selectAll(QStringLiteral("PushButton8_Click"), list2_, true);
}
void Form2::pushButton9Click() {
    selectAll(QStringLiteral("PushButton9_Click"), list2_, false);
}

void Form2::checkClick(const QString& handler, const QCheckBox* box, const QString& key) {
    ui::Command cmd(kForm, handler);
    cmd.step(100, [&] {
        if (!ui::saveSetting(key, box->isChecked() ? QStringLiteral("1") : QStringLiteral("0")))
            throw std::runtime_error("The settings file " + ui::settingsFilePath().toStdString() +
                                     " could not be written.");
    });
}

void Form2::check15Click() {
    checkClick(QStringLiteral("Check15_Click"), check15_, ui::kKeyDataTypeChange1);
}
void Form2::check16Click() {
    checkClick(QStringLiteral("Check16_Click"), check16_, ui::kKeyDataTypeChange2);
}
void Form2::check17Click() {
    checkClick(QStringLiteral("Check17_Click"), check17_, ui::kKeySendKeys1);
}
void Form2::check18Click() {
    checkClick(QStringLiteral("Check18_Click"), check18_, ui::kKeySendKeys2);
}

void Form2::pushButton2Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton2_Click"));
    cmd.step(100, [&] {
        QWidget* form1 = ui::connectionWindow();
        if (!form1) throw std::runtime_error("The connection window is not loaded.");
        form1->show();
    });
    cmd.step(102, [&] { hide(); });
}

QString Form2::helpText() {
    return QStringLiteral("Questions? Please contact Team Kestrelane at ") +
           ui::kContactPageAddress;
}

void Form2::pushButton12Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton12_Click"));
    cmd.step(100, [&] { ui::inform(helpText()); });
}

void Form2::closeEvent(QCloseEvent* event) {
    event->accept();
    ui::endProgram();
}

}  // namespace browser
