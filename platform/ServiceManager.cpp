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

// Quotes a word for a unit file: inside double quotes, backslash and quote are
// escaped, '%' (specifiers) and '$' (variable expansion) are doubled.
std::string QuoteForUnit(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        if (c == '%' || c == '$') quoted += c;
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

std::string UnitFileText(const ServiceEntry& entry) {
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
    // SIGTERM to the program only: the converters it runs finish their jobs
    // while it waits for every conversation before it exits.
    text += "KillMode=mixed\n";
    text += "TimeoutStopSec=30min\n";
    text += "Restart=on-failure\n";
    text += "RestartSec=5\n";
    if (entry.automaticStart) {
        text += "\n[Install]\n";
        text += "WantedBy=multi-user.target\n";
    }
    return text;
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
    Status status = WriteWholeFile(unitFile, UnitFileText(entry));
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
