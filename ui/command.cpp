// The error report box.
#include "ui/command.h"

#include <stdexcept>

#include "db/error.h"
#include "ui/prompt_service.h"

namespace ui {

const QString kSupportEmail = QStringLiteral("support@dunmorrow.example.com");

QString commandLocation(const QString& form, const QString& handler) {
    return "in Quillfen2021/08/31." + form + "." + handler + " ";
}

QString errorReportText(const QString& description, const QString& location, int step,
                        const std::string* sql) {
    QString text = description + "\r\n" + location + "at line " + QString::number(step) + "\r\r" +
                   "Please email screenshot of this message to " + kSupportEmail;
    if (sql) text += "\r\rsql: " + QString::fromStdString(*sql);
    return text;
}

void reportCommandError(const QString& description, const QString& location, int step,
                        const std::string* sql) {
    prompts().message({errorReportText(description, location, step, sql),
                       QStringLiteral("Application Error"), Buttons::Ok, Icon::Exclamation});
}

QString describeCurrentException() {
    try {
        throw;
    } catch (const db::Error& e) {
        return QString::fromStdString(e.description());
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error.");
    }
}

void Command::report(int number) {
    reportCommandError(describeCurrentException(), location_, number, sql_);
}

}  // namespace ui
