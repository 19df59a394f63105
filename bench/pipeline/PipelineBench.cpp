// Jobs per second through the real TARNSvr for a raw-text section and for a
// PDF section merged with front and back files, with 1 and 8 concurrent
// clients: once with pdftk as the merge program and once with tarn-merge
// (merger=tarn-merge), each in a server of its own, and the ratio between
// them. Then the peak memory of each merge program, run directly on the
// same three inputs. Prints figures; never passes or fails on time.
//
// usage: pipeline_bench [raw jobs per client] [merge jobs per client] [most merge clients]
// The converter for the merge section is build/bin/overprint when built,
// else the stand-in tool (copies the form), so the figures show the
// pipeline and the merge program, not the converter.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service/host/ServiceIdentity.h"
#include "tests/stubs/StandIn.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// One job over one connection; true when the server answered "ok".
bool SendJob(int port, const std::string& rawName, const std::string& section, const std::string& text) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    std::string request = "_RUN_\x02" + rawName + "\x02" + section + "\r\n_RAWFILE_\r\n" + text + "_EOF_\r\n";
    bool sent =
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    std::string reply;
    char buffer[512];
    pollfd p{fd, POLLIN, 0};
    while (sent && poll(&p, 1, 120000) > 0) {  // bounded: two minutes without a byte ends the job
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return reply.find("\nok\n") != std::string::npos;
}

struct Figures {
    int jobs = 0;
    int failed = 0;
    double seconds = 0;
};

Figures RunClients(int port, const std::string& section, int clients, int jobsEach, const std::string& text) {
    std::atomic<int> failed{0};
    auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            for (int j = 0; j < jobsEach; ++j) {
                std::string name = section + "-" + std::to_string(c) + "-" + std::to_string(j) + ".txt";
                if (!SendJob(port, name, section, text)) ++failed;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    Figures f;
    f.jobs = clients * jobsEach;
    f.failed = failed;
    f.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return f;
}

void Print(const char* what, int clients, const Figures& f) {
    std::printf("%-30s %2d client(s) %4d jobs %3d failed %8.2f s %9.2f jobs/s\n", what, clients, f.jobs,
                f.failed, f.seconds, f.jobs / f.seconds);
    std::fflush(stdout);
}

// A TARNSvr in `dir` with `ini`; stops it when it goes.
class Server {
  public:
    Server(const std::string& dir, const std::string& ini) : dir_(dir) {
        tarn::testing::WriteFile(dir + "TARN.ini", ini);
        fs::remove(dir + "console.txt");  // an earlier server's port must not be read
        std::fflush(stdout);
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            tarn::testing::EndWithParent(parent);
            FILE* console = std::freopen((dir + "console.txt").c_str(), "w", stdout);
            if (console == nullptr) _exit(127);
            setenv("TARN_LISTEN_ADDRESS", "127.0.0.1", 1);
            // Registered as a plain server in a registry of its own: console mode.
            fs::create_directories(dir + "registry/HKEY_CLASSES_ROOT/AppID/" + tarn::kAppIdGuid);
            setenv("TARN_REGISTRY_ROOT", (dir + "registry").c_str(), 1);
            std::string program = dir + "TARNSvr";
            execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        std::smatch match;
        for (int i = 0; i < 500 && port_ == 0; ++i) {
            std::string console = Read(dir + "console.txt");
            if (std::regex_search(console, match, std::regex("Port: ([0-9]+)\n")))
                port_ = std::stoi(match[1].str());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ~Server() {
        kill(pid_, port_ == 0 ? SIGKILL : SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    int port() const { return port_; }

  private:
    std::string dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// Largest resident set, in kilobytes, of `argv` over `runs` runs; 0 when a
// run fails.
long PeakMemoryKb(const std::vector<std::string>& argv, int runs) {
    long peak = 0;
    for (int i = 0; i < runs; ++i) {
        std::fflush(stdout);
        pid_t pid = fork();
        if (pid == 0) {
            if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;
        peak = std::max(peak, usage.ru_maxrss);
    }
    return peak;
}

}  // namespace

int main(int argc, char** argv) {
    const int rawJobs = argc > 1 ? std::atoi(argv[1]) : 200;
    const int mergeJobs = argc > 2 ? std::atoi(argv[2]) : 4;
    const int mostMergeClients = argc > 3 ? std::atoi(argv[3]) : 8;
    tarn::testing::ScratchFolder dir;
    const std::string bin = TARN_BIN_DIR;
    for (const char* sub : {"tools", "forms", "merge", "out"}) fs::create_directory(dir / sub);
    const bool realOverprint = fs::exists(bin + "/overprint");
    if (realOverprint) {
        fs::create_symlink(bin + "/overprint", dir / "tools/overprint");
        if (fs::exists(bin + "/PdfFont.ext"))
            fs::create_symlink(bin + "/PdfFont.ext", dir / "tools/PdfFont.ext");
    } else {
        tarn::testing::InstallStandIn(dir / "tools/", "overprint");
    }
    fs::create_symlink("/usr/bin/pdftk", dir / "tools/pdftk");
    const bool haveTarnMerge = fs::exists(bin + "/tarn-merge");
    if (haveTarnMerge) fs::create_symlink(bin + "/tarn-merge", dir / "tools/tarn-merge");
    fs::copy_file(std::string(TARN_SOURCE_DIR) + "/examples/forms/letter.pdf", dir / "forms/form.pdf");
    tarn::testing::WriteFile(dir / "merge/front.pdf", tarn::testing::MakePdf(2));
    tarn::testing::WriteFile(dir / "merge/back.pdf", tarn::testing::MakePdf(1));
    fs::copy_file(bin + "/TARNSvr", dir / "TARNSvr");
    const std::string sections = "[RAW]\nsaveDir=" + dir / "out" + "\n[MERGE]\nsaveDir=" + dir / "out" +
                                 "\ntemplate=forms/form.pdf\nmergeBefore=merge/front.pdf\n"
                                 "mergeAfter=merge/back.pdf\n";

    std::string report;
    for (int i = 0; i < 200; ++i)
        report += "line " + std::to_string(i) + " of a 200-line report, amount 1,234.56\r\n";
    std::printf("TARNSvr pipeline, 200-line reports; merge converter: %s; pdftk: /usr/bin/pdftk\n",
                realOverprint ? "overprint" : "stand-in (copies the form)");
    std::vector<int> mergeClients = {1, 8};
    if (mostMergeClients > 8) mergeClients.push_back(mostMergeClients);
    std::vector<Figures> withPdftk, withTarnMerge;
    {
        Server server(dir.path(), "[Server]\nport=0\nhome=tools\n" + sections);
        if (server.port() == 0) {
            std::fprintf(stderr, "pipeline_bench: TARNSvr did not start\n");
            return 1;
        }
        for (int clients : {1, 8})
            Print("raw section", clients, RunClients(server.port(), "RAW", clients, rawJobs, report));
        for (int clients : mergeClients) {
            withPdftk.push_back(RunClients(server.port(), "MERGE", clients, mergeJobs, report));
            Print("merge section (pdftk)", clients, withPdftk.back());
        }
    }
    if (haveTarnMerge) {
        Server server(dir.path(), "[Server]\nport=0\nhome=tools\nmerger=tarn-merge\n" + sections);
        if (server.port() == 0) {
            std::fprintf(stderr, "pipeline_bench: TARNSvr did not start\n");
            return 1;
        }
        for (int clients : mergeClients) {
            withTarnMerge.push_back(RunClients(server.port(), "MERGE", clients, mergeJobs, report));
            Print("merge section (tarn-merge)", clients, withTarnMerge.back());
        }
        for (size_t i = 0; i < mergeClients.size(); ++i) {
            if (withPdftk[i].failed > 0 || withTarnMerge[i].failed > 0) {
                std::printf("merge section, %2d client(s): failed jobs, no ratio\n", mergeClients[i]);
                continue;
            }
            const double pdftkRate = withPdftk[i].jobs / withPdftk[i].seconds;
            const double ownRate = withTarnMerge[i].jobs / withTarnMerge[i].seconds;
            std::printf("merge section, %2d client(s): tarn-merge %.1fx the jobs/s of pdftk (target 5x)\n",
                        mergeClients[i], ownRate / pdftkRate);
        }

        // Peak memory of one merge of the same inputs, each program run directly.
        const std::string converted = dir / "out/converted.pdf";
        fs::copy_file(dir / "forms/form.pdf", converted);
        const std::vector<std::string> inputs = {dir / "merge/front.pdf", converted, dir / "merge/back.pdf"};
        auto mergeWords = [&](const std::string& program, const std::string& out) {
            std::vector<std::string> words{program};
            words.insert(words.end(), inputs.begin(), inputs.end());
            words.insert(words.end(), {"cat", "output", out});
            return words;
        };
        const long pdftkKb = PeakMemoryKb(mergeWords("/usr/bin/pdftk", dir / "out/p.pdf"), 3);
        const long ownKb = PeakMemoryKb(mergeWords(bin + "/tarn-merge", dir / "out/t.pdf"), 3);
        std::printf(
            "peak memory of one merge: pdftk %.1f MB, tarn-merge %.1f MB: %.2f of pdftk's "
            "(target 0.25 or less)\n",
            pdftkKb / 1024.0, ownKb / 1024.0, pdftkKb > 0 ? static_cast<double>(ownKb) / pdftkKb : 0.0);
    } else {
        std::printf("tarn-merge not built: no comparison\n");
    }
    return 0;
}
