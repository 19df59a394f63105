#include "overprint/PatternCache.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include "overprint/Messages.h"

namespace tarn::overprint {
namespace {

// Every pattern matches caseless, with ^ and $ at line boundaries.
constexpr uint32_t kCompileOptions = PCRE2_CASELESS | PCRE2_MULTILINE;
// Match vector of 45 integers: room for the whole match and 14 groups
// (a third of the vector was the matcher's own workspace).
constexpr uint32_t kMatchPairs = 15;
// A group this long or longer does not fit the copy buffer and is copied
// as an empty string.
constexpr std::size_t kSubstringBuffer = 512;
// Size of the buffer for the library's error texts.
constexpr std::size_t kErrorTextSize = 256;

std::string ErrorText(int code) {
    PCRE2_UCHAR buffer[kErrorTextSize];
    int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (n < 0) return "unknown error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

}  // namespace

PatternCache::Entry::~Entry() {
    pcre2_match_data_free(matchData);
    pcre2_code_free(code);
}

PatternCache::PatternCache() = default;
PatternCache::~PatternCache() = default;

bool PatternCache::Add(const std::string& key, const std::string& pattern) {
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                                     kCompileOptions, &errorCode, &errorOffset, nullptr);
    if (code == nullptr) {
        PrintOut("*** Compile expression error: " + ErrorText(errorCode) + "\n");
        return false;
    }
    // The JIT compile is the study step. A build without JIT support simply
    // has no study data; any other failure makes the pattern unusable.
    int jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    if (jit != 0 && jit != PCRE2_ERROR_JIT_BADOPTION) {
        PrintOut("*** Study expression error: " + ErrorText(jit) + "\n");
        pcre2_code_free(code);
        return false;
    }
    if (entries_.count(key) != 0) {
        pcre2_code_free(code);
        return true;
    }
    auto entry = std::make_unique<Entry>();
    entry->pattern = pattern;
    entry->code = code;
    entry->matchData = pcre2_match_data_create(kMatchPairs, nullptr);
    entries_.emplace(key, std::move(entry));
    return true;
}

bool PatternCache::Matches(const Entry& entry, const char* subject, std::size_t size) {
    return pcre2_match(entry.code, reinterpret_cast<PCRE2_SPTR>(subject), size, 0, 0, entry.matchData,
                       nullptr) > 0;
}

int PatternCache::Execute(const std::string& key, const std::string& subject, int group, std::size_t* begin,
                          std::size_t* end) {
    auto found = entries_.find(key);
    if (found == entries_.end()) {
        PrintOut("*** Error not found compiled expr: " + key + "\n");
        return 0;
    }
    const Entry& entry = *found->second;
    int rc = pcre2_match(entry.code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                         entry.matchData, nullptr);
    if (group >= 0 && group < rc) {
        PCRE2_SIZE* vector = pcre2_get_ovector_pointer(entry.matchData);
        *begin = vector[2 * group];
        *end = vector[2 * group + 1];
        if (*begin == PCRE2_UNSET) *begin = std::string::npos;
        return rc;
    }
    *begin = std::string::npos;
    if (rc < PCRE2_ERROR_NOMATCH) {
        PrintOut("*** Error found expr: cod" + std::to_string(rc) + "\n");
        return 0;
    }
    if (rc == PCRE2_ERROR_NOMATCH) return 0;
    if (rc == 0) {
        PrintOut("***Warning too little bufer for PCRE \n");
        return 0;
    }
    return rc;  // matched, but without group `group`
}

int PatternCache::Match(const std::string& key, const std::string& subject, int group, std::string* out) {
    std::size_t begin = 0, end = 0;
    int rc = Execute(key, subject, group, &begin, &end);
    if (rc > group && out != nullptr) {
        if (begin == std::string::npos || end - begin >= kSubstringBuffer) {
            out->clear();
        } else {
            out->assign(subject, begin, end - begin);
        }
    }
    return rc;
}

int PatternCache::Replace(const std::string& key, std::string* subject, int group,
                          const std::string& replacement) {
    std::size_t begin = 0, end = 0;
    int rc = Execute(key, *subject, group, &begin, &end);
    if (rc > group && begin != std::string::npos) subject->replace(begin, end - begin, replacement);
    return rc;
}

}  // namespace tarn::overprint
