#include "PdfTestSupport.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tarn::overprint::testing {

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
