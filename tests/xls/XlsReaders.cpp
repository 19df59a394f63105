#include "tests/xls/XlsReaders.h"

#include <freexl.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace xls_test {

FreexlBook::FreexlBook(const std::string& path) {
    const void* handle = nullptr;
    openError_ = freexl_open(path.c_str(), &handle);
    if (openError_ == FREEXL_OK) handle_ = handle;
}

FreexlBook::~FreexlBook() {
    if (handle_ != nullptr) freexl_close(handle_);
}

unsigned FreexlBook::SheetCount() const {
    unsigned count = 0;
    freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count);
    return count;
}

std::string FreexlBook::SheetName(unsigned sheet) const {
    const char* name = nullptr;
    if (freexl_get_worksheet_name(handle_, static_cast<unsigned short>(sheet), &name) != FREEXL_OK)
        return "?";
    return name;
}

void FreexlBook::Select(unsigned sheet) const {
    freexl_select_active_worksheet(handle_, static_cast<unsigned short>(sheet));
}

void FreexlBook::Dimensions(unsigned sheet, unsigned* rows, unsigned short* cols) const {
    Select(sheet);
    *rows = 0;
    *cols = 0;
    freexl_worksheet_dimensions(handle_, rows, cols);
}

FreexlCell FreexlBook::Cell(unsigned sheet, unsigned row, unsigned short col) const {
    Select(sheet);
    FreeXL_CellValue v;
    FreexlCell cell;
    if (freexl_get_cell_value(handle_, row, col, &v) != FREEXL_OK) {
        cell.kind = "error";
        return cell;
    }
    switch (v.type) {
    case FREEXL_CELL_NULL:
        cell.kind = "null";
        break;
    case FREEXL_CELL_INT:
        cell.kind = "int";
        cell.number = v.value.int_value;
        break;
    case FREEXL_CELL_DOUBLE:
        cell.kind = "double";
        cell.number = v.value.double_value;
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
        cell.kind = "text";
        cell.text = v.value.text_value;
        break;
    case FREEXL_CELL_DATE:
        cell.kind = "date";
        cell.text = v.value.text_value;
        break;
    case FREEXL_CELL_DATETIME:
        cell.kind = "datetime";
        cell.text = v.value.text_value;
        break;
    case FREEXL_CELL_TIME:
        cell.kind = "time";
        cell.text = v.value.text_value;
        break;
    default:
        cell.kind = "other";
        break;
    }
    return cell;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return out;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int rc = ::pclose(pipe);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::set<std::string> XlrdFacts(const std::string& path, int edgeRows) {
    std::string command = "/usr/bin/python3 " TARN_SOURCE_DIR "/tests/support/xlrd_dump.py '" + path + "'";
    if (edgeRows >= 0) command += " " + std::to_string(edgeRows);
    int status = 0;
    std::string out = RunCommand(command + " 2>&1", &status);
    std::set<std::string> facts;
    if (status != 0) {
        facts.insert("xlrd failed: " + out);
        return facts;
    }
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) facts.insert(line);
    return facts;
}

bool Has(const std::set<std::string>& facts, const std::string& fact) { return facts.count(fact) > 0; }

int CountFacts(const std::set<std::string>& facts, const std::string& prefix) {
    int n = 0;
    for (auto it = facts.lower_bound(prefix); it != facts.end() && it->rfind(prefix, 0) == 0; ++it) ++n;
    return n;
}

std::string FactAfter(const std::set<std::string>& facts, const std::string& prefix) {
    auto it = facts.lower_bound(prefix);
    if (it == facts.end() || it->rfind(prefix, 0) != 0) return "<none>";
    return it->substr(prefix.size());
}

std::string Dump(const std::set<std::string>& facts) {
    constexpr std::size_t kMaxDump = 4000;
    std::string all;
    for (const auto& f : facts) all += f + "\n";
    return all.size() > kMaxDump ? all.substr(0, kMaxDump) : all;
}

}  // namespace xls_test
