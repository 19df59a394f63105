#include "platform/ServiceManager.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/Registry.h"
#include "platform/SyslogSocket.h"

namespace tarn {
namespace {

// Folder of the links that start units with the multi-user system.
constexpr const char* kWantsFolder = "multi-user.target.wants";
// The kernel keeps this many bytes of a process's name (/proc/<pid>/comm).
constexpr std::string::size_type kProcessNameLength = 15;

// How the service is confined. The settings TARN cannot live with, and why:
//  MemoryDenyWriteExecute  PCRE2's JIT (overprint) and the JVM of pdftk write
//                          the machine code they run.
//  PrivateNetwork, IPAddressDeny, RestrictAddressFamilies without AF_INET*:
//                          the server listens for clients from any address and
//                          blat talks SMTP.
//  RestrictAddressFamilies without AF_UNIX: readiness goes to systemd and
//                          events to syslog over local sockets.
//  RootDirectory           the programs use the system's libraries and JVM.
//  ProcSubset=pid          hides /proc/stat, /proc/meminfo and /proc/cpuinfo,
//                          which glibc and the JVM fall back on.
//  SystemCallFilter=~@resources  the JVM raises its own open-file limit.
//  DynamicUser             the save folders and the log outlive the service and
//                          belong to one named account.
//  DeviceAllow             only ProtectClock's own read access to the clock.
// The package's unit (package/TARNSvr.service) carries the same settings.
// The converters (overprint, tabulate, pdftk, blat) run as children and share
// every setting here.
constexpr const char* kSandboxSettings[] = {
    "NoNewPrivileges=yes",
    "CapabilityBoundingSet=",
    "AmbientCapabilities=",
    "ProtectSystem=strict",
    "ProtectHome=yes",
    "PrivateTmp=yes",
    "PrivateMounts=yes",
    "PrivateDevices=yes",
    "PrivateUsers=yes",
    "ProtectHostname=yes",
    "ProtectClock=yes",
    "ProtectKernelTunables=yes",
    "ProtectKernelModules=yes",
    "ProtectKernelLogs=yes",
    "ProtectControlGroups=yes",
    "ProtectProc=invisible",
    "RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6",
    "RestrictNamespaces=yes",
    "RestrictRealtime=yes",
    "RestrictSUIDSGID=yes",
    "LockPersonality=yes",
    "RemoveIPC=yes",
    "SystemCallArchitectures=native",
    "SystemCallFilter=@system-service",
    "SystemCallFilter=~@privileged",
    "SystemCallErrorNumber=EPERM",
};

bool IsControlByte(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

Status RefuseControlBytes(const std::string& what, const std::string& value) {
    for (char c : value) {
        if (IsControlByte(c))
            return Status::Error(what + " holds a control character: cannot be put in a unit");
    }
    return Status::Ok();
}

// '%' starts a specifier in every directive used here.
std::string DoublePercent(const std::string& text) {
    std::string doubled;
    for (char c : text) {
        if (c == '%') doubled += c;
        doubled += c;
    }
    return doubled;
}

// A word in double quotes, as systemd unquotes ExecStart=, Environment= and
// path lists: backslash and quote escaped, '%' doubled. '$' stays: the
// executable's path and Environment= values are not expanded.
std::string QuoteForUnit(const std::string& text) {
    std::string quoted = "\"";
    for (char c : DoublePercent(text)) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::string EnvironmentOr(const char* name, const char* fallback) {
    std::string value = EnvironmentValue(name);
    return value.empty() ? fallback : value;
}

}  // namespace

const std::vector<std::string>& ServiceEnvironmentVariables() {
    static const std::vector<std::string> names = {kRegistryRootVariable, kPidFileVariable,
                                                   kSyslogSocketVariable};
    return names;
}

std::vector<std::string> InstallerEnvironment() {
    std::vector<std::string> assignments;
    for (const std::string& name : ServiceEnvironmentVariables()) {
        std::string value = EnvironmentValue(name);
        if (!value.empty()) assignments.push_back(name + "=" + value);
    }
    return assignments;
}

Status UnitFileText(const ServiceEntry& entry, std::string* out) {
    Status refused = RefuseControlBytes("the program path", entry.programPath);
    for (const std::string& assignment : entry.environment) {
        if (refused)
            refused =
                RefuseControlBytes("the setting " + assignment.substr(0, assignment.find('=')), assignment);
    }
    if (refused) refused = RefuseControlBytes("the user name", entry.user);
    if (refused) refused = RefuseControlBytes("the working folder", entry.workingDirectory);
    for (const std::string& path : entry.writablePaths) {
        if (refused) refused = RefuseControlBytes("a writable folder", path);
    }
    // WorkingDirectory= is read unquoted and trimmed: a blank at either end would be lost.
    if (refused && !entry.workingDirectory.empty() &&
        (entry.workingDirectory.front() == ' ' || entry.workingDirectory.back() == ' ')) {
        refused = Status::Error("the working folder begins or ends with a blank: cannot be put in a unit");
    }
    if (!refused) return refused;

    std::string text;
    text += "# " + entry.name + ", the TARN print-output server. \"" + entry.name +
            " -Service\" installs\n# this unit; \"" + entry.name +
            " -RegServer\" or \"-UnregServer\" removes it.\n";
    text += "[Unit]\n";
    text += "Description=" + entry.name + "\n";
    text += "Wants=network-online.target\n";
    text += "After=network-online.target\n";
    text += "\n[Service]\n";
    // The program reports "ready" itself once it listens.
    text += "Type=notify\n";
    text += "ExecStart=" + QuoteForUnit(entry.programPath) + "\n";
    for (const std::string& assignment : entry.environment) {
        text += "Environment=" + QuoteForUnit(assignment) + "\n";
    }
    if (!entry.user.empty()) text += "User=" + DoublePercent(entry.user) + "\n";
    if (!entry.workingDirectory.empty()) {
        text += "WorkingDirectory=" + DoublePercent(entry.workingDirectory) + "\n";
    }
    // The pid file's folder, made for the service's user and removed after it.
    text += "RuntimeDirectory=" + entry.name + "\n";
    // Reports and workbooks are readable by the service's group, not by everyone.
    text += "UMask=0027\n";
    // SIGTERM to the program only: the converters it runs finish their jobs
    // while it waits for every conversation before it exits.
    text += "KillMode=mixed\n";
    text += "TimeoutStopSec=30min\n";
    text += "Restart=on-failure\n";
    text += "RestartSec=5\n";
    for (const char* setting : kSandboxSettings) text += std::string(setting) + "\n";
    if (!entry.writablePaths.empty()) {
        // A leading '-': a folder that does not exist yet is no reason to fail the start.
        text += "ReadWritePaths=";
        for (std::size_t i = 0; i < entry.writablePaths.size(); ++i) {
            text += (i > 0 ? " " : "") + std::string("-") + QuoteForUnit(entry.writablePaths[i]);
        }
        text += "\n";
    }
    if (entry.automaticStart) {
        text += "\n[Install]\n";
        text += "WantedBy=multi-user.target\n";
    }
    *out = std::move(text);
    return Status::Ok();
}

ServiceManager ServiceManager::FromEnvironment() {
    return ServiceManager(EnvironmentOr(kUnitDirVariable, kDefaultUnitDir),
                          EnvironmentOr(kPidFileVariable, kDefaultPidFile));
}

std::string ServiceManager::UnitFile(const std::string& name) const {
    return unitDir_ + "/" + name + ".service";
}

std::string ServiceManager::WantsLink(const std::string& name) const {
    return unitDir_ + "/" + kWantsFolder + "/" + name + ".service";
}

Status ServiceManager::Open() const {
    if (!IsDirectory(unitDir_)) return Status::FromErrno(unitDir_, ENOENT);
    if (::access(unitDir_.c_str(), W_OK | X_OK) != 0) return Status::FromErrno(unitDir_, errno);
    return Status::Ok();
}

bool ServiceManager::IsInstalled(const std::string& name) const { return FileOpens(UnitFile(name)); }

Status ServiceManager::CreateService(const ServiceEntry& entry) const {
    const std::string unitFile = UnitFile(entry.name);
    std::string text;
    Status status = UnitFileText(entry, &text);
    if (!status) return status;
    status = WriteWholeFile(unitFile, text);
    if (!status) return status;
    if (!entry.automaticStart) return Status::Ok();
    // What enabling the unit does: a link from the target's wants folder.
    const std::string wantsFolder = unitDir_ + "/" + kWantsFolder;
    if (::mkdir(wantsFolder.c_str(), 0755) != 0 && errno != EEXIST) {
        status = Status::FromErrno(wantsFolder, errno);
    } else {
        const std::string link = WantsLink(entry.name);
        ::unlink(link.c_str());
        if (::symlink(unitFile.c_str(), link.c_str()) != 0) status = Status::FromErrno(link, errno);
    }
    if (!status) RemoveFile(unitFile);
    return status;
}

Status ServiceManager::DeleteService(const std::string& name) const {
    const std::string link = WantsLink(name);
    if (::unlink(link.c_str()) != 0 && errno != ENOENT) return Status::FromErrno(link, errno);
    const std::string unitFile = UnitFile(name);
    if (::unlink(unitFile.c_str()) != 0) return Status::FromErrno(unitFile, errno);
    return Status::Ok();
}

ServiceManager::StopResult ServiceManager::StopService(const std::string& programName, Status* error) const {
    std::string text;
    if (!ReadWholeFile(pidFile_, &text)) return StopResult::kNotActive;
    char* end = nullptr;
    long pid = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || pid <= 1) return StopResult::kNotActive;
    // A pid file left behind by a crash may name an unrelated process by now.
    std::string comm;
    if (!ReadWholeFile("/proc/" + std::to_string(pid) + "/comm", &comm)) {
        return StopResult::kNotActive;
    }
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    if (comm != programName.substr(0, kProcessNameLength)) return StopResult::kNotActive;
    if (::kill(static_cast<pid_t>(pid), SIGTERM) != 0) {
        if (errno == ESRCH) return StopResult::kNotActive;
        *error = Status::FromErrno("stop process " + std::to_string(pid), errno);
        return StopResult::kFailed;
    }
    return StopResult::kSent;
}

Status ServiceManager::WritePidFile() const {
    // Without systemd nobody has made the runtime folder.
    const std::string folder = pidFile_.substr(0, pidFile_.rfind('/'));
    if (!folder.empty()) ::mkdir(folder.c_str(), 0755);
    return WriteWholeFile(pidFile_, std::to_string(::getpid()) + "\n");
}

void ServiceManager::RemovePidFile() const {
    // Only our own: a newer instance may have written the file since.
    std::string text;
    if (ReadWholeFile(pidFile_, &text) && std::strtol(text.c_str(), nullptr, 10) == ::getpid()) {
        RemoveFile(pidFile_);
    }
}

}  // namespace tarn
