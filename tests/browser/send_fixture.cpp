// The send command tests' fixture.
#include "tests/browser/send_fixture.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>

#include "browser/list_tables.h"

namespace browsertest {

std::string emptyDatabaseLike(const std::string& fixture) {
    if (fixture.find("/V2003/") != std::string::npos) return "access/empty/empty2003.mdb";
    if (fixture.find("/V2007/") != std::string::npos) return "access/empty/empty2007.accdb";
    if (fixture.find("/V2010/") != std::string::npos) return "access/empty/empty2010.accdb";
    if (fixture.find("/V2019/") != std::string::npos) return "access/empty/empty2019.accdb";
    return "access/empty/empty.mdb";  // Access 2000 and the other Jet 4 files
}

ModalScript::ModalScript(browser::Form2& form) : form_(form) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
    timer_.start();
}

ModalScript::~ModalScript() = default;

void ModalScript::onForm3(std::function<void(typecustom::Form3Window&)> act) {
    steps_.push_back({true, std::move(act), {}});
}

void ModalScript::onForm4(std::function<void(review::Form4&)> act) {
    steps_.push_back({false, {}, std::move(act)});
}

void ModalScript::tick() {
    if (steps_.empty()) {
        if (auto* w = typecustom::form3().window(); w && w->isVisible()) {
            ++unexpected_;
            w->pushButton4()->click();
        }
        if (auto* w = form_.form4(); w && w->isVisible() && !w->isExecuting()) {
            ++unexpected_;
            w->reject();
        }
        return;
    }
    Step& next = steps_.front();
    if (next.form3) {
        typecustom::Form3Window* w = typecustom::form3().window();
        if (!w || !w->isVisible()) return;
        auto act = std::move(next.act3);
        steps_.pop_front();
        act(*w);
    } else {
        review::Form4* w = form_.form4();
        if (!w || !w->isVisible()) return;
        auto act = std::move(next.act4);
        steps_.pop_front();
        act(*w);
    }
}

void SendTest::SetUp() {
    BrowserTest::SetUp();
    // A test before this one may have ended the program's event loop with no loop running, or
    // left a request to quit waiting; modal loops would then return at once. A short run of the
    // application's loop takes both away.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    modal = std::make_unique<ModalScript>(form());
    ui::SqlExecuted = false;
    ui::CustomizeCancelled = false;
}

void SendTest::TearDown() {
    EXPECT_EQ(modal->pending(), 0u) << "a window the test waited for was not shown";
    EXPECT_EQ(modal->unexpected(), 0) << "a window the test did not expect was shown";
    modal.reset();
    QApplication::setQuitOnLastWindowClosed(true);
    BrowserTest::TearDown();
}

std::shared_ptr<ReviewSeen> SendTest::expectReview(bool execute) {
    auto seen = std::make_shared<ReviewSeen>();
    modal->onForm4([seen, execute](review::Form4& w) {
        seen->shown = true;
        seen->text = w.text();
        seen->sendType = w.m_SendType;
        if (!execute) {
            w.reject();
            return;
        }
        w.pushButton3Click();
        seen->notes = w.notes();
        seen->executedWithoutTrouble = !w.isVisible();
        if (w.isVisible()) w.reject();
    });
    return seen;
}

void SendTest::acceptCustomisation(std::vector<std::string>* proposed) {
    modal->onForm3([proposed](typecustom::Form3Window& w) {
        if (proposed) {
            proposed->clear();
            for (int i = 0; i < w.list2()->count(); ++i)
                proposed->push_back(w.list2()->item(i)->text().toStdString());
        }
        w.pushButton2()->click();
    });
}

void SendTest::cancelCustomisation() {
    modal->onForm3([](typecustom::Form3Window& w) { w.pushButton4()->click(); });
}

void SendTest::listBoth() {
    browser::listAccessTables(*list1(), QString::fromStdString(login.accessPath));
    browser::listMySqlTables(*list2());
}

void SendTest::select(browser::TableList* list, const QStringList& items) {
    for (const QString& name : items) {
        bool found = false;
        for (int i = 0; i < list->listCount(); ++i) {
            if (list->itemText(i) == name) {
                list->setItemSelected(i, true);
                found = true;
            }
        }
        ASSERT_TRUE(found) << "no item " << name.toStdString();
    }
}

QStringList SendTest::overwriteQuestions() const {
    QStringList out;
    for (const auto& m : prompts.messages())
        if (m.title == "Overwrite?") out << m.text;
    return out;
}

}  // namespace browsertest
