// Who claims each page of a file: the header, the free-page map, a table's definition, rows,
// long values, index, usage maps. Two claims on one page, or a page listed free and claimed,
// are damage; the integrity check (check.h) and the check before writing (write_check.h) both
// record claims here, and name the pages they find of the wrong kind alike.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jet {

struct Format;
struct Page;
class Pager;

// What a page is claimed as. Usage-map rows share their pages with each other and with the
// data of the table that owns the page, so such claims never conflict with those.
enum class Claim {
    None,
    Header,
    FreeMap,
    Free,
    Definition,
    Data,
    LongValue,
    Index,
    MapRows,
    MapBitmap
};

class PageClaims {
  public:
    struct Owner {
        Claim claim = Claim::None;
        std::string who;
    };
    // `problem` receives each conflict as a sentence.
    PageClaims(std::uint32_t pages, std::function<void(std::string)> problem)
        : owners_(pages), problem_(std::move(problem)) {}

    void claim(std::uint32_t page, Claim claim, const std::string& who);
    const Owner& owner(std::uint32_t page) const { return owners_[page]; }
    std::uint32_t size() const { return static_cast<std::uint32_t>(owners_.size()); }

  private:
    std::vector<Owner> owners_;
    std::function<void(std::string)> problem_;
};

// What a page is, for a sentence about a page of the wrong kind: "a long-value page", "a data
// page of the table defined at page 9", "an index page", "no page of a known kind (its first
// byte is 0)", ...
std::string pageKind(const Page& page, const Format& format);
// "page 7" or "pages 7, 9 and 12" (at most five named, then how many more).
std::string pageList(const std::vector<std::uint32_t>& pages);
// "The usage map of table "T" lists page 7, which must be its data pages but is an index page."
// for the pages of `pages` (not empty) a map lists though they are not `must`.
std::string wrongPagesSentence(const std::string& map, const std::string& must,
                               const std::vector<std::uint32_t>& pages, Pager& pager);

}  // namespace jet
