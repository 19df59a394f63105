#include "overprint/TextStages.h"

#include "overprint/FormMerge.h"
#include "overprint/ProgramState.h"
#include "overprint/TextLayout.h"

namespace tarn::overprint {
namespace {

// The real text stages: the text layout, then the merge of its pages.
class LayoutAndMerge : public TextStages {
  public:
    bool LayOut(const LayoutSettings& settings, const std::string& textFile) override {
        layout_.settings = settings;
        layout_.SetProgramDir(programDir);
        return layout_.LayOut(textFile);
    }
    int PageCount() const override { return layout_.PageCount(); }
    int Merge(PdfDocument& document, int pageCount) override {
        return MergeText(document, layout_, pageCount);
    }

  private:
    TextLayout layout_{&pageForms, programDir};
};

}  // namespace

std::unique_ptr<TextStages> MakeTextStages() { return std::make_unique<LayoutAndMerge>(); }

}  // namespace tarn::overprint
