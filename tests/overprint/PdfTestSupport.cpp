#include "PdfTestSupport.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tarn::overprint::testing {

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/overprint-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
}

ScratchDir::~ScratchDir() {
    if (!path_.empty()) RunShell("rm -rf '" + path_ + "'");
}

std::string Fixture(const std::string& name) {
    return std::string(TARN_BIN_DIR) + "/../fixtures/pdf/" + name;
}

int RunShell(const std::string& command, std::string* output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    int status = pclose(pipe);
    if (output != nullptr) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool QpdfCheckPasses(const std::string& pdf, std::string* report) {
    return RunShell("qpdf --check '" + pdf + "'", report) == 0;
}

int PdfinfoPages(const std::string& pdf) {
    std::string out;
    if (RunShell("pdfinfo '" + pdf + "'", &out) != 0) return -1;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Pages:", 0) == 0) return std::atoi(line.c_str() + 6);
    }
    return -1;
}

std::vector<std::string> RenderPages(const std::string& pdf) {
    std::vector<std::string> pages;
    ScratchDir dir;
    if (RunShell("pdftoppm -r 20 -gray '" + pdf + "' '" + dir.path() + "/p'") != 0) return pages;
    std::string list;
    RunShell("ls '" + dir.path() + "' | sort", &list);
    std::istringstream names(list);
    for (std::string name; std::getline(names, name);) pages.push_back(ReadFile(dir / name));
    return pages;
}

std::string PageText(const std::string& pdf, int page) {
    std::string out;
    RunShell("pdftotext -q -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf + "' -",
             &out);
    return out;
}

std::string Uncompressed(const std::string& pdf) {
    ScratchDir dir;
    RunShell("qpdf --qdf --object-streams=disable '" + pdf + "' '" + dir.path() + "/qdf.pdf'");
    return ReadFile(dir.path() + "/qdf.pdf");
}

std::string BuildPdf(const std::vector<std::string>& objects) {
    std::string out = "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(out.size());
        out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = out.size();
    out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    char entry[32];
    for (std::size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", offset);
        out += entry;
    }
    out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return out;
}

std::string Stream(const std::string& data) {
    return "<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace tarn::overprint::testing
