// Pictures of every window of the program, for a person to look at: each window at the size it
// opens at and again made larger, as a window manager draws it (title bar and borders), taken
// from the screen. Run by scripts/screenshot-windows.sh under a virtual X server.
//
//   window_gallery OUTPUT_FOLDER
//
// The windows are the program's own, filled as a user would see them: the connection window
// with a long Access path, the table browser with sixteen MySQL tables and the tables of a new
// Access file (and once as a send shows it while it works), the type customisation dialog for a
// MySQL table, the review window with a 70,000-character line scrolled to its end and a failure in
// "Notes", the find-and-replace dialog over it, the questions and error boxes through the program's
// own message boxes, and the rename input box. Needs the test server of DM_TEST_MYSQL_*; settings
// go to a scratch folder. Prints each picture's path.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QInputDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/form1.h"
#include "browser/form2.h"
#include "browser/list_tables.h"
#include "browser/table_list.h"
#include "browser/text_progress_bar.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/write/new_database.h"
#include "review/form4.h"
#include "review/form5.h"
#include "review/script_editor.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "typecustom/form3.h"
#include "ui/app_title.h"
#include "ui/busy_window.h"
#include "ui/command.h"
#include "ui/message_box.h"
#include "ui/program_state.h"
#include "ui/window_helpers.h"

namespace {

namespace fs = std::filesystem;

QString gOut;

// Lets the window manager map, place and draw what was shown.
void settle(int ms = 700) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The window with its frame as the screen shows it. The window system does not always tell a
// window its frame in time; the frame seen around an earlier window stands in then.
void shoot(QWidget* w, const QString& name) {
    static QMargins lastFrame;
    settle();
    for (int i = 0; i < 20 && w->frameGeometry().size() == w->size(); ++i)
        settle(150);
    settle(300);
    QRect r = w->frameGeometry();
    if (r.size() == w->size())
        r = r.marginsAdded(lastFrame);
    else
        lastFrame =
            QMargins(w->geometry().left() - r.left(), w->geometry().top() - r.top(),
                     r.right() - w->geometry().right(), r.bottom() - w->geometry().bottom());
    QScreen* screen = w->screen();
    const QPixmap picture = screen->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    const QString path = gOut + "/" + name + ".png";
    picture.save(path);
    std::printf("%s  (%dx%d, window %dx%d)\n", qPrintable(path), r.width(), r.height(), w->width(),
                w->height());
    std::fflush(stdout);
}

// The window at its opening size and again made larger by `grow`.
void shootBoth(QWidget* w, const QString& name, QSize grow,
               const std::function<void()>& after = {}) {
    w->show();
    w->raise();
    w->activateWindow();
    if (after) {
        settle(300);
        after();
    }
    shoot(w, name + "-default");
    w->resize(w->size() + grow);
    if (after) {
        settle(300);
        after();
    }
    shoot(w, name + "-larger");
    w->hide();
}

void shootBox(const ui::MessageRequest& request, const QString& name) {
    auto box = ui::createMessageBox(request, nullptr);
    box->show();
    shoot(box.get(), name);
    box->hide();
}

std::string memo(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; s.size() < n; ++i)
        s += "Line " + std::to_string(i) + " of a long memo, with an apostrophe '' in it. ";
    s.resize(n);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_gallery OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    gOut = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOut);
    testenv::TempDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((dir.path() / "config").string()));
    ui::setApplicationTitle();
    if (testenv::mysqlServer().host.empty()) {
        std::fprintf(stderr, "window_gallery needs the test server (DM_TEST_MYSQL_*)\n");
        return 2;
    }

    // Sixteen MySQL tables, one of them with a row for the type dialog.
    testenv::MySqlScratch scratch;
    const char* tables[] = {"actor",         "address",   "category",  "city",
                            "country",       "customer",  "film",      "film_actor",
                            "film_category", "film_text", "inventory", "language",
                            "payment",       "rental",    "staff",     "store"};
    for (const char* t : tables)
        scratch.exec(std::string("CREATE TABLE `") + t + "` (id INT)");
    scratch.exec(
        "CREATE TABLE `customer_details` (customer_id INT, first_name VARCHAR(45), last_name "
        "VARCHAR(45), email VARCHAR(50), address_id SMALLINT, active BIT(1), create_date "
        "DATETIME, last_update TIMESTAMP, notes TEXT, balance DECIMAL(10,2))");
    scratch.exec(
        "INSERT INTO `customer_details` VALUES (1, 'Mary', 'Smith', 'mary@example.com', 5, 1, "
        "'2006-02-14 22:04:36', '2006-02-15 04:57:20', 'Prefers mail', 12.50)");

    // A new Access file under a long path, with a few tables.
    const fs::path folder =
        dir.path() / "Documents" / "Customers and suppliers" / "2024" / "Quarterly figures";
    fs::create_directories(folder);
    const fs::path accessFile = folder / "Shop database of the northern region.mdb";
    jet::createDatabase(accessFile.string(), jet::Version::Jet4);
    db::LoginFields login = scratch.login();
    login.accessPath = accessFile.string();
    {
        db::Connection cn;
        cn.open(db::buildAccessConnectionString(login));
        for (const char* t : {"Orders", "Order Details", "Products", "Suppliers", "Employees"})
            cn.execute(std::string("CREATE TABLE `") + t + "`(`id` INT, `name` TEXT(50))");
    }

    // The connection window is the program's source of the login, as when it runs.
    app::Form1 form1;
    const std::pair<const char*, std::string> fields[] = {
        {"Text1", login.server},        {"Text7", login.port},     {"Text2", login.user},
        {"Text3", login.password},      {"Text4", login.database}, {"Text5", login.accessPath},
        {"Text6", login.accessPassword}};
    for (const auto& [name, value] : fields)
        form1.findChild<QLineEdit*>(name)->setText(QString::fromStdString(value));
    shootBoth(&form1, "form1-connection", QSize(300, 150));

    browser::Form2 form2;
    form2.formLoad();
    browser::listAccessTables(*form2.list1(), QString::fromStdString(login.accessPath));
    browser::listMySqlTables(*form2.list2());
    form2.list2()->setItemSelected(2, true);
    form2.list2()->setItemSelected(5, true);
    shootBoth(&form2, "form2-browser", QSize(360, 260));
    {
        // As a send shows it while a table is read: buttons and boxes disabled, the bar moving.
        const ui::BusyWindow busy(&form2);
        form2.progressBar1()->setValue(67);
        ui::setMousePointer(&form2, ui::kPointerBusy);
        form2.show();
        shoot(&form2, "form2-browser-busy");
        form2.hide();
        ui::setMousePointer(&form2, ui::kPointerDefault);
        form2.progressBar1()->setValue(0);
    }

    typecustom::Form3& form3 = typecustom::form3();
    form3.mType = "ACCESS";
    form3.mTableName = "customer_details";
    form3.mSQL = "CREATE TABLE `customer_details`(";
    {
        typecustom::Form3Window w(form3);
        shootBoth(&w, "form3-type-customization", QSize(300, 200));
    }

    review::Form4 form4;
    form4.m_SendType = 0;
    const std::string longLine = "INSERT INTO `notes` VALUES('7', '" + memo(70000) + "')";
    form4.appendText(
        "DROP TABLE `notes`\r\nCREATE TABLE `notes`(`id` INT,`memo` LONGTEXT)\r\n\r\n"
        "INSERT INTO `notes` VALUES('6', 'short')\r\n" +
        longLine + "\r\nINSERT INTO `notes` VALUES('8', 'short again')\r\n");
    form4.Text1->setPlainText(
        QStringLiteral("INSERT INTO `notes` VALUES('8', 'short again')\r\nTable 'notes' "
                       "doesn't exist"));
    auto toLineEnd = [&] {
        form4.RichTextBox1->setFocus();
        form4.RichTextBox1->setCursorPosition({4, longLine.size()});
    };
    shootBoth(&form4, "form4-review-long-line-at-its-end", QSize(400, 250), toLineEnd);

    form4.show();
    toLineEnd();
    {
        review::Form5 dialog(form4.RichTextBox1, &form4);
        dialog.Text1->setText(QStringLiteral("`notes`"));
        dialog.Text2->setText(QStringLiteral("`notes_2024`"));
        shootBoth(&dialog, "form5-find-and-replace", QSize(300, 100));
    }
    form4.hide();

    shootBox({QStringLiteral("Delete these 7 tables from the MySQL database?\r\nactor, address, "
                             "category, city, country and 2 more\r\nThis cannot be undone."),
              QStringLiteral("Delete?"), ui::Buttons::YesNo, ui::Icon::None, ui::Answer::No},
             "box-delete-question");
    shootBox({QStringLiteral("Close without executing or saving the script?"),
              ui::applicationTitle(), ui::Buttons::YesNo, ui::Icon::None, ui::Answer::No},
             "box-close-question");
    shootBox({QStringLiteral("Would you like to overwrite store?"), QStringLiteral("Overwrite?"),
              ui::Buttons::YesNo, ui::Icon::None},
             "box-overwrite-question");
    shootBox({ui::errorReportText(QStringLiteral("Table 'store' already exists."),
                                  ui::commandLocation("Form2", "PushButton4_Click"), 152),
              QStringLiteral("Application Error"), ui::Buttons::Ok, ui::Icon::Exclamation},
             "box-error-report");
    shootBox({QStringLiteral("Transfer problem. See Notes."), ui::applicationTitle(),
              ui::Buttons::Ok, ui::Icon::Exclamation},
             "box-transfer-problem");
    shootBox({QStringLiteral("Could not connect. Please check with your administrator. Make sure "
                             "you are allowed to connect to your database remotely and not just "
                             "through web-based control panels."),
              ui::applicationTitle(), ui::Buttons::Ok, ui::Icon::Exclamation},
             "box-could-not-connect");
    shootBox({QStringLiteral("Done."), QStringLiteral("A title much longer than its short text")},
             "box-long-title");

    QInputDialog input;
    input.setWindowTitle(ui::applicationTitle());
    input.setLabelText(QStringLiteral("Enter new name of Order Details:"));
    input.setTextValue(QStringLiteral("Order Details"));
    input.show();
    shoot(&input, "box-rename-input");
    input.hide();
    return 0;
}
