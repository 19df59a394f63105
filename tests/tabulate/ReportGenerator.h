#pragma once
// Builds realistic ERP reports for the end-to-end tests and the benchmark:
// repeated page headers, two-line column titles, amounts in the usual
// notations, dates, totals, END OF REPORT and a REPORT CRITERIA block. Lines
// end in CR LF and page breaks are stored as FF CR, as the service stores
// a received report.

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace tabulate_test {

struct ReportOptions {
    int pages = 3;
    int rowsPerPage = 40;
    bool european = false;  // 1.234,50 and dd/mm/yyyy
    std::string company =
        "M\xFC"
        "ller & S\xF6hne GmbH";  // Windows-1252
    // Inserted after the last data line of these pages (0-based), if set.
    std::string breakLine;
    std::vector<int> breakAfterPages;
};

inline std::string Amount(long cents, bool european) {
    long whole = (cents < 0 ? -cents : cents) / 100;
    std::string digits = std::to_string(whole);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += european ? '.' : ',';
        grouped += digits[i];
    }
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, "%c%02ld", european ? ',' : '.',
                  (cents < 0 ? -cents : cents) % 100);
    return grouped + fraction;
}

inline std::string Pad(const std::string& text, size_t width) {
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

inline std::string PadLeft(const std::string& text, size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// The amount of row `n`, in cents; every 7th row is negative.
inline long RowCents(long n) { return (n % 7 == 3 ? -1 : 1) * (n * 1237 % 900000 + 5); }

// Notation of a row's amount: plain, accounting parentheses, CR credit or dollar.
inline std::string AmountText(long n, bool european) {
    long cents = RowCents(n);
    std::string text = Amount(cents, european);
    if (cents < 0) return n % 2 == 0 ? "(" + text + ")" : text + "CR";
    return n % 5 == 0 ? "$" + text : text;
}

inline std::string DateText(long n, bool european) {
    int day = static_cast<int>(n % 28) + 1;
    int month = static_cast<int>(n % 12) + 1;
    char text[16];
    if (european) {
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", day, month, 2009);
    } else {
        std::snprintf(text, sizeof text, "%02d/%02d/%02d", month, day, 9);
    }
    return text;
}

inline std::string MakeReport(const ReportOptions& options) {
    const std::string date = options.european ? "31/03/2009" : "03/31/09";
    std::string out;
    auto line = [&out](const std::string& text) { out += text + "\r\n"; };
    long n = 0;
    long total = 0;
    for (int page = 0; page < options.pages; ++page) {
        if (page > 0) out += "\f\r";
        line("AR300 R2               /rep/ar300 CUSTOMER BALANCES Date: " + date);
        line(Pad("", 34) + "Page: " + std::to_string(page + 1) + "  " + options.company + "  Time: 17:45:10");
        line("");
        line("INVOICE   CUSTOMER           INVOICE    AMOUNT        ITEM");
        line("NUMBER    NAME               DATE       DUE           ");
        line("--------- ------------------ ---------- ------------- ------------");
        for (int r = 0; r < options.rowsPerPage; ++r, ++n) {
            total += RowCents(n);
            line(Pad("INV" + std::to_string(10000 + n), 10) +
                 Pad(n % 4 == 0 ? "Caf\xE9 Fran\xE7"
                                  "ais"
                                : "Customer " + std::to_string(n % 97),
                     19) +
                 Pad(DateText(n, options.european), 11) + PadLeft(AmountText(n, options.european), 13) + " " +
                 Pad(n % 50 == 7 ? "100.00" : "P-" + std::to_string(n % 500), 12));
        }
        for (int b : options.breakAfterPages) {
            if (b == page) line(options.breakLine);
        }
    }
    line(Pad("", 40) + "=============");
    const std::string totalText = Amount(total, options.european);
    line(Pad("TOTAL", 40) + PadLeft(total < 0 ? "(" + totalText + ")" : totalText, 13));
    line("");
    line(Pad("", 26) + "END OF REPORT");
    line("");
    line("                     REPORT CRITERIA");
    line("  Customer range  : ALL");
    line("  As of date      : " + date);
    return out;
}

}  // namespace tabulate_test

namespace tabulate_test {

// An accounts-receivable aging report: ten columns (customer, name, invoice,
// two dates, five aging buckets), one line per open invoice with its amount
// in one bucket, a dash rule and a total line per customer, a blank line
// between customers, a page header every `bodyLinesPerPage` lines, a grand
// total, END OF REPORT and a REPORT CRITERIA block. The defaults give the
// benchmark's report: 199,476 lines, 129,558 data rows, about 18.4 MB.
struct AgingOptions {
    int customers = 25886;
    int bodyLinesPerPage = 60;
    long invoices = 103671;  // spread over the customers, 1 to 7 each
};

inline std::string MakeAgingReport(const AgingOptions& options = AgingOptions()) {
    const char* const kTitles =
        "CUSTOMER  CUSTOMER NAME         INVOICE  INV DATE DUE DATE       CURRENT     1-30 DAYS"
        "    31-60 DAYS    61-90 DAYS       OVER 90";
    const char* const kUnderline =
        "--------- --------------------- -------- -------- -------- ------------- -------------"
        " ------------- ------------- -------------";
    const std::string bucketRule = std::string(58, ' ') + std::string(69, '-');
    std::string out;
    out.reserve(static_cast<size_t>(options.customers) * 720);
    int page = 0;
    int bodyLines = options.bodyLinesPerPage;  // a header comes first
    auto body = [&](const std::string& text) {
        if (bodyLines == options.bodyLinesPerPage) {
            if (page > 0) out += "\f\r";
            ++page;
            out += "AR410 R1               /rep/ar410 AGED RECEIVABLES Date: 03/31/09\r\n";
            out += Pad("", 34) + "Page: " + std::to_string(page) + "  NORTH DIVISION  Time: 17:45:10\r\n\r\n";
            out += std::string(kTitles) + "\r\n" + kUnderline + "\r\n\r\n";
            bodyLines = 0;
        }
        out += text + "\r\n";
        ++bodyLines;
    };
    const auto amountText = [](long cents) {
        const std::string text = Amount(cents, false);
        return PadLeft(cents < 0 ? text + "CR" : text, 13);
    };
    long invoicesLeft = options.invoices;
    long n = 0;
    long grand[5] = {0, 0, 0, 0, 0};
    for (int c = 0; c < options.customers; ++c) {
        const int customersLeft = options.customers - c;
        long count = 1 + (c * 3) % 7;
        if (customersLeft == 1) count = invoicesLeft;
        count = std::max(1L, std::min(count, invoicesLeft - (customersLeft - 1)));
        invoicesLeft -= count;
        char code[16];
        std::snprintf(code, sizeof code, "C%05d", c + 1);
        const std::string name =
            Pad(c % 9 == 4 ? "Caf\xE9 du Nord" : "Customer " + std::to_string(c % 997), 22);
        long totals[5] = {0, 0, 0, 0, 0};
        for (long i = 0; i < count; ++i, ++n) {
            const int bucket = static_cast<int>(n * 7 % 5);
            const long cents = RowCents(n);
            totals[bucket] += cents;
            std::string line = Pad(code, 10) + name + PadLeft(std::to_string(400000 + n), 8) + " " +
                               DateText(n, false) + " " + DateText(n + 30, false);
            for (int b = 0; b <= bucket; ++b) line += b == bucket ? amountText(cents) : std::string(14, ' ');
            body(line);
        }
        body(bucketRule);
        std::string total = Pad("", 10) + Pad("CUSTOMER TOTAL", 48);
        for (int b = 0; b < 5; ++b) {
            total += (b > 0 ? " " : "") + amountText(totals[b]);
            grand[b] += totals[b];
        }
        body(total);
        body("");
    }
    out += std::string(58, ' ') + std::string(69, '=') + "\r\n";
    std::string total = Pad("GRAND TOTAL", 58);
    for (int b = 0; b < 5; ++b) total += (b > 0 ? " " : "") + amountText(grand[b]);
    out += total + "\r\n\r\n" + Pad("", 50) + "END OF REPORT\r\n\r\n";
    out +=
        "                     REPORT CRITERIA\r\n  Customer range  : ALL\r\n  As of date      : 03/31/09\r\n"
        "  Sort order      : CUSTOMER\r\n";
    return out;
}

}  // namespace tabulate_test
