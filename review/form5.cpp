// The find-and-replace dialog.
#include "review/form5.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "review/script_editor.h"
#include "ui/command.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/twips.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace review {

namespace {
const QString kForm = QStringLiteral("Form5");
}

Form5::Form5(ScriptEditor* target, QWidget* parent) : QDialog(parent), target_(target) {
    const ui::Twips tw(this);
    setWindowTitle(QStringLiteral("Find and Replace"));
    setModal(true);
    // Opens at its designed size and may be made wider, the two text boxes growing; its height
    // has nothing to give room to.
    designedSize_ = QSize(tw(8040), tw(1590));
    setMinimumSize(designedSize_);
    setMaximumHeight(designedSize_.height());

    Label1[0] = new QLabel(QStringLiteral("Find what:"), this);
    Text1 = new QLineEdit(this);
    Label1[1] = new QLabel(QStringLiteral("Replace with:"), this);
    Text2 = new QLineEdit(this);
    PushButton3 = new QPushButton(QStringLiteral("Replace All"), this);
    PushButton1 = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {PushButton3, PushButton1})
        b->setAutoDefault(false);
    // A caption wider than its designed box (fonts differ from the designer's) may use the room
    // up to the text boxes rather than be cut.
    auto caption = [&](QLabel* label, const QRect& designed) {
        QRect r = designed;
        const int room = tw(1440 - 60) - r.x();
        if (label->sizeHint().width() > r.width())
            r.setWidth(std::min(room, label->sizeHint().width()));
        layout_.add(label, r, {});
    };
    caption(Label1[0], tw.rect(120, 165, 855, 225));
    layout_.add(Text1, tw.rect(1440, 120, 6480, 345), {0, 0, 1, 0});
    caption(Label1[1], tw.rect(120, 645, 1140, 225));
    layout_.add(Text2, tw.rect(1440, 600, 6480, 345), {0, 0, 1, 0});
    layout_.add(PushButton3, tw.rect(120, 1080, 3840, 405), {0, 0, 0.5, 0});
    layout_.add(PushButton1, tw.rect(4080, 1080, 3840, 405), {0.5, 0, 0.5, 0});
    resize(designedSize_);
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, PushButton3);
    setTabOrder(PushButton3, PushButton1);

    connect(PushButton3, &QPushButton::clicked, this, &Form5::pushButton3Click);
    connect(PushButton1, &QPushButton::clicked, this, &Form5::pushButton1Click);
    ui::installHoverConvention(this, {PushButton3, PushButton1}, {this, Text1, Text2});
    formLoad();
    sizeMemory_ = new ui::WindowSizeMemory(this, ui::kKeyForm5Size);
    sizeMemory_->restore();
    Text1->setFocus();
}

void Form5::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    layout_.apply(size() - designedSize_);
}

void Form5::formLoad() {
    ui::Command cmd(kForm, QStringLiteral("Form_Load"));
    cmd.step(100, [&] { ui::prepareWindowColours(this); });
    cmd.step(102, [&] { ui::setApplicationIcon(this); });
    if (cmd.test(104, [] { return ui::handPointerFileExists(); }))
        cmd.step(106, [&] { ui::loadHandPointer(this); });
}

void Form5::pushButton3Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton3_Click"));
    if (cmd.test(100, [&] { return Text1->text().isEmpty() || Text2->text().isEmpty(); })) {
        cmd.step(106, [] { ui::inform(QStringLiteral("Please fill both textboxes.")); });
        return;
    }
    cmd.step(102, [&] {
        const QByteArray find = Text1->text().toUtf8();
        const QByteArray with = Text2->text().toUtf8();
        target_->replaceAll(
            std::string_view(find.constData(), static_cast<std::size_t>(find.size())),
            std::string_view(with.constData(), static_cast<std::size_t>(with.size())));
    });
    cmd.step(104, [&] { accept(); });
}

void Form5::pushButton1Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton1_Click"));
    cmd.step(100, [&] { reject(); });
}

}  // namespace review
