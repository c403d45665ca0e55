// The db::Error a piece of test code throws.
#pragma once

#include <gtest/gtest.h>

#include "db/error.h"

namespace testenv {

// Runs `f` and returns the db::Error it throws (a test failure when it throws none).
template <typename F>
db::Error errorOf(F&& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no db::Error was thrown";
    return db::Error(0, "");
}

}  // namespace testenv
