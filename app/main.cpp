// The program: the connection window's start-up sequence starts everything; closing it or the
// table browser ends the program.
#include <QApplication>

#include "app/form1.h"
#include "browser/form2_handoff.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    // "Next >" creates the table browser through the handoff on first use.
    browser::Form2Handoff browser;
    ui::setBrowserHandoff(&browser);
    app::Form1 form1;
    // A failed engine check ends the program before any window shows.
    const int status = form1.formLoad() ? QApplication::exec() : 1;
    ui::setBrowserHandoff(nullptr);
    return status;
}
