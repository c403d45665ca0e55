// The text of the delete question.
#include "browser/delete_question.h"

#include <algorithm>

namespace browser {

std::string deleteQuestionText(const std::vector<std::string>& names, std::string_view database) {
    const std::string from = " from " + std::string(database) + "?\r\n";
    const std::string tail = "This cannot be undone.";
    if (names.size() == 1) return "Delete the table " + names.front() + from + tail;
    std::string text = "Delete these " + std::to_string(names.size()) + " tables" + from;
    const std::size_t shown = std::min(names.size(), kDeleteQuestionNames);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) text += ", ";
        text += names[i];
    }
    if (names.size() > shown) text += " and " + std::to_string(names.size() - shown) + " more";
    return text + "\r\n" + tail;
}

}  // namespace browser
