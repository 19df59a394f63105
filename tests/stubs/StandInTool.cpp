// A stand-in for the programs the service starts (converters, pdftk, the
// mailer), for tests. It behaves by the name it is started under:
//   <name>.args  receives every argument (argv[0] included), each ended by NUL;
//   <name>.exit  when present, holds the exit status to end with (default 0);
//   overprint    copies its first argument (the form) to the -o value + ".pdf";
//   tabulate     writes a small file named -p value + -r value up to its last dot + ".xls";
//   --list-fds   as first argument: the open descriptors above 2 are appended
//                to <name>.args as one more entry "fds:<n>,<n>,...", then the
//                blocked and the ignored signal masks ("SigBlk:\t<hex>", "SigIgn:\t<hex>").
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string BaseName(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ValueAfter(const std::vector<std::string>& args, const std::string& option) {
    for (std::size_t i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == option) return args[i + 1];
    }
    return std::string();
}

std::string OpenDescriptors() {
    std::string list = "fds:";
    if (DIR* dir = opendir("/proc/self/fd")) {
        int own = dirfd(dir);
        while (dirent* entry = readdir(dir)) {
            int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] == '.' || fd <= 2 || fd == own) continue;
            list += std::to_string(fd) + ",";
        }
        closedir(dir);
    }
    return list;
}

// The line of /proc/self/status that starts with `key`.
std::string StatusLine(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, key.size(), key) == 0) return line;
    }
    return key + " missing";
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    const std::string self = args[0];
    const std::string name = BaseName(self);
    {
        std::string fds = argc > 1 && args[1] == "--list-fds" ? OpenDescriptors() : std::string();
        std::ofstream record(self + ".args", std::ios::binary | std::ios::trunc);
        for (const std::string& arg : args) record << arg << '\0';
        if (!fds.empty())
            record << fds << '\0' << StatusLine("SigBlk:") << '\0' << StatusLine("SigIgn:") << '\0';
    }
    if (name == "overprint" && argc > 1) {
        std::string out = ValueAfter(args, "-o");
        if (!out.empty()) {
            std::ifstream form(args[1], std::ios::binary);
            std::ofstream pdf(out + ".pdf", std::ios::binary | std::ios::trunc);
            pdf << form.rdbuf();
        }
    } else if (name == "tabulate") {
        std::string folder = ValueAfter(args, "-p");
        std::string raw = ValueAfter(args, "-r");
        std::string::size_type dot = raw.rfind('.');
        std::string stem = raw.substr(0, dot);  // as tabulate: the last dot counts, none keeps the name
        std::ofstream(folder + stem + ".xls", std::ios::binary) << "stand-in workbook\n";
    }
    std::ifstream exitFile(self + ".exit");
    int status = 0;
    if (exitFile >> status) return status;
    return 0;
}
