// Changing copies of Access fixtures for tests: bytes of the file, and the database password the
// way Access stores it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testenv {

std::vector<std::uint8_t> readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes);

// Gives the .mdb at `path` the database password `password`: the text (UTF-16LE in Jet 4, the
// code page in Jet 3) padded with zeros, in Jet 4 XORed with the four bytes of the whole part of
// the creation date, then masked with the header's RC4 key stream. Throws std::runtime_error
// when the file is not an Access file or the password does not fit.
void setDatabasePassword(const std::filesystem::path& path, const std::string& password);

}  // namespace testenv
