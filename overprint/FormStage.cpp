#include "overprint/FormStage.h"

#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "overprint/ExitStatus.h"
#include "overprint/Messages.h"
#include "overprint/OverprintExit.h"
#include "overprint/PatternCache.h"
#include "overprint/ProgramState.h"

namespace tarn::overprint {
namespace {

// A held-back object of one copy: its number after the shift, its text.
struct HeldObject {
    int number = 0;
    std::string text;
};

std::string ReferenceText(int number) { return " " + std::to_string(number) + " 0 R "; }

}  // namespace

void RunFormStage(PdfDocument& document, const std::string& tempFormName) {
    PatternCache patterns;
    patterns.Add("kids", "/Kids");
    patterns.Add("pages", "(?<=/Pages)");
    patterns.Add("pagesmap", "(?<=/Pages)\\s*(\\s*\\d+\\s+\\d+\\s+R\\s*)+");
    patterns.Add("count", "(?<=/Count)\\s*(\\d+)");

    PdfWriter& writer = document.writer();
    std::vector<HeldObject> catalogs;
    std::vector<HeldObject> pageRoots;
    const std::size_t copies = pageForms.size();
    for (std::size_t k = 0; k < copies; ++k) {
        // Open this page's form; the first page also (re)creates the output.
        const std::string& form = pageForms[k];
        if (k == 0) {
            writer.shift = 0;
            if (!document.OpenInput(FormFileOf(form))) {
                PrintOut("***20 Error open file: " + form + "\n");
                throw OverprintExit(kExitFirstFormOpen);
            }
            if (!writer.Open(tempFormName)) {
                PrintOut("***21 Error open temporary file: " + tempFormName + "\n");
                throw OverprintExit(kExitTempFormOpen);
            }
        } else {
            writer.shift += writer.counter - 1;
            document.CloseInput();
            if (!document.OpenInput(FormFileOf(form))) {
                PrintOut("***22 Error open file: " + form + "\n");
                throw OverprintExit(kExitLaterFormOpen);
            }
        }
        document.Read();
        if (k == 0) document.CopyHeader();

        // Hold back this copy's catalog and page-tree root; copy the rest.
        const int catalog = document.root() + writer.shift;
        const int pageRoot = document.pagesRoot() + writer.shift;
        catalogs.push_back({catalog, document.LoadObject(document.root())});
        pageRoots.push_back({pageRoot, document.LoadObject(document.pagesRoot())});
        for (int n = 1; n < writer.counter; ++n) {
            const int target = n + writer.shift;
            if (target == catalog || target == pageRoot || writer.IsWritten(target)) continue;
            document.CopyObject(n);
        }
    }
    if (copies == 0) return;

    if (copies == 1) {
        // A single copy keeps its own page tree.
        writer.WriteObject(pageRoots[0].number, pageRoots[0].text);
        patterns.Replace("pagesmap", &catalogs[0].text, 1, ReferenceText(pageRoots[0].number) + "\n");
        writer.WriteObject(catalogs[0].number, catalogs[0].text);
    } else {
        // A new page-tree root over every copy's root takes the number of
        // the second copy's catalog, which nothing needs otherwise.
        const int newRoot = catalogs[1].number;
        std::string kids;
        long pages = 0;
        for (auto& pageRoot : pageRoots) {
            kids += ReferenceText(pageRoot.number);
            // The new root counts every page below it: a form of several
            // pages brings them all in each copy.
            std::string count;
            pages += patterns.Match("count", pageRoot.text, 1, &count) > 1 ? AtoiLike(count) : 1;
            patterns.Replace("pages", &pageRoot.text, 0, "\n/Parent " + std::to_string(newRoot) + " 0 R \n");
            writer.WriteObject(pageRoot.number, pageRoot.text);
        }
        patterns.Replace("pagesmap", &catalogs[0].text, 1, ReferenceText(newRoot) + "\n");
        writer.WriteObject(catalogs[0].number, catalogs[0].text);
        writer.WriteObject(newRoot, "obj\n <</Type /Pages\n /Kids [" + kids + "]\n /Count " +
                                        std::to_string(pages) + " \n >> ");
        for (std::size_t k = 2; k < catalogs.size(); ++k) {
            writer.WriteObject(catalogs[k].number, catalogs[k].text);
        }
    }
    writer.root = catalogs[0].number;
    writer.WriteCrossReference();
    document.CloseInput();
    if (!writer.Close()) throw OverprintExit(kExitWriteFailed);
}

}  // namespace tarn::overprint
