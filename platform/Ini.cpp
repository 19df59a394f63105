#include "platform/Ini.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace tarn {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v'; }

std::string Trim(const std::string& s) {
    std::string::size_type begin = 0;
    std::string::size_type end = s.size();
    while (begin < end && IsBlank(s[begin])) ++begin;
    while (end > begin && IsBlank(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

void AddLine(const std::string& raw, std::vector<IniSection>* sections) {
    std::string line = Trim(raw);
    if (line.empty() || line[0] == ';') return;
    if (line[0] == '[') {
        std::string::size_type close = line.find(']');
        std::string name = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        sections->push_back(IniSection{Trim(name), {}});
        return;
    }
    if (sections->empty()) return;
    std::string::size_type eq = line.find('=');
    if (eq != std::string::npos) line = Trim(line.substr(0, eq)) + "=" + Trim(line.substr(eq + 1));
    sections->back().lines.push_back(line);
}

}  // namespace

std::vector<IniSection> ParseIni(const std::string& text) {
    std::vector<IniSection> sections;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        AddLine(text.substr(start, end - start), &sections);
        start = end + 1;
    }
    return sections;
}

Status ReadIniFile(const std::string& path, std::vector<IniSection>* sections) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Status::FromErrno(path, errno);
    // A writer holding an exclusive lock means the file is being replaced.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        int err = errno;
        ::close(fd);
        return Status::FromErrno(path, err);
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        ::close(fd);
        return Status::Error(path + ": not a non-empty regular file");
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            return Status::FromErrno(path, err);
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    *sections = ParseIni(text);
    return Status::Ok();
}

}  // namespace tarn
