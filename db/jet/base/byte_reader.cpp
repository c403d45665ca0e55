// Failure paths of the byte reader and writer, kept out of line so the checks stay small.
#include "db/jet/base/byte_reader.h"

#include <string>

#include "db/jet/base/byte_writer.h"

namespace jet {

void ByteReader::fail(const char* problem, std::size_t offset) const {
    throwCorrupt(std::string(what_) + ": " + problem, page_,
                 static_cast<std::int64_t>(base_ + offset));
}

void ByteReader::outOfBounds(std::size_t offset, std::size_t length) const {
    throwCorrupt(std::string(what_) + ": " + std::to_string(length) + " bytes at offset " +
                     std::to_string(base_ + offset) + " run past its end at " +
                     std::to_string(base_ + bytes_.size()),
                 page_);
}

void ByteWriter::outOfBounds(std::size_t offset, std::size_t length) const {
    throwCorrupt(std::string(what_) + ": " + std::to_string(length) + " bytes written at offset " +
                     std::to_string(base_ + offset) + " would run past its end at " +
                     std::to_string(base_ + bytes_.size()),
                 page_);
}

}  // namespace jet
