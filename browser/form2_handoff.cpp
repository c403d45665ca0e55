// Form2Handoff.
#include "browser/form2_handoff.h"

#include "browser/form2.h"
#include "browser/list_tables.h"
#include "ui/program_state.h"

namespace browser {

Form2Handoff::Form2Handoff() = default;
Form2Handoff::~Form2Handoff() = default;

Form2& Form2Handoff::form() {
    if (!form_) {
        form_ = std::make_unique<Form2>();
        form_->formLoad();
    }
    return *form_;
}

void Form2Handoff::listAccessTables() {
    Form2& f = form();
    browser::listAccessTables(*f.list1(), QString::fromStdString(ui::currentLogin().accessPath));
}

void Form2Handoff::listMySqlTables() {
    browser::listMySqlTables(*form().list2());
}

void Form2Handoff::showBrowser() {
    Form2& f = form();
    f.show();
    f.activateWindow();
}

}  // namespace browser
