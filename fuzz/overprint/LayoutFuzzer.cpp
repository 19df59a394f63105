// The text layout and every page's content stream over arbitrary report text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "overprint/OverprintRun.h"
#include "overprint/TextLayout.h"

using namespace tarn::overprint;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    OverprintRun run;
    run.programDir = "/nonexistent/overprint-fuzz";
    run.pageForms = {"form.pdf"};
    TextLayout layout(run);
    layout.LayOutText(std::string(reinterpret_cast<const char*>(data), size));
    const PageBox box{0, 0, 612, 792};
    for (int k = 1; k <= layout.PageCount() + 1; ++k) {
        const std::string content = layout.PageContent(k, box);
        if (content.compare(0, 5, " obj\n") != 0) __builtin_trap();
    }
    if (run.pageForms.empty() ||
        (layout.PageCount() > 0 && run.pageForms.size() != static_cast<std::size_t>(layout.PageCount())))
        __builtin_trap();
    return 0;
}
