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

namespace {

// The value of attribute `name` in the XML element text `element`.
double Attribute(const std::string& element, const std::string& name) {
    const std::string key = " " + name + "=\"";
    std::size_t at = element.find(key);
    return at == std::string::npos ? -1 : std::atof(element.c_str() + at + key.size());
}

std::string TextAttribute(const std::string& element, const std::string& name) {
    const std::string key = " " + name + "=\"";
    std::size_t at = element.find(key);
    if (at == std::string::npos) return std::string();
    at += key.size();
    return element.substr(at, element.find('"', at) - at);
}

}  // namespace

Spot PopplerWord(const std::string& pdf, int page, const std::string& word) {
    std::string out;
    RunShell(
        "pdftotext -q -bbox -f " + std::to_string(page) + " -l " + std::to_string(page) + " '" + pdf + "' -",
        &out);
    Spot spot;
    const std::string close = ">" + word + "</word>";
    std::size_t at = out.find(close);
    if (at == std::string::npos) return spot;
    const std::string element = out.substr(out.rfind("<word", at), at - out.rfind("<word", at));
    spot.x = Attribute(element, "xMin");
    spot.y = Attribute(element, "yMax");
    return spot;
}

Spot MupdfWord(const std::string& pdf, int page, const std::string& word) {
    std::string out;
    RunShell("mutool draw -q -F stext -o - '" + pdf + "' " + std::to_string(page) + " 2>/dev/null", &out);
    // The characters in reading order, each with its origin.
    std::vector<std::pair<std::string, Spot>> chars;
    for (std::size_t at = out.find("<char "); at != std::string::npos; at = out.find("<char ", at + 1)) {
        const std::string element = out.substr(at, out.find("/>", at) - at);
        chars.push_back({TextAttribute(element, "c"), {Attribute(element, "x"), Attribute(element, "y")}});
    }
    for (std::size_t i = 0; i + word.size() <= chars.size(); ++i) {
        bool match = true;
        for (std::size_t k = 0; k < word.size() && match; ++k)
            match = chars[i + k].first == word.substr(k, 1);
        if (match) return chars[i].second;
    }
    return Spot();
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
