#include "tabulate/KeywordTable.h"

#include "platform/File.h"
#include "tabulate/ColumnSpec.h"
#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

const char* const kBuiltInKeywords[] = {
    "ACCOUNT",     "BILL-TO", "BUYER",    "CC",      "CHANNEL", "CHECK",     "CUSTOMER",
    "DESCRIPTION", "ITEM",    "LOCATION", "PART",    "PHONE",   "PROD LINE", "PROJECT",
    "REF",         "REMARKS", "SITE",     "SHIP-TO", "SOLD-TO", "SUPPLIER",  "TIME",
};

}  // namespace

KeywordTable::KeywordTable(const ConfigFileRegistry& registry) {
    const std::string fileName = ToUpper(kKeywordFileName);
    for (const std::string& name : registry.fileNames) {
        if (ToUpper(name) != fileName) continue;
        std::string contents;
        if (tarn::ReadWholeFile(registry.baseFolder + kKeywordFileName, &contents)) {
            size_t begin = 0;
            while (begin < contents.size()) {
                size_t end = contents.find('\n', begin);
                if (end == std::string::npos) end = contents.size();
                const std::string keyword(Trim(std::string_view(contents).substr(begin, end - begin)));
                if (!keyword.empty()) Add(ToUpper(keyword), kTypeText);
                begin = end + 1;
            }
        }
        break;
    }
    for (const char* keyword : kBuiltInKeywords) Add(keyword, kTypeText);
}

void KeywordTable::Add(const std::string& keyword, int type) {
    for (const Entry& entry : entries_) {
        if (entry.keyword == keyword) return;
    }
    entries_.push_back({keyword, type});
}

int KeywordTable::Lookup(const std::string& title) const {
    const std::string upper = ToUpper(title);
    for (const Entry& entry : entries_) {
        const std::string& keyword = entry.keyword;
        if (!keyword.empty() && keyword.back() == '*') {
            if (StartsWith(upper, keyword.substr(0, keyword.size() - 1))) return entry.type;
        } else if (upper == keyword) {
            return entry.type;
        }
    }
    return 0;
}

ConfigFileRegistry& KeywordTable::Registry() {
    static ConfigFileRegistry registry;
    return registry;
}

const KeywordTable& KeywordTable::Shared() {
    static const KeywordTable table(Registry());
    return table;
}

}  // namespace tarn::tabulate
