#include "overprint/FormMerge.h"

#include <set>
#include <vector>

#include "common/Text.h"
#include "overprint/FontTable.h"
#include "overprint/Messages.h"
#include "overprint/OverprintExit.h"
#include "overprint/ProgramState.h"
#include "platform/File.h"

namespace tarn::overprint {
namespace {

const char kFontFileName[] = "PdfFont.ext";
// Inserted where a page's resources have no font dictionary yet.
const char kEmptyFontDictionary[] = " << /Font << >>";
// The resources of a page that neither has nor inherits any.
const char kEmptyResources[] = "<< /Font << >> >>";

bool IsPdfBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; }

// End of the literal string that opens at `pos` (just after its ")"), or npos.
std::size_t SkipLiteral(const std::string& text, std::size_t pos) {
    int depth = 0;
    for (; pos < text.size(); ++pos) {
        if (text[pos] == '\\') {
            ++pos;
        } else if (text[pos] == '(') {
            ++depth;
        } else if (text[pos] == ')' && --depth == 0) {
            return pos + 1;
        }
    }
    return std::string::npos;
}

// The dictionary "<< ... >>" that opens at `pos`, nested dictionaries and
// strings included; empty when it does not close.
std::string DictionaryAt(const std::string& text, std::size_t pos) {
    const std::size_t start = pos;
    int depth = 0;
    while (pos < text.size()) {
        if (text.compare(pos, 2, "<<") == 0) {
            ++depth;
            pos += 2;
        } else if (text.compare(pos, 2, ">>") == 0) {
            pos += 2;
            if (--depth == 0) return text.substr(start, pos - start);
        } else if (text[pos] == '<') {
            pos = text.find('>', pos);
            if (pos == std::string::npos) break;
            ++pos;
        } else if (text[pos] == '(') {
            pos = SkipLiteral(text, pos);
            if (pos == std::string::npos) break;
        } else {
            ++pos;
        }
    }
    return std::string();
}

// Where the value of the /Resources entry of an object's text starts, or
// npos when the object has no such entry.
std::size_t ResourcesValueAt(const std::string& text) {
    static const std::string kKey = "/Resources";
    for (std::size_t at = text.find(kKey); at != std::string::npos; at = text.find(kKey, at + 1)) {
        std::size_t pos = at + kKey.size();
        // "/ResourcesX" is another name.
        if (pos < text.size() && !IsPdfBlank(text[pos]) &&
            std::string("()<>[]{}/%").find(text[pos]) == std::string::npos) {
            continue;
        }
        while (pos < text.size() && IsPdfBlank(text[pos])) ++pos;
        return pos;
    }
    return std::string::npos;
}

void AddMergePatterns(PatternCache& p) {
    p.Add("kids", "/Kids");
    p.Add("resourcesR", "(?<=/Resources)(\\s*\\[*\\s*)(\\d+\\s+\\d+\\s+R)(.*)");
    p.Add("resources", "(?<=/Resources)(\\s*<<\\s*)([^>]+)");
    p.Add("fontR", "(?<=/Font)(\\s*)(\\d+\\s+\\d+\\s+R)(.*)");
    p.Add("font0", "(/Font)");
    p.Add("font", "(?<=/Font)\\s*<<([^>]+)>>");
    p.Add("ss", "(<<)");
    p.Add("contents", "(?<=/Contents)\\s*\\[*([\\w|\\d|\\s]+R)\\s*\\]*");
}

struct MergePage {
    int number;
    std::string text;
    PageBox inherited;  // the box of the nearest page-tree node that has one
};

// What a page takes from the page-tree nodes above it.
struct Inherited {
    PageBox box;            // the box of the nearest node that has one
    std::string resources;  // the /Resources value of the nearest node that has one
};

struct PageReference {
    PdfReference reference;
    Inherited inherited;
};

class Merge {
  public:
    Merge(PdfDocument& document, TextLayout& layout)
        : document_(document), writer_(document.writer()), layout_(layout), boxes_(document) {
        AddMergePatterns(patterns_);
    }

    void Run(const std::string& externalFonts, int pageCount) {
        // Header and fonts.
        writer_.shift = 0;
        writer_.root = document_.root();
        document_.CopyHeader();
        FontUsed& used = layout_.fontUsed();
        WriteUsedFonts(writer_, externalFonts, &used);
        for (int n = 0; n < kFontSlots; ++n) {
            if (used[n] == 0) continue;
            fontEntries_ += " " + std::string(kFontResourcePrefix) + std::to_string(n) + " " +
                            std::to_string(used[n]) + " 0 R ";
        }

        // The page-tree root and its box, then every page found under it.
        const int rootNumber = document_.pagesRoot();
        std::vector<PdfReference> rootReferences;
        if (const PdfObjectEntry* entry = document_.FindObject(rootNumber)) {
            rootReferences = entry->references;
        }
        std::string rootText = document_.LoadObject(rootNumber);
        Inherited fromRoot;
        boxes_.Find(rootText, &fromRoot.box);
        fromRoot.resources = InheritableResources(rootText);
        std::set<int> path{rootNumber};
        std::vector<PageReference> pageReferences;
        Walk(rootReferences, fromRoot, &path, &pageReferences);
        std::vector<MergePage> pages = EditKids(pageReferences);
        if (pages.empty()) PrintOut("*** Error not found page ***\n");

        // More text pages than form pages: copies of the form pages.
        for (std::size_t i = 0; !pages.empty() && pages.size() < static_cast<std::size_t>(pageCount); ++i) {
            pages.push_back({writer_.counter++, pages[i].text, pages[i].inherited});
        }

        if (rootNumber > 0 && !rootText.empty()) writer_.WriteObject(rootNumber, rootText);
        int textPage = 1;
        for (MergePage& page : pages) {
            const int content = writer_.counter;
            AppendContent(&page.text, content);
            PageBox box = page.inherited;
            boxes_.Find(page.text, &box);
            writer_.WriteObject(page.number, page.text);
            writer_.WriteObject(content, layout_.PageContent(textPage++, box));
            writer_.counter = content + 1;
        }

        // Everything else as it was.
        for (int n = 1; n < writer_.counter; ++n) {
            if (!writer_.IsWritten(n)) document_.CopyObject(n);
        }
        writer_.WriteCrossReference();
    }

  private:
    // Depth first through the page tree; a node already on the path (a
    // /Parent reference back up) is not entered again. A page without a box
    // of its own inherits the box of the nearest node above it that has one
    // (the form stage puts every form's tree below a new root without a box);
    // the same holds for the resources.
    void Walk(const std::vector<PdfReference>& references, const Inherited& inherited, std::set<int>* path,
              std::vector<PageReference>* pages) {
        for (const PdfReference& reference : references) {
            const PdfObjectEntry* entry = document_.FindObject(reference.number);
            if (entry == nullptr) continue;
            if (entry->type == "/Pages") {
                if (!path->insert(reference.number).second) continue;
                std::vector<PdfReference> below = entry->references;
                Inherited fromNode = inherited;
                std::string node = document_.LoadObject(reference.number);
                if (!node.empty()) {
                    // Loaded nodes leave the copy step: written unchanged here.
                    writer_.WriteObject(reference.number, node);
                    boxes_.Find(node, &fromNode.box);
                    std::string resources = InheritableResources(node);
                    if (!resources.empty()) fromNode.resources = std::move(resources);
                }
                Walk(below, fromNode, path, pages);
                path->erase(reference.number);
            } else if (entry->type == "/Page") {
                pages->push_back({reference, inherited});
            }
        }
    }

    // The kids among the page references (inside a /Kids array), each with
    // the font entries added to its resources.
    std::vector<MergePage> EditKids(const std::vector<PageReference>& references) {
        std::vector<MergePage> pages;
        PatternCache& program = document_.patterns();
        bool inKids = false;
        for (const PageReference& found : references) {
            const PdfReference& reference = found.reference;
            bool kid = false;
            if (!reference.key.empty() && program.Match("param", reference.key, 0) > 0) {
                inKids = false;
            }
            if (!reference.key.empty() && patterns_.Match("kids", reference.key, 0) > 0) {
                inKids = true;
                kid = true;
            } else if (reference.key.empty() && inKids) {
                kid = true;
            }
            if (!kid || !seenPages_.insert(reference.number).second) continue;
            std::string text = document_.LoadObject(reference.number);
            GiveOwnResources(&text, found.inherited.resources);
            AddFonts(&text);
            pages.push_back({reference.number, std::move(text), found.inherited.box});
        }
        return pages;
    }

    // The /Resources value of a page-tree node, as a page below it inherits
    // it: its dictionary text or its reference "n g R"; empty when none.
    std::string InheritableResources(const std::string& node) {
        const std::size_t pos = ResourcesValueAt(node);
        if (pos == std::string::npos) return std::string();
        if (node.compare(pos, 2, "<<") == 0) return DictionaryAt(node, pos);
        std::string reference;
        patterns_.Match("resourcesR", node, 2, &reference);
        return reference;
    }

    // A page without /Resources of its own gets them, so that the font entries
    // have a place: the inherited dictionary copied into the page, or the
    // inherited resources object referenced (it then receives the entries),
    // or an empty dictionary when nothing is inherited.
    void GiveOwnResources(std::string* page, const std::string& inherited) {
        if (ResourcesValueAt(*page) != std::string::npos) return;
        const std::string value = inherited.empty() ? std::string(kEmptyResources) : inherited;
        patterns_.Replace("ss", page, 1, "<< /Resources " + value + " ");
    }

    // Puts the font entries into the page's font resources, wherever they live.
    void AddFonts(std::string* page) {
        std::string group;
        int resourcesNumber = 0;
        std::string resources;
        std::string* target = page;
        if (patterns_.Match("resourcesR", *page, 2, &group) > 2) {
            resourcesNumber = AtoiLike(group);
            // A resources object shared by several pages is edited once.
            if (!edited_.insert(resourcesNumber).second) return;
            resources = document_.LoadObject(resourcesNumber);
            if (resources.empty()) return;
            if (patterns_.Match("font0", resources, 0) == 0) {
                patterns_.Replace("ss", &resources, 1, kEmptyFontDictionary);
            }
            target = &resources;
        } else if (patterns_.Match("font0", *page, 0) == 0) {
            patterns_.Replace("resources", page, 1, kEmptyFontDictionary);
        }

        if (patterns_.Match("fontR", *target, 2, &group) > 2) {
            const int fontNumber = AtoiLike(group);
            if (edited_.insert(fontNumber).second) {
                std::string fonts = document_.LoadObject(fontNumber);
                if (!fonts.empty()) {
                    patterns_.Replace("ss", &fonts, 1, " << " + fontEntries_);
                    writer_.WriteObject(fontNumber, fonts);
                }
            }
        } else {
            std::string existing;
            patterns_.Match("font", *target, 1, &existing);
            patterns_.Replace("font", target, 1, fontEntries_ + existing);
        }
        if (resourcesNumber > 0) writer_.WriteObject(resourcesNumber, resources);
    }

    // Appends content stream `number` to the page's /Contents; a page without
    // contents gets it as its only content.
    void AppendContent(std::string* page, int number) {
        std::string existing;
        const std::string added = std::to_string(number) + " 0 R";
        if (patterns_.Match("contents", *page, 1, &existing) > 1) {
            patterns_.Replace("contents", page, 0, " [ " + existing + "  " + added + " ]  ");
        } else {
            patterns_.Replace("ss", page, 1, "<< /Contents " + added + " ");
        }
    }

    PdfDocument& document_;
    PdfWriter& writer_;
    TextLayout& layout_;
    PatternCache patterns_;
    PageBoxLookup boxes_;
    std::string fontEntries_;
    std::set<int> seenPages_;
    std::set<int> edited_;  // resources and font objects already given the fonts
};

// Whole non-negative numbers only, as the box patterns find them.
bool BoxFromGroups(PatternCache& patterns, const std::string& key, const std::string& text, PageBox* box) {
    std::string g[4];
    for (int i = 0; i < 4; ++i) {
        if (patterns.Match(key, text, i + 1, &g[i]) <= i + 1) return false;
    }
    box->x0 = AtoiLike(g[0]);
    box->y0 = AtoiLike(g[1]);
    box->x1 = AtoiLike(g[2]);
    box->y1 = AtoiLike(g[3]);
    return true;
}

}  // namespace

PageBoxLookup::PageBoxLookup(PdfDocument& document) : document_(document) {
    patterns_.Add("mediaR", "(?<=/MediaBox)(\\s*)(\\d+)(\\s+\\d+\\s+R)");
    patterns_.Add("media", "(?<=/MediaBox)\\s*\\[\\s*(\\d+)\\s+(\\d+)\\s(\\d+)\\s+(\\d+)");
    patterns_.Add("mediaB", "\\[\\s*(\\d+)\\s+(\\d+)\\s(\\d+)\\s+(\\d+)");
}

bool PageBoxLookup::Find(const std::string& objectText, PageBox* box) {
    std::string group;
    if (patterns_.Match("mediaR", objectText, 2, &group) > 2) {
        const int number = AtoiLike(group);
        auto found = loaded_.find(number);
        if (found == loaded_.end()) {
            std::string text = document_.LoadObject(number);
            // Loading takes the object out of the copy step: write it back now.
            if (!text.empty()) document_.writer().WriteObject(number, text);
            found = loaded_.emplace(number, text).first;
        }
        return BoxFromGroups(patterns_, "mediaB", found->second, box);
    }
    return BoxFromGroups(patterns_, "media", objectText, box);
}

int MergeText(PdfDocument& document, TextLayout& layout, int pageCount) {
    const std::string fontFile = programDir + "/" + kFontFileName;
    std::string externalFonts;
    if (!ReadWholeFile(fontFile, &externalFonts).ok() || IsDirectory(fontFile)) {
        PrintOut("*** Error open external font file " + fontFile + " ***\n");
        // An empty file must not pass for a finished PDF.
        document.writer().Abandon();
        RemoveFile(document.writer().outputName());
        throw OverprintExit(kExitFontFileMissing);
    }
    Merge(document, layout).Run(externalFonts, pageCount);
    return 1;
}

}  // namespace tarn::overprint
