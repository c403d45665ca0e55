// The folders that nothing may be written into.
#include "db/read_only_folders.h"

#include <filesystem>
#include <mutex>
#include <vector>

namespace db {

namespace {

std::mutex gMutex;
std::vector<std::filesystem::path> gFolders;

// The canonical form, or an empty path when there is none (no such file, no permission).
std::filesystem::path canonical(const std::string& name) {
    std::error_code ec;
    auto p = std::filesystem::canonical(name, ec);
    return ec ? std::filesystem::path() : p;
}

bool within(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p)
        if (p == path.end() || *p != *f) return false;
    return true;
}

}  // namespace

void addReadOnlyFolder(const std::string& folder) {
    if (folder.empty()) return;
    auto p = canonical(folder);
    if (p.empty() || !std::filesystem::is_directory(p)) return;
    std::lock_guard<std::mutex> guard(gMutex);
    gFolders.push_back(std::move(p));
}

void clearReadOnlyFolders() {
    std::lock_guard<std::mutex> guard(gMutex);
    gFolders.clear();
}

bool inReadOnlyFolder(const std::string& path) {
    std::lock_guard<std::mutex> guard(gMutex);
    if (gFolders.empty()) return false;
    const auto p = canonical(path);
    if (p.empty()) return false;
    for (const auto& folder : gFolders)
        if (within(p, folder)) return true;
    return false;
}

}  // namespace db
