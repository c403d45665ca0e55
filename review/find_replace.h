// Replacing every occurrence of one text by another: the work behind "Replace All".
//
// Matching is exact and byte-for-byte on UTF-8 (so case-sensitive, and a match always starts and
// ends on a character boundary of valid UTF-8). The scan runs left to right over the text as it
// was before the replacement; after a match it goes on behind the matched text, so replaced text
// is never scanned again: 'aa' by 'a' turns 'aaaa' into 'aa', and 'a' by 'ab' turns 'aa' into
// 'abab'. There is no limit on the number of replacements.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace review {

class Replacer {
  public:
    // REQUIRES: `find` is not empty. Both views must outlive the replacer.
    Replacer(std::string_view find, std::string_view with);

    // Appends `text` with every match replaced to `out`; returns the number of replacements.
    std::size_t appendReplaced(std::string& out, std::string_view text) const;
    // Replaces every match in `text` itself, which never needs a second buffer since the result
    // is no longer than the text; returns the number of replacements. REQUIRES: the replacement
    // is not longer than what it replaces.
    std::size_t replaceInPlace(std::string& text) const;

  private:
    std::string_view find_;
    std::string_view with_;
    std::boyer_moore_horspool_searcher<std::string_view::const_iterator> searcher_;
};

// `text` with every occurrence of `find` replaced by `with`; an empty `find` leaves it unchanged.
std::string replaceAllOccurrences(std::string_view text, std::string_view find,
                                  std::string_view with, std::size_t* count = nullptr);

}  // namespace review
