#pragma once
// The service manager of the platform: a service is a systemd unit file
// "<name>.service" in the unit folder, enabled for automatic start through a
// link in "multi-user.target.wants/". A service counts as installed when its
// unit file exists. A running service is told to stop with SIGTERM, sent to
// the process named in its pid file, which the service writes while it runs.

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace tarn {

// Environment variable that overrides the unit folder.
inline constexpr const char* kUnitDirVariable = "TARN_UNIT_DIR";
inline constexpr const char* kDefaultUnitDir = "/etc/systemd/system";
// Environment variable that overrides the service's pid file.
inline constexpr const char* kPidFileVariable = "TARN_PID_FILE";
// The folder is the service's runtime directory, which systemd makes for the
// user the service runs as.
inline constexpr const char* kDefaultPidFile = "/run/TARNSvr/TARNSvr.pid";
// Environment variables that a unit passes on to its service when they were
// set at installation, so that the service finds what the installer used.
const std::vector<std::string>& ServiceEnvironmentVariables();

// What a service entry holds.
struct ServiceEntry {
    std::string name;         // unit name and display name
    std::string programPath;  // full path of the executable, unquoted
    bool automaticStart = true;
    std::vector<std::string> environment;    // "NAME=value" for the service's process
    std::string user;                        // account the service runs as; empty: root
    std::string workingDirectory;            // empty: none set
    std::vector<std::string> writablePaths;  // all else is read-only to the service
};

// The unit file text for an entry: the service runs sandboxed (see
// kSandboxSettings in the source), with files it creates not world-readable.
// Fails when a value holds a byte that a unit file cannot carry (control
// bytes, a line end above all, would start a directive of their own).
Status UnitFileText(const ServiceEntry& entry, std::string* text);

// "NAME=value" for each variable of ServiceEnvironmentVariables() that is set.
std::vector<std::string> InstallerEnvironment();

class ServiceManager {
  public:
    ServiceManager(std::string unitDir, std::string pidFile)
        : unitDir_(std::move(unitDir)), pidFile_(std::move(pidFile)) {}
    // The manager for $TARN_UNIT_DIR and $TARN_PID_FILE, or their defaults.
    static ServiceManager FromEnvironment();

    const std::string& unitDir() const { return unitDir_; }
    const std::string& pidFile() const { return pidFile_; }
    std::string UnitFile(const std::string& name) const;

    // Succeeds when the unit folder exists and can be written.
    Status Open() const;
    bool IsInstalled(const std::string& name) const;
    // Writes the unit file and, for automatic start, its wants link.
    Status CreateService(const ServiceEntry& entry) const;
    // Removes the unit file and its wants link.
    Status DeleteService(const std::string& name) const;

    enum class StopResult { kSent, kNotActive, kFailed };
    // Sends SIGTERM to the running service named by the pid file when that
    // process is still the program `programName`.
    StopResult StopService(const std::string& programName, Status* error) const;

    // The running service's own pid file.
    Status WritePidFile() const;
    void RemovePidFile() const;

  private:
    std::string WantsLink(const std::string& name) const;

    std::string unitDir_;
    std::string pidFile_;
};

}  // namespace tarn
