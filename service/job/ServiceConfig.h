#pragma once
// The loaded TARN.ini: the profile plus the fixed settings of section Server,
// copied into fields once at load. Read-only after construction, so any
// number of connection threads read it at once without locks.

#include <memory>
#include <string>
#include <vector>

#include "service/job/SettingKeys.h"
#include "service/job/XmlProfile.h"

namespace tarn {

class CEventReporter;

// Port the listener binds when the setting is missing or empty.
inline constexpr int kDefaultPort = 5000;
// Mail server port when the setting is missing or empty.
inline constexpr const char* kDefaultMailPort = "25";

class CServiceConfig : public CXmlProfile {
  public:
    // Loads `iniPath` and reads section Server. On failure reports error
    // event 0xC0000003 with the reason and returns null.
    // `programDir` is the service program's folder with its closing separator.
    static std::unique_ptr<CServiceConfig> Create(const std::string& iniPath, const std::string& programDir,
                                                  const CEventReporter& events);

    bool Debug() const { return debug_; }
    int Port() const { return port_; }
    const std::string& Sender() const { return sender_; }
    const std::string& MailServer() const { return emlsrv_; }
    const std::string& Info() const { return info_; }
    const std::string& BodyFiles() const { return bodyfiles_; }
    const std::string& ModulePath() const { return modulePath_; }
    const std::string& EmailUid() const { return emailUid_; }
    const std::string& EmailPwd() const { return emailPwd_; }
    const std::string& MailPort() const { return emport_; }
    const std::string& ActivityLog() const { return emlog_; }

    // The folder overprint takes forms named in report text from: formsDir
    // as written when absolute, else below ModulePath; empty when the
    // setting is missing or empty (overprint then uses its own folder).
    const std::string& FormsFolder() const { return formsFolder_; }
    // Every save folder the configuration names (key saveDir of each
    // section; each saveDir... key of section xls), as written.
    std::vector<std::string> SaveFolders() const;

    // Path of the program `name` (overprint, tabulate, pdftk, blat) in the
    // tool folder: ModulePath joined with the `home` setting.
    std::string ToolPath(const std::string& name) const;

  private:
    CServiceConfig() = default;

    bool debug_ = false;
    int port_ = kDefaultPort;
    std::string sender_;
    std::string emlsrv_;
    std::string info_;
    std::string bodyfiles_;
    std::string modulePath_;
    std::string emailUid_;
    std::string emailPwd_;
    std::string emport_ = kDefaultMailPort;
    std::string emlog_;
    std::string formsFolder_;
};

}  // namespace tarn
