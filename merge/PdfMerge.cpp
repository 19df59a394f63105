#include "merge/PdfMerge.h"

#include <memory>
#include <qpdf/Pipeline.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <stdexcept>

#include "platform/File.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

namespace tarn::merge {
namespace {

constexpr const char* kCatWord = "cat";
constexpr const char* kOutputWord = "output";

// Opens one input. The empty password opens files that are encrypted only
// against changes; a file that needs a real password is refused.
std::unique_ptr<QPDF> OpenInput(const std::string& path) {
    auto pdf = std::make_unique<QPDF>();
    // Repairs are told on standard error, once per problem, by the library.
    pdf->processFile(path.c_str(), "");
    return pdf;
}

// Copies every page of `from` behind the pages already in `to`, with its
// interactive form fields so that the widgets on the pages keep working.
void AppendPages(QPDF& from, QPDF& to, QPDFAcroFormDocumentHelper& toForms) {
    QPDFPageDocumentHelper fromPages(from);
    QPDFAcroFormDocumentHelper fromForms(from);
    QPDFPageDocumentHelper toPages(to);
    const bool hasForms = fromForms.hasAcroForm();
    for (QPDFPageObjectHelper& page : fromPages.getAllPages()) {
        toPages.addPage(page, false);
        if (hasForms) {
            QPDFPageObjectHelper copied(toPages.getAllPages().back());
            toForms.fixCopiedAnnotations(copied.getObjectHandle(), page.getObjectHandle(), fromForms);
        }
    }
}

// The end of the writer's pipeline: our output file, opened without following
// a link, so the temporary name cannot be turned into a way to write elsewhere.
class OutputFilePipeline : public Pipeline {
  public:
    explicit OutputFilePipeline(tarn::OutputFile* out) : Pipeline("output file", nullptr), out_(out) {}
    void write(unsigned char const* data, size_t length) override {
        const tarn::Status written = out_->Write(reinterpret_cast<const char*>(data), length);
        if (!written.ok()) throw std::runtime_error(written.message());
    }
    void finish() override {}

  private:
    tarn::OutputFile* out_;
};

// The folder part of `path` with its separator, "./" for a bare name.
std::string FolderOf(const std::string& path) {
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

}  // namespace

bool ParseMergeArguments(const std::vector<std::string>& args, MergeRequest* request, std::string* error) {
    // INPUT... cat output FINAL: the last three words fix the shape.
    if (args.size() < 4 || args[args.size() - 3] != kCatWord || args[args.size() - 2] != kOutputWord) {
        *error = "expected: INPUT... cat output OUTPUT";
        return false;
    }
    request->inputs.assign(args.begin(), args.end() - 3);
    request->output = args.back();
    for (const std::string& input : request->inputs) {
        if (input.empty()) {
            *error = "an input file name is empty";
            return false;
        }
    }
    if (request->output.empty() || request->output.back() == '/') {
        *error = "the output file name is empty";
        return false;
    }
    return true;
}

tarn::Status MergePdfFiles(const MergeRequest& request) {
    if (request.inputs.empty()) return tarn::Status::Error("no input files");
    QPDF merged;
    merged.emptyPDF();
    QPDFAcroFormDocumentHelper mergedForms(merged);
    // The inputs are read while the output is written: they stay open to the end.
    std::vector<std::unique_ptr<QPDF>> inputs;
    for (const std::string& path : request.inputs) {
        try {
            inputs.push_back(OpenInput(path));
            AppendPages(*inputs.back(), merged, mergedForms);
        } catch (const QPDFExc& e) {
            if (e.getErrorCode() == qpdf_e_password) {
                return tarn::Status::Error(path + ": the file is protected by a password");
            }
            return tarn::Status::Error(e.what());
        } catch (const std::exception& e) {
            return tarn::Status::Error(path + ": " + e.what());
        }
    }
    if (QPDFPageDocumentHelper(merged).getAllPages().empty()) {
        return tarn::Status::Error("the input files hold no pages");
    }

    // Written beside the output under a fresh name and renamed into place, so
    // that the output's name shows either nothing or the complete file, and a
    // link planted under that name is replaced, not followed.
    const std::string::size_type slash = request.output.rfind('/');
    const std::string base = slash == std::string::npos ? request.output : request.output.substr(slash + 1);
    std::string temp;
    tarn::Status st = tarn::CreateUniqueFile(FolderOf(request.output), "." + base + ".", ".tmp", &temp,
                                             tarn::TempAccess::kShared);
    if (!st.ok()) return st;
    tarn::OutputFile out;
    st = out.CreateNoFollow(temp);
    if (st.ok()) {
        try {
            OutputFilePipeline pipeline(&out);
            QPDFWriter writer(merged);
            writer.setOutputPipeline(&pipeline);
            writer.write();
            st = out.Close();
        } catch (const std::exception& e) {
            out.Abandon();
            st = tarn::Status::Error(e.what());
        }
    }
    if (st.ok()) st = tarn::RenameFile(temp, request.output);
    if (!st.ok()) tarn::RemoveFile(temp);
    return st;
}

}  // namespace tarn::merge
