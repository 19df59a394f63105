#include "overprint/ClassicForm.h"

// The qpdf headers ask for the smart-pointer transition level of their users.
#define POINTERHOLDER_TRANSITION 4
#include <map>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>

#include "overprint/Messages.h"
#include "overprint/OverprintExit.h"
#include "platform/File.h"
#include "platform/TempFile.h"

namespace tarn::overprint {
namespace {

const char kClassicPrefix[] = "~~TmpPdfClassic";

// The file to read for each form path: the form itself, or its rewritten
// copy (removed when the program ends). Each form is examined once.
class ClassicCopies {
  public:
    ~ClassicCopies() {
        for (const auto& entry : copies_) {
            if (entry.second != entry.first) RemoveFile(entry.second);
        }
    }
    std::map<std::string, std::string> copies_;
};

ClassicCopies& Copies() {
    static ClassicCopies copies;
    return copies;
}

[[noreturn]] void Unusable(const std::string& path, const std::string& reason) {
    PrintOut("*** Form file " + path + " is not a usable PDF: " + reason + "\n");
    throw OverprintExit(kExitFormUnusable);
}

// True when the reader could not take the file as it is.
bool NeedsRewrite(QPDF& pdf) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    return pdf.isEncrypted() || pdf.anyWarnings() || trailer.hasKey("/XRefStm") ||
           trailer.getKey("/Type").isNameAndEquals("/XRef");
}

}  // namespace

std::string ClassicFormFile(const std::string& path) {
    auto known = Copies().copies_.find(path);
    if (known != Copies().copies_.end()) return known->second;
    if (!FileOpens(path)) return path;

    std::string classic;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        if (!NeedsRewrite(pdf)) {
            Copies().copies_[path] = path;
            return path;
        }
        if (!CreateUniqueFile(TempFolder(), kClassicPrefix, ".pdf", &classic).ok()) {
            Unusable(path, "no temporary file for its classic copy");
        }
        QPDFWriter writer(pdf, classic.c_str());
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.setPreserveEncryption(false);
        writer.write();
    } catch (const QPDFExc& e) {
        if (!classic.empty()) RemoveFile(classic);
        Unusable(path, e.getErrorCode() == qpdf_e_password ? "it is protected by a password"
                                                           : e.getMessageDetail());
    } catch (const std::exception& e) {
        if (!classic.empty()) RemoveFile(classic);
        Unusable(path, e.what());
    }
    Copies().copies_[path] = classic;
    return classic;
}

}  // namespace tarn::overprint
