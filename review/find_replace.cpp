// Replacing every occurrence of a text.
#include "review/find_replace.h"

#include <algorithm>
#include <cstring>

namespace review {

Replacer::Replacer(std::string_view find, std::string_view with)
    : find_(find), with_(with), searcher_(find_.begin(), find_.end()) {}

std::size_t Replacer::appendReplaced(std::string& out, std::string_view text) const {
    std::size_t count = 0;
    auto pos = text.begin();
    const auto end = text.end();
    while (pos != end) {
        const auto [matchBegin, matchEnd] = searcher_(pos, end);
        if (matchBegin == end) break;
        out.append(pos, matchBegin);
        out.append(with_);
        pos = matchEnd;
        ++count;
    }
    out.append(pos, end);
    return count;
}

std::size_t Replacer::replaceInPlace(std::string& text) const {
    std::size_t count = 0;
    char* const data = text.data();
    const char* read = data;
    const char* const end = data + text.size();
    char* write = data;
    // What is written never reaches the part not yet searched: each replacement is no longer
    // than the match it stands for.
    while (read != end) {
        const auto [matchBegin, matchEnd] = searcher_(read, end);
        if (matchBegin == end) break;
        std::memmove(write, read, static_cast<std::size_t>(matchBegin - read));
        write += matchBegin - read;
        std::memcpy(write, with_.data(), with_.size());
        write += with_.size();
        read = matchEnd;
        ++count;
    }
    std::memmove(write, read, static_cast<std::size_t>(end - read));
    write += end - read;
    text.resize(static_cast<std::size_t>(write - data));
    return count;
}

std::string replaceAllOccurrences(std::string_view text, std::string_view find,
                                  std::string_view with, std::size_t* count) {
    if (find.empty()) {
        if (count) *count = 0;
        return std::string(text);
    }
    std::string out;
    out.reserve(with.size() > find.size() ? text.size() + text.size() / 8 : text.size());
    const std::size_t n = Replacer(find, with).appendReplaced(out, text);
    if (count) *count = n;
    return out;
}

}  // namespace review
