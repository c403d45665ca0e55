// Rendering values for tab-separated output.
#include "app/cli/tsv.h"

namespace cli {

std::string escapeField(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\0':
                out += "\\0";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string formatField(const db::Value& v) {
    switch (v.kind()) {
        case db::Value::Kind::Null:
            return "\\N";
        case db::Value::Kind::Boolean:
            return v.asBoolean() ? "1" : "0";
        case db::Value::Kind::DateTime:
            return v.asDateTime().toIsoString('T');
        case db::Value::Kind::Text:
            return escapeField(v.asText());
        default:
            // Numbers, exact values, binary and GUIDs have no characters that need escaping.
            return v.toDebugString();
    }
}

}  // namespace cli
