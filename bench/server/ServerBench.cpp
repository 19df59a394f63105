// Raw-text jobs per second and MB/s through the real TARNSvr with 1, 8 and
// 64 concurrent clients sending 200-line reports, and in the same run the
// same load against a minimal receive-to-file server (one thread per
// connection, one write per receive) as the floor to compare with, and
// TARNSvr's share of the floor. The two servers take turns in short rounds,
// so that a change in the machine's load falls on both alike.
// Then the job history's cost: the same load with the history off and on.
// Prints figures; never passes or fails on time.
//
// usage: server_bench [seconds per figure] [history]
//   seconds per figure: default 8, in rounds of 1 s
//   history: the history's cost only

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ServerTestSupport.h"
#include "platform/ExclusiveFile.h"
#include "platform/Socket.h"
#include "platform/Thread.h"

namespace {

using tarn::testing::Clock;
using tarn::testing::ServerProcess;
using tarn::testing::TempFolder;
using tarn::testing::TestClient;

// Lines per report.
constexpr int kReportLines = 200;
// Receive buffer of the floor server.
constexpr size_t kFloorChunk = 4096;
// Length of one round of one server.
constexpr double kRoundSeconds = 1.0;

std::string MakeReport() {
    std::string text;
    char line[128];
    for (int i = 0; i < kReportLines; ++i) {
        std::snprintf(line, sizeof line, "%-8d ACME Widgets Ltd.    Invoice %08d   qty %6d   EUR %12.2f\r\n",
                      i, 100000 + i, i * 7 % 1000, i * 12.34);
        text += line;
    }
    return text;
}

// The floor: greets, acknowledges the first line, writes every received
// byte to a file until "_EOF_" and answers ok. Nothing else.
class FloorServer {
  public:
    explicit FloorServer(std::string folder) : folder_(std::move(folder)) {
        tarn::ListenTcp("127.0.0.1", 0, &listener_);
        port_ = tarn::BoundPort(listener_);
        tarn::StartDetachedThread([this] { AcceptLoop(); });
    }
    ~FloorServer() {
        stopping_ = true;
        tarn::ShutdownSocket(listener_);
        while (!loopEnded_ || running_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        tarn::CloseSocket(listener_);
    }
    int port() const { return port_; }

  private:
    void AcceptLoop() {
        while (!stopping_) {
            tarn::SocketHandle c = tarn::kNoSocket;
            if (!tarn::AcceptConnection(listener_, &c).ok()) continue;
            ++running_;
            tarn::StartDetachedThread([this, c] {
                Serve(c);
                --running_;
            });
        }
        loopEnded_ = true;
    }
    void Serve(tarn::SocketHandle c) {
        tarn::SendAll(c, "Hi\n", 3);
        std::string pending;
        char buffer[kFloorChunk];
        size_t n = 0;
        while (pending.find('\n') == std::string::npos &&
               tarn::ReceiveSome(c, buffer, sizeof buffer, &n).ok() && n)
            pending.append(buffer, n);
        tarn::SendAll(c, "ROGER_CMD\n", 10);
        // The raw name is the second field of the command line, as for TARNSvr.
        std::string command = pending.substr(0, pending.find('\n'));
        std::string::size_type nameStart = command.find('\x02') + 1;
        std::string name = command.substr(nameStart, command.find('\x02', nameStart) - nameStart);
        tarn::ExclusiveFile file;
        file.Create(folder_ + "/" + name);
        std::string body = pending.substr(pending.find('\n') + 1);
        std::string tail = body.size() > 8 ? body.substr(body.size() - 8) : body;
        file.Write(body.data(), body.size());
        while (tail.find("_EOF_") == std::string::npos &&
               tarn::ReceiveSome(c, buffer, sizeof buffer, &n).ok() && n) {
            file.Write(buffer, n);
            tail = (tail + std::string(buffer, n));
            if (tail.size() > 8) tail = tail.substr(tail.size() - 8);
        }
        file.Close();
        tarn::SendAll(c, "ok\nBye\n", 7);
        tarn::CloseSocket(c);
    }

    std::string folder_;
    tarn::SocketHandle listener_ = tarn::kNoSocket;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> loopEnded_{false};
    std::atomic<int> running_{0};
};

struct Figures {
    int jobs = 0;
    int failed = 0;
    double seconds = 0;
    double JobsPerSecond() const { return seconds > 0 ? jobs / seconds : 0; }
};

// `clients` clients each send jobs one after another for `seconds`, each
// job under a new raw name; then the files written are removed (untimed).
void RunLoad(int port, int clients, double seconds, const std::string& report, const std::string& folder,
             bool checkFiles, Figures* figures) {
    std::atomic<int> jobs{0};
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    auto start = Clock::now();
    auto deadline =
        start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            const std::string text = "\x02raw\r\n_RAWFILE_\r\n" + report + "_EOF_\r\n";
            for (int j = 0; Clock::now() < deadline; ++j) {
                TestClient client(port);
                client.Send("_RUN_\x02" + std::to_string(c) + "_" + std::to_string(j) + ".txt" + text);
                if (client.ReadAll(std::chrono::seconds(60)) != "Hi\nROGER_CMD\nok\nBye\n") ++failed;
                ++jobs;
            }
        });
    }
    for (std::thread& t : threads) t.join();
    figures->jobs += jobs;
    figures->failed += failed;
    figures->seconds += std::chrono::duration<double>(Clock::now() - start).count();
    // Every raw file of TARNSvr holds the report byte for byte (the floor
    // stores the stream as it came, command words included).
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (checkFiles && tarn::testing::ReadText(entry.path().string()) != report) ++figures->failed;
        std::filesystem::remove(entry.path());
    }
}

// Runs the floor in a process of its own, as TARNSvr runs in one: a server
// that shared the clients' process would switch between them more cheaply
// than any real server can. Returns its port; the process ends when the
// returned descriptor is closed.
int StartFloorProcess(const std::string& folder, pid_t* pid, int* lifeline) {
    int portPipe[2];
    int lifePipe[2];
    if (::pipe(portPipe) != 0 || ::pipe(lifePipe) != 0) return 0;
    *pid = ::fork();
    if (*pid == 0) {
        ::close(portPipe[0]);
        ::close(lifePipe[1]);
        FloorServer floor(folder);
        int port = floor.port();
        if (::write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
        char byte;
        while (::read(lifePipe[0], &byte, 1) > 0) {
        }
        _exit(0);
    }
    ::close(portPipe[1]);
    ::close(lifePipe[0]);
    int port = 0;
    if (::read(portPipe[0], &port, sizeof port) != sizeof port) port = 0;
    ::close(portPipe[0]);
    *lifeline = lifePipe[1];
    return port;
}

void Print(const char* server, int clients, const Figures& f, size_t reportBytes) {
    double mb = static_cast<double>(reportBytes) * f.jobs / (1024.0 * 1024.0);
    std::printf("%-8s %3d clients  %6d jobs  %6.2f s  %8.1f jobs/s  %7.2f MB/s  failed %d\n", server, clients,
                f.jobs, f.seconds, f.JobsPerSecond(), mb / f.seconds, f.failed);
}

// CPU seconds (user and system) `pid` has used so far.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which ends with the last ')'.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::stoull(field);
        if (i == 15) system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The cost of the job history: the same raw-text load through two TARNSvr,
// one with the history off and one with it on (the default jobs.db), at 1
// and 8 clients, in pairs of rounds (one round of each server, the order
// changing from pair to pair). Prints the median throughput of each, the
// median of the pairs' on/off ratios (a change in the machine's load falls
// on both rounds of a pair alike), and the server's CPU time per job over
// all rounds (the steadier figure on a machine that other work shares).
void HistoryCost(const std::string& report, double secondsPerFigure) {
    // Short rounds: the two rounds of a pair see much the same load.
    constexpr double kPairRoundSeconds = 0.25;
    const int pairs = std::max(5, static_cast<int>(secondsPerFigure / kPairRoundSeconds + 0.5));
    TempFolder folder;
    ServerProcess servers[2];
    for (int on = 0; on < 2; ++on) {
        const std::string home = folder / (on ? "on" : "off");
        std::filesystem::create_directories(home + "/out");
        const std::string ini = std::string("[Server]\nport=0\n") + (on ? "" : "jobHistory=\n") +
                                "[raw]\nsaveDir=" + home + "/out\n";
        if (!servers[on].Start(home, ini)) {
            std::fprintf(stderr, "server_bench: TARNSvr did not start\n%s", servers[on].Console().c_str());
            return;
        }
    }
    std::printf("job history off and on, %d pairs of %.2f s rounds; medians\n", pairs, kPairRoundSeconds);
    const auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    for (int clients : {1, 8}) {
        std::vector<double> rates[2];
        std::vector<double> ratios;
        double cpu[2] = {0, 0};
        int jobs[2] = {0, 0};
        int failed = 0;
        for (int pair = 0; pair < pairs; ++pair) {
            for (int turn = 0; turn < 2; ++turn) {
                const int on = (pair + turn) % 2;
                const double cpuBefore = CpuSeconds(servers[on].pid());
                Figures f;
                RunLoad(servers[on].port(), clients, kPairRoundSeconds, report,
                        folder / (on ? "on/out" : "off/out"), false, &f);
                rates[on].push_back(f.jobs / f.seconds);
                cpu[on] += CpuSeconds(servers[on].pid()) - cpuBefore;
                jobs[on] += f.jobs;
                failed += f.failed;
            }
            ratios.push_back(rates[1].back() / rates[0].back());
        }
        const double perJob[2] = {1e6 * cpu[0] / jobs[0], 1e6 * cpu[1] / jobs[1]};
        std::printf(
            "history  %3d clients  off %9.1f jobs/s  on %9.1f jobs/s  on/off %5.1f %%   "
            "server CPU per job off %6.0f us  on %6.0f us  on/off %5.1f %%  failed %d\n",
            clients, median(rates[0]), median(rates[1]), 100.0 * median(ratios), perJob[0], perJob[1],
            100.0 * perJob[1] / perJob[0], failed);
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    double secondsPerFigure = argc > 1 ? std::atof(argv[1]) : 8.0;
    if (secondsPerFigure <= 0) secondsPerFigure = 8.0;
    const int rounds = std::max(1, static_cast<int>(secondsPerFigure / kRoundSeconds + 0.5));
    const std::string report = MakeReport();
    if (argc > 2 && std::string(argv[2]) == "history") {
        HistoryCost(report, secondsPerFigure);
        return 0;
    }

    TempFolder folder;
    std::string out = folder / "out";
    std::filesystem::create_directories(out);
    std::filesystem::create_directories(folder / "floor");
    ServerProcess server;
    if (!server.Start(folder.path(), "[Server]\nport=0\n[raw]\nsaveDir=" + out + "\n")) {
        std::fprintf(stderr, "server_bench: TARNSvr did not start\n%s", server.Console().c_str());
        return 1;
    }
    pid_t floorPid = -1;
    int floorLifeline = -1;
    const int floorPort = StartFloorProcess(folder / "floor", &floorPid, &floorLifeline);
    if (floorPort == 0) {
        std::fprintf(stderr, "server_bench: the floor server did not start\n");
        return 1;
    }

    std::printf("raw-text jobs of %d lines (%zu bytes) over 127.0.0.1, %d rounds of %.1f s per server\n",
                kReportLines, report.size(), rounds, secondsPerFigure / rounds);
    std::fflush(stdout);
    for (int clients : {1, 8, 64}) {
        Figures tarnSvr;
        Figures bare;
        for (int round = 0; round < rounds; ++round) {
            const double seconds = secondsPerFigure / rounds;
            RunLoad(server.port(), clients, seconds, report, out, true, &tarnSvr);
            RunLoad(floorPort, clients, seconds, report, folder / "floor", false, &bare);
        }
        Print("TARNSvr", clients, tarnSvr, report.size());
        Print("floor", clients, bare, report.size());
        std::printf("TARNSvr at %.0f %% of the floor with %d clients\n",
                    100.0 * tarnSvr.JobsPerSecond() / bare.JobsPerSecond(), clients);
        std::fflush(stdout);
    }
    ::close(floorLifeline);
    ::waitpid(floorPid, nullptr, 0);

    // The history's cost, each server as long as each above.
    HistoryCost(report, secondsPerFigure);
    return 0;
}
