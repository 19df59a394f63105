#include "overprint/FormStage.h"

#include <algorithm>
#include <cmath>

#include "overprint/Messages.h"
#include "overprint/PdfDictionary.h"

namespace tarn::overprint {
namespace {

// Page attributes a page inherits from the page-tree nodes above it.
const char* const kInheritable[] = {"/Resources", "/MediaBox", "/CropBox", "/Rotate"};
// Page-tree nodes deeper than this are not entered (a damaged or hostile form).
constexpr int kMaxTreeDepth = 64;

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n\f");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n\f") - first + 1);
}

}  // namespace

bool BoxFromNumbers(const std::vector<double>& numbers, PageBox* box) {
    if (numbers.size() < 4) return false;
    auto whole = [](double value) { return static_cast<int>(std::lround(std::clamp(value, -1e9, 1e9))); };
    box->x0 = whole(std::min(numbers[0], numbers[2]));
    box->x1 = whole(std::max(numbers[0], numbers[2]));
    box->y0 = whole(std::min(numbers[1], numbers[3]));
    box->y1 = whole(std::max(numbers[1], numbers[3]));
    return true;
}

// The steps that turn one read form into output: number its objects, walk
// its page tree into page templates (giving their resources the fonts), then
// write every object the pages share.
class FormStage::Preparation {
  public:
    Preparation(FormStage& stage, Form& form)
        : stage_(stage), form_(form), document_(*form.document), writer_(stage.writer_) {}

    Outcome Run() {
        NumberObjects();
        std::set<int> path;
        if (document_.pagesRoot() > 0) Walk(document_.pagesRoot(), Inherited(), &path);
        if (form_.pages.empty()) {
            PrintOut("*** Error not found page ***\n");
            return Outcome::kNoPage;
        }
        KeepCatalog();
        WriteSharedObjects();
        if (document_.readFailed()) return Outcome::kWriteFailed;
        return Outcome::kOk;
    }

  private:
    // The form's objects take consecutive output numbers in their order.
    void NumberObjects() {
        live_ = document_.LiveNumbers();
        base_ = writer_.ReserveNumbers(static_cast<int>(live_.size()));
    }
    int Renumber(int number) const {
        auto at = std::lower_bound(live_.begin(), live_.end(), number);
        return at == live_.end() || *at != number ? 0 : base_ + static_cast<int>(at - live_.begin());
    }
    std::string Renumbered(const std::string& text) const {
        return RenumberReferences(text, [this](int n) { return Renumber(n); });
    }

    // The dictionary of object n, raw; empty when it has none.
    std::string DictionaryOf(int number) {
        const std::string text = document_.ObjectText(number);
        const TextSpan span = DictionarySpan(text, DictionaryStart(text));
        return span.found() ? text.substr(span.begin, span.end - span.begin) : std::string();
    }
    static std::string ValueOf(const std::string& dict, const std::string& key) {
        const TextSpan span = DictionaryValue(dict, 0, key);
        return span.found() ? dict.substr(span.begin, span.end - span.begin) : std::string();
    }

    // Depth first through the page tree; a node already on the path (a
    // /Parent reference back up) is not entered again.
    void Walk(int node, Inherited inherited, std::set<int>* path) {
        if (static_cast<int>(path->size()) >= kMaxTreeDepth || !path->insert(node).second) return;
        nodes_.insert(node);
        const std::string dict = DictionaryOf(node);
        for (const char* key : kInheritable) {
            std::string value = ValueOf(dict, key);
            if (!value.empty()) inherited.values[key] = value;
        }
        std::string kids = ValueOf(dict, "/Kids");
        if (const int held = ReferenceNumber(kids, {0, kids.size()})) kids = document_.ObjectText(held);
        for (int kid : ReferencesIn(kids, {0, kids.size()})) {
            const PdfObjectEntry* entry = document_.FindObject(kid);
            if (entry == nullptr) continue;
            if (entry->type == "/Pages") {
                Walk(kid, inherited, path);
            } else if (entry->type == "/Page" && pages_.insert(kid).second) {
                PreparePage(kid, inherited);
            }
        }
        path->erase(node);
    }

    void PreparePage(int number, const Inherited& inherited) {
        std::string dict = DictionaryOf(number);
        if (dict.empty()) dict = "<< /Type /Page >>";
        for (const auto& [key, value] : inherited.values) {
            if (!DictionaryValue(dict, 0, key).found()) SetValue(&dict, 0, key, value);
        }
        FormPage page;
        page.outputNumber = Renumber(number);
        page.contents = Renumbered(ContentReferences(ValueOf(dict, "/Contents")));
        BoxOf(ValueOf(dict, "/MediaBox"), &page.box);
        page.closing = ClosingFor(page.box);
        const std::string resources = ValueOf(dict, "/Resources");
        RemoveKey(&dict, 0, "/Contents");
        RemoveKey(&dict, 0, "/Parent");
        page.dictionary = Renumbered(dict);
        GiveFonts(resources, &page.dictionary);
        form_.pages.push_back(std::move(page));
    }

    // The references of a /Contents value, without brackets; an array held
    // in an object of its own is taken from there.
    std::string ContentReferences(std::string value) {
        value = Trimmed(value);
        if (const int held = ReferenceNumber(value, {0, value.size()})) {
            const std::string target = Trimmed(document_.ObjectText(held));
            if (!target.empty() && target[0] == '[') value = target;
        }
        if (!value.empty() && value[0] == '[') value = value.substr(1, ValueEnd(value, 0) - 2);
        return Trimmed(value);
    }

    // The page box: an array of numbers, or a reference to one.
    void BoxOf(const std::string& value, PageBox* box) {
        std::string numbers = value;
        if (const int held = ReferenceNumber(value, {0, value.size()})) numbers = document_.ObjectText(held);
        const std::size_t open = numbers.find('[');
        if (open == std::string::npos) return;
        BoxFromNumbers(NumbersIn(numbers, {open, ValueEnd(numbers, open)}), box);
    }

    // The stream that ends the form's content: restores the graphics state
    // and, for a box whose left edge is not 0, moves the origin there.
    int ClosingFor(const PageBox& box) {
        if (box.x0 == 0) return stage_.closing_;
        auto known = closings_.find(box.x0);
        if (known != closings_.end()) return known->second;
        const int number = writer_.TakeObjectNumber();
        writer_.WriteStream(number, "Q\n1 0 0 1 " + std::to_string(box.x0) + " 0 cm\n", false);
        closings_[box.x0] = number;
        return number;
    }

    // Puts the font entries into the page's font resources, wherever they
    // live: in the page's own dictionary (`page`, in output numbers), in a
    // resources object, or in a font dictionary object; each object shared by
    // several pages receives them once. `resources` is the raw /Resources value.
    void GiveFonts(const std::string& resources, std::string* page) {
        const std::string& entries = stage_.fontEntries_;
        if (const int held = ReferenceNumber(resources, {0, resources.size()})) {
            if (edited_.count(held) != 0) return;
            std::string object = DictionaryOf(held);
            if (object.empty()) {
                SetValue(page, 0, "/Resources", "<< /Font <<" + entries + ">> >>");
                return;
            }
            const std::string fonts = ValueOf(object, "/Font");
            if (!GiveFontsToObject(fonts)) {
                object = Renumbered(object);
                AddToFontValue(&object, 0, entries);
            } else {
                object = Renumbered(object);
            }
            edited_[held] = object;
            return;
        }
        const TextSpan own = DictionaryValue(*page, 0, "/Resources");
        if (!own.found() || page->compare(own.begin, 2, "<<") != 0) {
            SetValue(page, 0, "/Resources", "<< /Font <<" + entries + ">> >>");
            return;
        }
        if (!GiveFontsToObject(ValueOf(resources, "/Font"))) AddToFontValue(page, own.begin, entries);
    }

    // A /Font value that refers to a font dictionary object: that object
    // gets the entries. False when the value is no usable reference.
    bool GiveFontsToObject(const std::string& fonts) {
        const int held = ReferenceNumber(fonts, {0, fonts.size()});
        if (held == 0) return false;
        if (edited_.count(held) != 0) return true;
        std::string object = DictionaryOf(held);
        if (object.empty()) return false;
        object = Renumbered(object);
        InsertEntries(&object, 0, stage_.fontEntries_);
        edited_[held] = object;
        return true;
    }

    // Adds the entries to the /Font dictionary of the resources dictionary at
    // `dict`, making one when there is none (or it is no dictionary).
    static void AddToFontValue(std::string* text, std::size_t dict, const std::string& entries) {
        const TextSpan fonts = DictionaryValue(*text, dict, "/Font");
        if (fonts.found() && text->compare(fonts.begin, 2, "<<") == 0) {
            InsertEntries(text, fonts.begin, entries);
        } else {
            SetValue(text, dict, "/Font", "<<" + entries + ">>");
        }
    }

    void KeepCatalog() {
        const int catalog = document_.catalog();
        if (catalog == 0) return;
        form_.catalogNumber = Renumber(catalog);
        form_.catalog = Renumbered(DictionaryOf(catalog));
    }

    // Every object except the pages (written per use), the page-tree nodes
    // (replaced by the output's one root) and the catalog (the merge writes
    // the first form's).
    void WriteSharedObjects() {
        const auto renumber = [this](int n) { return Renumber(n); };
        for (int number : live_) {
            if (pages_.count(number) != 0 || nodes_.count(number) != 0 || number == document_.catalog())
                continue;
            auto edited = edited_.find(number);
            if (edited != edited_.end()) {
                writer_.WriteObject(Renumber(number), "obj\n" + edited->second + "\n");
            } else {
                document_.CopyObject(number, Renumber(number), renumber, writer_);
            }
        }
    }

    FormStage& stage_;
    Form& form_;
    PdfDocument& document_;
    PdfWriter& writer_;
    std::vector<int> live_;
    int base_ = 0;
    std::set<int> pages_;
    std::set<int> nodes_;
    std::map<int, std::string> edited_;  // form number -> edited dictionary (output numbers)
    std::map<int, int> closings_;        // left edge -> closing stream
};

Outcome FormStage::Open(const std::string& name, bool first, std::unique_ptr<PdfDocument>* document) {
    std::string file;
    if (run_.refusedForms.count(name) == 0) {
        const Outcome usable = run_.FormFileOf(name, &file);
        if (usable != Outcome::kOk) return usable;
        *document = std::make_unique<PdfDocument>(run_.patterns);
        if ((*document)->Open(file)) return Outcome::kOk;
    }
    if (first) {
        PrintOut("*** Error open input pdf file " + name + "***\n");
        return Outcome::kOpenFailed;
    }
    PrintOut("***22 Error open file: " + name + "\n");
    return Outcome::kLaterFormOpen;
}

Outcome FormStage::OpenFirst() {
    if (run_.pageForms.empty()) run_.pageForms.push_back(run_.formName);
    return Open(run_.pageForms.front(), true, &firstDocument_);
}

Outcome FormStage::Load(const std::string& name, bool first, Form** form) {
    auto known = forms_.find(name);
    if (known == forms_.end()) {
        Form loaded;
        if (first && firstDocument_ != nullptr) {
            loaded.document = std::move(firstDocument_);
        } else {
            const Outcome opened = Open(name, first, &loaded.document);
            if (opened != Outcome::kOk) return opened;
        }
        loaded.document->Read();
        known = forms_.emplace(name, std::move(loaded)).first;
    }
    *form = &known->second;
    return Outcome::kOk;
}

void FormStage::SetShared(const std::string& fontEntries, int pagesRoot, int opening, int closing) {
    fontEntries_ = fontEntries;
    pagesRoot_ = pagesRoot;
    opening_ = opening;
    closing_ = closing;
}

Outcome FormStage::Use(const std::string& name, bool first, Form** form) {
    const Outcome loaded = Load(name, first, form);
    if (loaded != Outcome::kOk || (*form)->written) return loaded;
    (*form)->written = true;
    const Outcome written = Preparation(*this, **form).Run();
    (*form)->document->Close();
    return written;
}

}  // namespace tarn::overprint
