#include "overprint/ClassicForm.h"

// The qpdf headers ask for the smart-pointer transition level of their users.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>
#include <qpdf/QPDFWriter.hh>

#include "overprint/Messages.h"
#include "platform/File.h"
#include "platform/TempFile.h"

namespace tarn::overprint {
namespace {

const char kClassicPrefix[] = "~~TmpPdfClassic";

Outcome Unusable(const std::string& path, const std::string& reason) {
    PrintOut("*** Form file " + path + " is not a usable PDF: " + reason + "\n");
    return Outcome::kFormUnusable;
}

// True when the reader could not take the file as it is.
bool NeedsRewrite(QPDF& pdf) {
    QPDFObjectHandle trailer = pdf.getTrailer();
    return pdf.isEncrypted() || pdf.anyWarnings() || trailer.hasKey("/XRefStm") ||
           trailer.getKey("/Type").isNameAndEquals("/XRef");
}

}  // namespace

Outcome ClassicFormFile(const std::string& path, std::string* file) {
    *file = path;
    if (!FileOpens(path)) return Outcome::kOk;
    std::string classic;
    std::string failure;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        if (!NeedsRewrite(pdf)) return Outcome::kOk;
        if (!CreateUniqueFile(TempFolder(), kClassicPrefix, ".pdf", &classic).ok()) {
            return Unusable(path, "no temporary file for its classic copy");
        }
        QPDFWriter writer(pdf, classic.c_str());
        writer.setObjectStreamMode(qpdf_o_disable);
        writer.setPreserveEncryption(false);
        writer.write();
        *file = classic;
        return Outcome::kOk;
    } catch (const QPDFExc& e) {
        failure =
            e.getErrorCode() == qpdf_e_password ? "it is protected by a password" : e.getMessageDetail();
    } catch (const std::exception& e) {
        failure = e.what();
    }
    if (!classic.empty()) RemoveFile(classic);
    return Unusable(path, failure);
}

}  // namespace tarn::overprint
