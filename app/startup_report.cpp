// The start-up report and the prompt service that prints.
#include "app/startup_report.h"

#include <QApplication>
#include <QListWidget>
#include <QStringList>
#include <ostream>

#include "app/form1.h"
#include "ui/window_helpers.h"

namespace app {

namespace {

QString windowName(const QWidget* window) {
    if (window->objectName() == QStringLiteral("Form1")) return QStringLiteral("connection window");
    if (window->objectName() == QStringLiteral("Form2")) return QStringLiteral("table browser");
    return window->objectName().isEmpty() ? QString::fromLatin1(window->metaObject()->className())
                                          : window->objectName();
}

QString listReport(const QString& caption, const QWidget* browser, const QString& listName) {
    const auto* list = browser ? browser->findChild<const QListWidget*>(listName) : nullptr;
    if (!list) return caption + QStringLiteral(": not listed\n");
    QString out = caption + QStringLiteral(": ") + QString::number(list->count()) + '\n';
    for (int i = 0; i < list->count(); ++i)
        out += '\t' + list->item(i)->text() + '\n';
    return out;
}

}  // namespace

QString startupReport(const Form1& form1) {
    QString out;
    const QWidget* browser = nullptr;
    QStringList shown;
    for (const QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QStringLiteral("Form2")) browser = w;
        if (w->isVisible()) shown << windowName(w);
    }
    shown.sort();  // the toolkit keeps its windows in no particular order
    for (const QString& name : shown)
        out += QStringLiteral("Shown: ") + name + '\n';
    out += QStringLiteral("Access file: ") +
           QString::fromStdString(form1.loginFields().accessPath) + '\n';
    const QString sample = ui::programFile(QStringLiteral("Samples/sample.mdb"));
    out += QStringLiteral("Sample database: ") + sample +
           (ui::fileExists(sample) ? QString() : QStringLiteral(" (missing)")) + '\n';
    out += listReport(QStringLiteral("Access tables"), browser, QStringLiteral("List1"));
    out += listReport(QStringLiteral("MySQL tables"), browser, QStringLiteral("List2"));
    return out;
}

void ReportingPrompts::print(const QString& what, const QString& title, const QString& text) {
    ++requests_;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace('\r', '\n');
    out_ << what.toStdString() << " \"" << title.toStdString() << "\": " << shown.toStdString()
         << '\n';
    out_.flush();
}

ui::Answer ReportingPrompts::message(const ui::MessageRequest& request) {
    print(QStringLiteral("Message box"), request.title, request.text);
    switch (request.buttons) {
        case ui::Buttons::Ok:
            return ui::Answer::Ok;
        case ui::Buttons::YesNo:
            return ui::Answer::No;
        case ui::Buttons::OkCancel:
        case ui::Buttons::YesNoCancel:
            break;
    }
    return ui::Answer::Cancel;
}

QString ReportingPrompts::input(const ui::InputRequest& request) {
    print(QStringLiteral("Input box"), request.title, request.prompt);
    return {};
}

QString ReportingPrompts::openFile(const ui::FileDialogRequest& request) {
    print(QStringLiteral("Open dialog"), request.title, request.fileName);
    return {};
}

QString ReportingPrompts::saveFile(const ui::FileDialogRequest& request) {
    print(QStringLiteral("Save dialog"), request.title, request.fileName);
    return {};
}

}  // namespace app
