// Which column types an Access file can hold beyond those of every version: Large Number
// (64-bit whole numbers, from ACE 16, Access 2016) and Date/Time Extended (from ACE 17). A send
// to Access picks its column types by them.
#pragma once

#include <string>

namespace jet {
enum class Version;
}

namespace db {

struct AccessFileFeatures {
    bool largeNumber = false;
    bool extendedDate = false;
};

// The features of the file at `path`, told by the version byte of its header; none when the
// file cannot be read or is of no version the engine knows.
AccessFileFeatures accessFileFeatures(const std::string& path);

// The features of a file of `version`.
AccessFileFeatures accessVersionFeatures(jet::Version version);

}  // namespace db
