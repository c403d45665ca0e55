// dunmorrow-make-sample OUTPUT: writes the program's sample database (sample_database.h).
#include <iostream>

#include "app/sample/sample_database.h"
#include "db/jet/base/error.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: dunmorrow-make-sample OUTPUT.mdb\n";
        return 2;
    }
    try {
        sample::writeSampleDatabase(argv[1]);
    } catch (const jet::Error& e) {
        std::cerr << "dunmorrow-make-sample: " << e.message() << "\n";
        return 1;
    }
    return 0;
}
