#include "service/history/StatusHtml.h"

#include <algorithm>

#include "service/history/DisplayText.h"

namespace tarn {
namespace {

// Chart size in pixels: one bar per hour.
constexpr int kChartWidth = 720;
constexpr int kChartHeight = 160;
constexpr int kChartLabelHeight = 18;
constexpr int kHours = 24;

constexpr const char* kStyle = R"CSS(
body { font-family: sans-serif; margin: 1.5em; color: #222; background: #fff; }
h1 { font-size: 1.4em; margin-bottom: 0.2em; }
h2 { font-size: 1.1em; margin-top: 1.4em; }
table { border-collapse: collapse; font-size: 0.9em; }
th, td { border-bottom: 1px solid #ddd; padding: 0.25em 0.6em; text-align: left; vertical-align: top; }
th { background: #f3f3f3; }
td.num { text-align: right; }
td.time { white-space: nowrap; }
tr.failed { background: #fdecec; }
.mark-failed { color: #b00020; font-weight: bold; white-space: nowrap; }
.mark-ok { color: #1b7f3b; }
.state-running { color: #1b7f3b; }
.state-paused { color: #b36b00; }
.note { color: #666; font-size: 0.9em; }
.sent-as { color: #666; font-size: 0.85em; }
)CSS";

std::string Head(const std::string& title) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
           "</title><style>" + kStyle + "</style></head><body>\n";
}

std::string SizeText(std::int64_t size) { return size < 0 ? "" : std::to_string(size); }

std::string ResultCell(const JobRow& job) {
    return job.ok ? "<span class=\"mark-ok\">ok</span>"
                  : "<span class=\"mark-failed\">&#x2717; failed</span>";
}

// The first line of a reply, the way an operator reads it.
std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string ReplyCell(const JobRow& job) {
    return job.reply.empty() ? std::string("<span class=\"note\">(no reply)</span>")
                             : HtmlEscape(FirstLine(job.reply));
}

std::string NameCell(const JobRow& job) {
    std::string cell = HtmlEscape(job.rawName);
    if (job.rawNameSent != job.rawName) {
        cell += " <span class=\"sent-as\">(sent as " + HtmlEscape(job.rawNameSent) + ")</span>";
    }
    return cell;
}

std::string Chart(const HistorySummary& summary) {
    int highest = 1;
    for (int h = 0; h < kHours; ++h)
        highest = std::max(highest, summary.okPerHour[h] + summary.failedPerHour[h]);
    const int barWidth = kChartWidth / kHours;
    const int plotHeight = kChartHeight - kChartLabelHeight;
    std::string svg = "<svg id=\"chart\" width=\"" + std::to_string(kChartWidth) + "\" height=\"" +
                      std::to_string(kChartHeight) + "\" role=\"img\" aria-label=\"Jobs per hour\">";
    svg += "<line x1=\"0\" y1=\"" + std::to_string(plotHeight) + "\" x2=\"" + std::to_string(kChartWidth) +
           "\" y2=\"" + std::to_string(plotHeight) + "\" stroke=\"#999\"/>";
    for (int h = 0; h < kHours; ++h) {
        const int ok = summary.okPerHour[h];
        const int failed = summary.failedPerHour[h];
        const int okHeight = ok * (plotHeight - 4) / highest;
        const int failedHeight = failed * (plotHeight - 4) / highest;
        const int x = h * barWidth + 2;
        const std::string hour = LocalTimeText(summary.firstHourMs + h * 3600000LL).substr(11, 5);
        svg += "<g><title>" + hour + ": " + std::to_string(ok) + " ok, " + std::to_string(failed) +
               " failed</title>";
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(plotHeight - okHeight) +
               "\" width=\"" + std::to_string(barWidth - 4) + "\" height=\"" + std::to_string(okHeight) +
               "\" fill=\"#3a9d5d\"/>";
        svg += "<rect x=\"" + std::to_string(x) + "\" y=\"" +
               std::to_string(plotHeight - okHeight - failedHeight) + "\" width=\"" +
               std::to_string(barWidth - 4) + "\" height=\"" + std::to_string(failedHeight) +
               "\" fill=\"#c62828\"/></g>";
        if (h % 3 == 0) {
            svg += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(kChartHeight - 4) +
                   "\" font-size=\"11\" fill=\"#555\">" + hour + "</text>";
        }
    }
    return svg + "</svg>\n";
}

}  // namespace

std::string UptimeText(double seconds) {
    const long long s = static_cast<long long>(seconds);
    if (s >= 86400) return std::to_string(s / 86400) + " d " + std::to_string(s % 86400 / 3600) + " h";
    if (s >= 3600) return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
    if (s >= 60) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s) + " s";
}

std::string RenderStatusPage(const StatusView& view) {
    std::string html = Head("TARN status");
    html += "<h1>TARN print server</h1>\n<p>State: <strong id=\"state\" class=\"state-" +
            std::string(view.paused ? "paused\">paused" : "running\">running") +
            "</strong> &middot; version " + HtmlEscape(view.version) + " &middot; up " +
            UptimeText(view.uptimeSeconds) + " &middot; " + std::to_string(view.openConnections) +
            " open connections &middot; as of " + LocalTimeText(view.nowMs) + "</p>\n";
    if (!view.historyProblem.empty()) {
        return html + "<p class=\"note\" id=\"history-problem\">" + HtmlEscape(view.historyProblem) +
               "</p>\n</body></html>\n";
    }
    const HistorySummary& summary = view.summary;
    html += "<h2>Jobs today</h2>\n<p id=\"today\"><span id=\"ok-today\">" + std::to_string(summary.okToday) +
            "</span> succeeded, <span id=\"failed-today\">" + std::to_string(summary.failedToday) +
            "</span> failed</p>\n";
    html += "<h2>Jobs per hour, last 24 hours</h2>\n" + Chart(summary);
    html +=
        "<h2>Sections today</h2>\n<table "
        "id=\"sections\"><tr><th>Section</th><th>Succeeded</th><th>Failed</th>"
        "<th>Last job</th></tr>\n";
    for (const HistorySummary::Section& section : summary.sectionsToday) {
        html += "<tr><td>" +
                (section.name.empty() ? std::string("<span class=\"note\">(none)</span>")
                                      : HtmlEscape(section.name)) +
                "</td><td class=\"num\">" + std::to_string(section.ok) + "</td><td class=\"num\">" +
                std::to_string(section.failed) + "</td><td>" + LocalTimeText(section.lastMs) + "</td></tr>\n";
    }
    html += "</table>\n<h2>Last " + std::to_string(kStatusPageJobs) +
            " jobs</h2>\n<table id=\"jobs\"><tr><th>Job</th><th>Finished</th><th>Client</th><th>Section</th>"
            "<th>Raw name</th><th>Output bytes</th><th>Mails sent</th><th>Result</th><th>Reply</th></tr>\n";
    for (const JobRow& job : view.latest) {
        html +=
            std::string("<tr class=\"") + (job.ok ? "ok" : "failed") + "\"><td><a href=\"/jobs/" +
            std::to_string(job.id) + "\">" + std::to_string(job.id) + "</a></td><td class=\"time\">" +
            LocalTimeText(job.finishedMs) + "</td><td>" + HtmlEscape(job.clientAddress) + "</td><td>" +
            HtmlEscape(job.sectionSent) + "</td><td>" + NameCell(job) + "</td><td class=\"num\">" +
            SizeText(job.outputSize) + "</td><td class=\"num\">" +
            (job.mailsTotal > 0 ? std::to_string(job.mailsSent) + "/" + std::to_string(job.mailsTotal) : "") +
            "</td><td>" + ResultCell(job) + "</td><td>" + ReplyCell(job) + "</td></tr>\n";
    }
    return html + "</table>\n</body></html>\n";
}

std::string RenderJobPage(const JobRow& job) {
    std::string html = Head("TARN job " + std::to_string(job.id));
    html += "<p><a href=\"/\">&larr; status</a></p>\n<h1>Job " + std::to_string(job.id) + " " +
            ResultCell(job) + "</h1>\n<table id=\"job\">\n";
    const auto row = [&html](const std::string& name, const std::string& escapedValue) {
        html += "<tr><th>" + name + "</th><td>" + escapedValue + "</td></tr>\n";
    };
    row("Accepted", LocalTimeText(job.acceptedMs));
    row("Finished",
        LocalTimeText(job.finishedMs) + " (" + std::to_string(job.finishedMs - job.acceptedMs) + " ms)");
    row("Client", HtmlEscape(job.clientAddress) + " port " + std::to_string(job.clientPort));
    row("Raw name", HtmlEscape(job.rawName));
    row("Raw name as sent", HtmlEscape(job.rawNameSent));
    row("Section as sent", HtmlEscape(job.sectionSent));
    row("Section used", HtmlEscape(job.section));
    row("Output", HtmlEscape(job.outputPath) +
                      (job.outputSize >= 0 ? " (" + SizeText(job.outputSize) + " bytes)" : ""));
    row("Reply", "<code>" + HtmlEscape(job.reply) + "</code>" +
                     (job.replyDelivered ? "" : " <span class=\"mark-failed\">not delivered</span>"));
    row("Client gone before the end", job.clientGone ? "yes" : "no");
    row("Error events", HtmlEscape(job.errorEvents));
    html +=
        "</table>\n<h2>E-mail orders</h2>\n<table "
        "id=\"mails\"><tr><th>#</th><th>Addresses</th><th>Subject</th>"
        "<th>Outcome</th><th>Why not sent</th></tr>\n";
    for (std::size_t i = 0; i < job.mails.size(); ++i) {
        const MailRow& mail = job.mails[i];
        html += "<tr><td>" + std::to_string(i + 1) + "</td><td>" + HtmlEscape(mail.addresses) + "</td><td>" +
                HtmlEscape(mail.subject) + "</td><td>" + HtmlEscape(mail.outcome) + "</td><td>" +
                HtmlEscape(mail.reason) + "</td></tr>\n";
    }
    return html + "</table>\n</body></html>\n";
}

std::string RenderMessagePage(const std::string& title, const std::string& message) {
    return Head(title) + "<p><a href=\"/\">&larr; status</a></p>\n<h1>" + HtmlEscape(title) + "</h1>\n<p>" +
           HtmlEscape(message) + "</p>\n</body></html>\n";
}

}  // namespace tarn
