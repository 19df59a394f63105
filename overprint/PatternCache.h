#pragma once
// Compiled regular expressions under short key words, so that the reader and
// the merge can ask whether a text matches the pattern named k, what its group
// g holds, or have group g replaced. Every pattern is caseless and multiline;
// each is compiled and JIT-compiled once and reused for every match.
// Not thread-safe: the converter is single-threaded.

#include <map>
#include <memory>
#include <string>

struct pcre2_real_code_8;
struct pcre2_real_match_data_8;

namespace tarn::overprint {

class PatternCache {
  public:
    PatternCache();
    ~PatternCache();
    PatternCache(const PatternCache&) = delete;
    PatternCache& operator=(const PatternCache&) = delete;

    // Compiles `pattern` under `key`; a key already present keeps its first
    // pattern. Prints the compiler's or the JIT's error text and returns false
    // when the pattern cannot be used.
    bool Add(const std::string& key, const std::string& pattern);

    // Runs pattern `key` over `subject`. Returns the number of filled groups
    // plus one on a match, 0 otherwise. When group < the result and `out` is
    // given, group `group` (0: the whole match) is copied into *out.
    int Match(const std::string& key, const std::string& subject, int group, std::string* out = nullptr);
    // As Match; when group < the result, the bytes of that group in *subject
    // are replaced by `replacement`.
    int Replace(const std::string& key, std::string* subject, int group, const std::string& replacement);

    bool Has(const std::string& key) const { return entries_.count(key) != 0; }

    // Keys in byte order, for walking every pattern in that order.
    struct Entry;
    const std::map<std::string, std::unique_ptr<Entry>>& entries() const { return entries_; }
    // Runs one entry over [subject, subject + size); true when it matches.
    static bool Matches(const Entry& entry, const char* subject, std::size_t size);

  private:
    // Executes and reports as Match/Replace do; on a usable result stores
    // the group's byte range in *begin/*end (unset groups give begin = npos).
    int Execute(const std::string& key, const std::string& subject, int group, std::size_t* begin,
                std::size_t* end);

    std::map<std::string, std::unique_ptr<Entry>> entries_;
};

struct PatternCache::Entry {
    Entry() = default;
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    std::string pattern;  // the source, as added
    pcre2_real_code_8* code = nullptr;
    pcre2_real_match_data_8* matchData = nullptr;
};

}  // namespace tarn::overprint
