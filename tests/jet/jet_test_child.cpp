// A second program for the engine's tests: what another process does to a database while a test
// holds it, or while a test kills it.
//
//   jet_test_child open PATH ro|rw   prints "opened", or the error message, and ends
//   jet_test_child hold PATH         opens PATH for writing, opens a transaction and writes a
//                                    page, prints "ready" and waits to be killed
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "db/jet/database.h"
#include "db/jet/error.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: jet_test_child open PATH ro|rw | hold PATH\n");
        return 2;
    }
    const std::string command = argv[1];
    const std::string path = argv[2];
    try {
        jet::OpenOptions options;
        if (command == "open") {
            options.mode = argc > 3 && std::strcmp(argv[3], "rw") == 0 ? jet::OpenMode::ReadWrite
                                                                       : jet::OpenMode::ReadOnly;
            auto db = jet::Database::open(path, options);
            std::printf("opened");
            return 0;
        }
        if (command == "hold") {
            options.mode = jet::OpenMode::ReadWrite;
            auto db = jet::Database::open(path, options);
            db->beginTransaction();
            db->pager().allocatePage(jet::page_type::kData);
            std::printf("ready\n");
            std::fflush(stdout);
            for (;;)
                ::pause();
        }
    } catch (const jet::Error& e) {
        std::printf("%s", e.message().c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
