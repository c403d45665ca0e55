// The type vocabulary and the help texts.
#include "typecustom/type_vocabulary.h"

#include <array>

#include "typecustom/type_proposal.h"

namespace typecustom {

namespace {

constexpr std::array<std::string_view, 27> kVocabulary{
    "MEMO",
    "bigint",
    "Binary (50)",
    "Bit",
    "Char (10)",
    "DateTime",
    "decimal(18, 0)",
    "Float",
    "Image",
    "int",
    "Money",
    "nchar (10)",
    "ntext",
    "numeric(18, 0)",
    "nvarchar (50)",
    "Real",
    "smalldatetime",
    "SmallInt",
    "smallmoney",
    "sql_variant",
    "Text",
    "TimeStamp",
    "tinyint",
    "uniqueidentifier",
    "VarBinary (50)",
    "VarChar (50)",
    "xml",
};

constexpr std::array<std::string_view, 4> kParameterised{"binary(", "char(", "decimal(",
                                                         "numeric("};

constexpr std::array<std::string_view, 7> kAccessHelp{"Text",     "Memo",  "INT",      "DECIMAL",
                                                      "DATETIME", "FLOAT", "OLEOBJECT"};

constexpr std::array<std::string_view, 26> kMySqlHelp{
    "Text",
    "Bit",
    "Boolean",
    "DateTime",
    "Date",
    "Time",
    "Timestamp",
    "Integer",
    "numeric(18, 0)",
    "SmallInt",
    "Tinyint",
    "Mediumint",
    "Bigint",
    "VarChar (50)",
    "Char (50)",
    "Double(18,0)",
    "Float(18,0)",
    "Tinytext",
    "Tinyblob",
    "Blob",
    "Mediumtext",
    "Mediumblob",
    "Longtext",
    "Longblob",
    "Set(1,2,3,so on)",
    "Enum(1,2,3,so on)",
};

// Letter case is folded for ASCII letters; the vocabulary holds no others.
std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

template <std::size_t N>
std::string joinLines(const std::array<std::string_view, N>& lines) {
    std::string s;
    for (std::size_t i = 0; i < N; ++i) {
        if (i) s += "\r\n";
        s += lines[i];
    }
    return s;
}

}  // namespace

const std::string& dataTypeVocabulary() {
    static const std::string joined = joinLines(kVocabulary);
    return joined;
}

bool IsValidDataType(std::string_view text) {
    static const std::string folded = lower(dataTypeVocabulary());
    const std::string t = lower(text);
    if (folded.find(t) != std::string::npos) return true;
    for (auto p : kParameterised)
        if (t.find(p) != std::string::npos) return true;
    return false;
}

std::optional<std::string> helpText(std::string_view mType) {
    if (mType == kTargetAccess)
        return "The following are the Data Types of ACCESS: \r\n" + joinLines(kAccessHelp);
    if (mType == kTargetMySql)
        return "The following are the Data Types of MySQL: \r\n" + joinLines(kMySqlHelp);
    return std::nullopt;
}

}  // namespace typecustom
