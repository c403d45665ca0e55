// The uniform failure policy of user commands.
//
// A command (a button click, a window load) runs its statements as numbered steps. When a step
// fails, the error report box names the description, the command's location and the step
// number, and the command resumes with the next step. A failing condition of a choice counts as
// true, so the statements inside the choice run next.
//
//   ui::Command cmd("Form1", "PushButton2_Click");
//   cmd.step(100, [&] { setMousePointer(11); });
//   if (cmd.test(102, [&] { return text1().isEmpty(); })) { ... }
#pragma once

#include <QString>
#include <exception>
#include <string>
#include <utility>

namespace ui {

extern const QString kSupportEmail;

// "in Quillfen2021/08/31.<form>.<handler> "
QString commandLocation(const QString& form, const QString& handler);

// The report's text: description, CR LF, location, "at line ", step, CR CR, the e-mail request;
// with `sql`, also CR CR "sql: " and the statement.
QString errorReportText(const QString& description, const QString& location, int step,
                        const std::string* sql = nullptr);

// Shows the report: exclamation icon, OK only, titled "Application Error".
void reportCommandError(const QString& description, const QString& location, int step,
                        const std::string* sql = nullptr);

// The description of the exception in flight (db::Error, std::exception, or unknown).
QString describeCurrentException();

class Command {
  public:
    Command(const QString& form, const QString& handler)
        : location_(commandLocation(form, handler)) {}

    const QString& location() const { return location_; }

    // The transfer commands show the statement being built after "sql: ". The pointer must
    // outlive the command.
    void attachSql(const std::string* statement) { sql_ = statement; }

    template <typename F>
    void step(int number, F&& f) {
        try {
            std::forward<F>(f)();
        } catch (...) {
            report(number);
        }
    }

    // Evaluates a condition. A failure is reported and the condition counts as true.
    template <typename F>
    bool test(int number, F&& f) {
        try {
            return static_cast<bool>(std::forward<F>(f)());
        } catch (...) {
            report(number);
            return true;
        }
    }

    // Computes a value; a failure is reported and `fallback` is used.
    template <typename T, typename F>
    T value(int number, T fallback, F&& f) {
        try {
            return std::forward<F>(f)();
        } catch (...) {
            report(number);
            return fallback;
        }
    }

    // Reports the exception in flight as a failure of step `number`.
    void report(int number);

  private:
    QString location_;
    const std::string* sql_ = nullptr;
};

}  // namespace ui
