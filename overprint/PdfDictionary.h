#pragma once
// Reading and editing PDF object text at the level of its values: the value
// of a key of a dictionary, the references in a stretch of text, numbers.
// Strings, hexadecimal strings, comments and nested dictionaries and arrays
// are stepped over whole, so nothing inside them is taken for a key.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tarn::overprint {

// A stretch [begin, end) of a text; begin is npos when nothing was found.
struct TextSpan {
    std::size_t begin = std::string::npos;
    std::size_t end = std::string::npos;
    bool found() const { return begin != std::string::npos; }
};

// Position of the first "<<" of an object's text (npos when none), outside strings.
std::size_t DictionaryStart(const std::string& text);
// The first byte at or after `pos` that is no blank and no comment.
std::size_t SkipBlanks(const std::string& text, std::size_t pos);
// The end of the value that starts at `pos`; "n g R" counts as one value.
std::size_t ValueEnd(const std::string& text, std::size_t pos);

// The value of `key` ("/Resources") in the dictionary that opens at `dict`.
TextSpan DictionaryValue(const std::string& text, std::size_t dict, const std::string& key);
// The whole dictionary "<< ... >>" that opens at `dict`.
TextSpan DictionarySpan(const std::string& text, std::size_t dict);
// Removes `key` and its value from the dictionary at `dict`; false when absent.
bool RemoveKey(std::string* text, std::size_t dict, const std::string& key);
// Gives `key` the value `value`: replaces an existing value, else adds the
// pair at the start of the dictionary.
void SetValue(std::string* text, std::size_t dict, const std::string& key, const std::string& value);
// Puts `entries` right after the "<<" of the dictionary at `dict`.
void InsertEntries(std::string* text, std::size_t dict, const std::string& entries);

// The object number of the reference "n g R" that `span` holds, 0 when it holds none.
int ReferenceNumber(const std::string& text, TextSpan span);
// The object numbers of every reference inside `span`, in order.
std::vector<int> ReferencesIn(const std::string& text, TextSpan span);
// `text` with every reference "n g R" rewritten as " m 0 R", m = renumber(n);
// a reference that renumber maps to 0 becomes null.
std::string RenumberReferences(const std::string& text, const std::function<int(int)>& renumber);

// Every number inside `span` (any PDF number: sign, decimals), in order.
std::vector<double> NumbersIn(const std::string& text, TextSpan span);

}  // namespace tarn::overprint
