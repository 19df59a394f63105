#include "tools/JobsCommand.h"

#include <algorithm>

#include "platform/Paths.h"
#include "service/history/DisplayText.h"
#include "service/history/JobQuery.h"
#include "service/job/XmlProfile.h"

#ifndef TARN_VERSION
#define TARN_VERSION "unknown"
#endif

namespace tarn {
namespace {

// Widest raw name and reply shown in the table (characters).
constexpr std::size_t kNameWidth = 40;
constexpr std::size_t kReplyWidth = 48;
// Most jobs one call lists.
constexpr int kMaxLimit = 1000000;

struct Options {
    std::string db;
    std::string config;
    JobFilter filter;
    bool json = false;
    bool show = false;
    std::int64_t id = 0;
};

bool ReadCount(const std::string& text, std::int64_t highest, std::int64_t* value) {
    if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::stoll(text);
    return *value >= 1 && *value <= highest;
}

// Reads the arguments; false with *error set for a usage fault.
bool ParseArguments(const std::vector<std::string>& args, Options* options, std::string* error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string* target) {
            if (i + 1 >= args.size()) {
                *error = arg + " needs a value";
                return false;
            }
            *target = args[++i];
            return true;
        };
        std::string text;
        if (arg == "--db") {
            if (!value(&options->db)) return false;
        } else if (arg == "--config") {
            if (!value(&options->config)) return false;
        } else if (arg == "--section") {
            if (!value(&options->filter.section)) return false;
        } else if (arg == "--client") {
            if (!value(&options->filter.client)) return false;
        } else if (arg == "--failed") {
            options->filter.failedOnly = true;
        } else if (arg == "--json") {
            options->json = true;
        } else if (arg == "--since") {
            if (!value(&text)) return false;
            if (!ParseSince(text, CurrentTimeMs(), &options->filter.sinceMs)) {
                *error = "--since " + EscapeForDisplay(ToUtf8(text)) +
                         ": expected YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], HH:MM or an age such as 30m, 12h, 7d";
                return false;
            }
        } else if (arg == "--limit") {
            std::int64_t limit = 0;
            if (!value(&text)) return false;
            if (!ReadCount(text, kMaxLimit, &limit)) {
                *error = "--limit " + EscapeForDisplay(ToUtf8(text)) + ": expected a number from 1 to " +
                         std::to_string(kMaxLimit);
                return false;
            }
            options->filter.limit = static_cast<int>(limit);
        } else if (arg == "show" && !options->show) {
            if (i + 1 >= args.size() || !ReadCount(args[i + 1], INT64_MAX, &options->id)) {
                *error = "show needs a job number";
                return false;
            }
            options->show = true;
            ++i;
        } else {
            *error = "unknown argument " + EscapeForDisplay(ToUtf8(arg));
            return false;
        }
    }
    return true;
}

// The database as TARNSvr finds it; empty with *error set when the history is off.
std::string HistoryPathFromConfig(const std::string& iniPath, const std::string& programDir,
                                  std::string* error) {
    CXmlProfile profile;
    if (!profile.Load(iniPath)) {
        *error = "cannot read " + iniPath + " (give the database with --db FILE)";
        return std::string();
    }
    std::string modulePath = profile.GetString("Server", "ModulePath", "");
    // TARN.ini lives in the server's program folder, the default ModulePath.
    if (modulePath.empty()) {
        const std::string::size_type slash = iniPath.rfind(kPathSeparator);
        modulePath =
            slash == std::string::npos ? std::string(".") + kPathSeparator : iniPath.substr(0, slash + 1);
    }
    const std::string history = profile.GetString("Server", "jobHistory", "jobs.db");
    if (history.empty()) {
        *error = "the job history is off (jobHistory is empty in " + iniPath + ")";
        return std::string();
    }
    return HistoryPathFor(modulePath, history);
}

std::string Pad(const std::string& text, std::size_t width) {
    const std::size_t shown = DisplayWidth(text);
    return text + std::string(width > shown ? width - shown : 0, ' ');
}

std::string Table(const std::vector<JobRow>& rows) {
    std::vector<std::vector<std::string>> cells;
    cells.push_back({"ID", "FINISHED", "CLIENT", "SECTION", "RAW NAME", "BYTES", "MAILS", "RESULT", "REPLY"});
    for (const JobRow& job : rows) {
        cells.push_back(
            {std::to_string(job.id), LocalTimeText(job.finishedMs), job.clientAddress,
             CutToWidth(EscapeForDisplay(job.sectionSent), kNameWidth),
             CutToWidth(EscapeForDisplay(job.rawName), kNameWidth),
             job.outputSize >= 0 ? std::to_string(job.outputSize) : "-",
             job.mailsTotal > 0 ? std::to_string(job.mailsSent) + "/" + std::to_string(job.mailsTotal) : "-",
             job.ok ? "ok" : "FAILED",
             job.reply.empty()
                 ? "-"
                 : CutToWidth(EscapeForDisplay(job.reply.substr(0, job.reply.find('\n'))), kReplyWidth)});
    }
    std::vector<std::size_t> widths(cells[0].size(), 0);
    for (const auto& row : cells) {
        for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const auto& row : cells) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += c + 1 < row.size() ? Pad(row[c], widths[c]) + "  " : row[c];
        }
        out += line + "\n";
    }
    return out;
}

std::string Details(const JobRow& job) {
    std::string out;
    const auto line = [&out](const std::string& name, const std::string& value) {
        out += Pad(name + ":", 20) + value + "\n";
    };
    line("Job", std::to_string(job.id));
    line("Result", job.ok ? "ok" : "FAILED");
    line("Accepted", LocalTimeText(job.acceptedMs));
    line("Finished",
         LocalTimeText(job.finishedMs) + " (" + std::to_string(job.finishedMs - job.acceptedMs) + " ms)");
    line("Client", job.clientAddress + " port " + std::to_string(job.clientPort));
    line("Raw name", EscapeForDisplay(job.rawName));
    line("Raw name as sent", EscapeForDisplay(job.rawNameSent));
    line("Section as sent", EscapeForDisplay(job.sectionSent));
    line("Section used", EscapeForDisplay(job.section));
    line("Output", EscapeForDisplay(job.outputPath) +
                       (job.outputSize >= 0 ? " (" + std::to_string(job.outputSize) + " bytes)" : " (none)"));
    // The reply a line at a time, as the client read it.
    std::string reply;
    for (std::string::size_type start = 0, end; start < job.reply.size(); start = end + 1) {
        end = std::min(job.reply.find('\n', start), job.reply.size());
        reply += (start > 0 ? "\n" + std::string(20, ' ') : "") +
                 EscapeForDisplay(job.reply.substr(start, end - start));
    }
    line("Reply", (reply.empty() ? "(none)" : reply) + (job.replyDelivered ? "" : " (not delivered)"));
    line("Client gone early", job.clientGone ? "yes" : "no");
    line("Error events", job.errorEvents.empty() ? "none" : job.errorEvents);
    line("E-mail orders", std::to_string(job.mails.size()));
    for (std::size_t i = 0; i < job.mails.size(); ++i) {
        const MailRow& mail = job.mails[i];
        out += "  " + std::to_string(i + 1) + ". " + EscapeForDisplay(mail.addresses) + "  subject \"" +
               EscapeForDisplay(mail.subject) + "\"  " + mail.outcome +
               (mail.reason.empty() ? "" : ": " + EscapeForDisplay(mail.reason)) + "\n";
    }
    return out;
}

}  // namespace

std::string JobsUsage() {
    return "usage: tarn-jobs [--db FILE | --config TARN.ini] [--section NAME] [--failed] [--since TIME]\n"
           "                 [--client ADDRESS] [--limit N] [--json]\n"
           "       tarn-jobs [--db FILE | --config TARN.ini] [--json] show ID\n"
           "       tarn-jobs --help | --version\n"
           "Lists the latest jobs of the TARN job history (default 20), newest first.\n"
           "  --section NAME    jobs of this section (as sent or as used)\n"
           "  --failed          only jobs that did not end with \"ok\"\n"
           "  --since TIME      jobs that ended since YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], HH:MM (today)\n"
           "                    or an age such as 30m, 12h, 7d\n"
           "  --client ADDRESS  jobs from this client address\n"
           "  --limit N         at most N jobs\n"
           "  --json            JSON instead of a table\n"
           "  show ID           one job with its e-mail orders\n"
           "Without --db the database is jobHistory of [Server] in TARN.ini beside the program,\n"
           "below ModulePath.\n";
}

int RunJobsCommand(const std::vector<std::string>& args, const std::string& programDir, std::string* out,
                   std::string* err) {
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        *out = JobsUsage();
        return kJobsOk;
    }
    if (std::find(args.begin(), args.end(), "--version") != args.end()) {
        *out = std::string("tarn-jobs ") + TARN_VERSION + "\n";
        return kJobsOk;
    }
    Options options;
    std::string error;
    if (!ParseArguments(args, &options, &error)) {
        *err = "tarn-jobs: " + error + "\n" + JobsUsage();
        return kJobsUsage;
    }
    std::string path = options.db;
    if (path.empty()) {
        const std::string ini = options.config.empty() ? programDir + "TARN.ini" : options.config;
        path = HistoryPathFromConfig(ini, programDir, &error);
        if (path.empty()) {
            *err = "tarn-jobs: " + error + "\n";
            return kJobsNoHistory;
        }
    }
    HistoryReader reader;
    Status status = reader.Open(path);
    if (status && options.show) {
        bool found = false;
        JobRow job;
        status =
            options.json ? reader.GetJson(options.id, out, &found) : reader.Get(options.id, &job, &found);
        if (status && !found) {
            *err = "tarn-jobs: no job " + std::to_string(options.id) + " in " + path + "\n";
            return kJobsNoHistory;
        }
        if (status && !options.json) *out = Details(job);
    } else if (status) {
        std::vector<JobRow> rows;
        status = options.json ? reader.ListJson(options.filter, out) : reader.List(options.filter, &rows);
        if (status && !options.json) *out = Table(rows);
    }
    if (!status) {
        *err = "tarn-jobs: " + status.message() + "\n";
        return kJobsNoHistory;
    }
    return kJobsOk;
}

}  // namespace tarn
