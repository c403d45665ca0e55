// Replacing every occurrence of a text.
#include "review/find_replace.h"

#include <algorithm>

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
