// The program: the connection window's start-up sequence starts everything; closing it ends
// the program.
#include <QApplication>

#include "app/form1.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::Form1 form1;
    // A failed engine check ends the program before any window shows.
    if (!form1.formLoad()) return 1;
    return QApplication::exec();
}
