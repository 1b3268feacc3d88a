#include "cli/ledger_command.h"

#include <fstream>
#include <nlohmann/json.hpp>

#include "cli/operation_json.h"
#include "device/hex_text.h"
#include "image/regular_file.h"
#include "ledger/ledger.h"
#include "ledger/ledger_report.h"
#include "ledger/ledger_summary.h"
#include "ledger/ledger_time.h"
#include "os/utf8_path.h"
#include "production/production_log.h"
#include "production/result_text.h"

namespace bw {
namespace {

using namespace bw::ledger;
using Json = nlohmann::ordered_json;

// One line of `summary --json`: a station and product type.
std::string SummaryJson(const StationSummary& s) {
    const auto perHour = s.micePerHour();
    const Json line = {
        {"station", s.station},
        {"product_type", s.productType ? Json(HexText(*s.productType, 4)) : Json(nullptr)},
        {"attempts", s.attempts},
        {"written", s.written},
        {"first_pass_yield", s.firstPassYield()},
        {"failures", Json(s.failures)},
        {"mice_per_hour", perHour ? Json(*perHour) : Json(nullptr)},
        {"first", UtcIsoTime(s.first)},
        {"last", UtcIsoTime(s.last)},
        {"last_number", s.lastNumber ? Json(HexText(*s.lastNumber, 6)) : Json(nullptr)},
    };
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

LogEntry CsvEntry(const OperationRecord& r) {
    LogEntry e;
    e.when = r.started;
    e.icType = r.icType;
    e.vid = r.vid;
    e.pid = r.pid;
    e.operation = r.operation;
    e.productNumber = r.productNumber;
    e.result = r.result;
    e.durationMs = r.durationMs;
    e.imageSha256 = r.imageSha256;
    e.reason = r.reason.value_or("");
    return e;
}

bool WriteFile(const std::string& path, const std::string& text, std::ostream& err) {
    std::ofstream file(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    file << text;
    file.flush();
    if (file) return true;
    err << "binwright ledger: \"" << path << "\" cannot be written\n";
    return false;
}

}  // namespace

LedgerCommand::LedgerCommand(CLI::App& app) {
    command_ = app.add_subcommand("ledger", "read the production ledger");
    command_->require_subcommand(1);
    command_
        ->add_option("--ledger", url_, "ledger: a SQLite FILE or a PostgreSQL connection string")
        ->type_name("URL")
        ->required();
    summary_ = command_->add_subcommand(
        "summary", "per station and product type: mice, yield, failures, rate, last number");
    report_ = command_->add_subcommand("report", "write a self-contained HTML page with charts");
    report_->add_option("--html", html_, "the page to write")->type_name("FILE")->required();
    for (CLI::App* cmd : {summary_, report_}) {
        cmd->add_option("--since", since_, "only operations from this time on")->type_name("TIME");
        cmd->add_option("--station", station_, "only this station's operations")->type_name("NAME");
    }
    check_ = command_->add_subcommand(
        "check", "verify: no number written twice, each has a passing row, none left dangling");
    export_ = command_->add_subcommand("export", "write the operations as the CSV log's lines");
    export_->add_option("--csv", csv_, "CSV to FILE (default: standard output)")
        ->type_name("[FILE]")
        ->expected(0, 1)
        ->required();
    backup_ = command_->add_subcommand(
        "backup",
        "copy a SQLite ledger into TARGET: one file, consistent while stations write (a ledger "
        "is its .db file with its -wal and -shm files; never copy the .db alone)");
    backup_->add_option("TARGET", target_, "the copy to make (it must not exist)")->required();
    for (CLI::App* cmd : {summary_, check_, report_, export_, backup_}) {
        cmd->add_flag(
            "--json", json_,
            "JSON lines on stdout instead of the text (report, export, backup: one object "
            "naming the file written)");
    }
}

int LedgerCommand::run(std::ostream& out, std::ostream& err) const {
    const std::string name = "ledger " + (summary_->parsed()  ? summary_->get_name()
                                          : report_->parsed() ? report_->get_name()
                                          : check_->parsed()  ? check_->get_name()
                                          : backup_->parsed() ? backup_->get_name()
                                                              : export_->get_name());
    // With --json every end but a summary's or a check's own lines is one object: what was
    // written, or why nothing was (the message stays on stderr as well).
    const auto ended = [&](int code, Json fields) {
        if (!json_) return code;
        Json line = {{"operation", name}};
        line.update(fields);
        line["exit_code"] = code;
        out << line.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
        return code;
    };
    const auto refused = [&](const std::string& message) {
        err << "binwright ledger: " << message << "\n";
        return ended(exitcode::Usage, {{"error", message}});
    };
    OperationFilter filter;
    std::string filterText;
    if (!since_.empty()) {
        bool outOfRange = false;
        filter.since = ParseTimestamp(since_, &outOfRange);
        if (!filter.since && outOfRange) {
            return refused("--since: \"" + since_ +
                           "\" is outside the years this binwright counts (" + ClockYears() + ")");
        }
        if (!filter.since) {
            return refused("--since: \"" + since_ +
                           "\" is not a time (YYYY-MM-DD[ HH:MM[:SS]], local unless Z or +HH:MM "
                           "follows)");
        }
        filterText = "since " + since_;
    }
    if (!station_.empty()) {
        filter.station = station_;
        filterText += (filterText.empty() ? "" : ", ") + std::string("station ") + station_;
    }
    if (export_->parsed() && json_ && csv_.empty()) {
        return refused("--json needs --csv FILE: the CSV would share standard output");
    }
    // A FIFO would block the command for ever, a device would take the file elsewhere.
    const bool toHtml = report_->parsed();
    const std::string& target = toHtml ? html_ : export_->parsed() ? csv_ : std::string();
    if (!target.empty()) {
        if (const std::string problem = RegularFileProblem(target, true); !problem.empty())
            return refused((toHtml ? "--html: \"" : "--csv: \"") + target +
                           "\" cannot be written: " + problem);
    }
    try {
        if (backup_->parsed()) {
            const LedgerBackup copy = BackupLedger(url_, target_);
            (json_ ? err : out) << "wrote " << target_ << ": a copy of ledger " << url_
                                << " as one file (schema version " << copy.schemaVersion << ", "
                                << copy.operations << " operations, " << copy.numbers
                                << " numbers)\n";
            return ended(exitcode::Pass, {{"ledger", url_},
                                          {"file", target_},
                                          {"operations", copy.operations},
                                          {"numbers", copy.numbers}});
        }
        LedgerOptions readOnly;
        readOnly.create = false;   // a mistyped name must not become a new, empty ledger
        readOnly.readOnly = true;  // a supervisor who may only read the file reads it
        const auto ledger = OpenLedger(url_, readOnly);
        if (summary_->parsed() && json_) {
            for (const auto& s : Summarize(ledger->operations(filter))) {
                out << SummaryJson(s) << "\n";
            }
        } else if (summary_->parsed()) {
            out << FormatSummary(Summarize(ledger->operations(filter)));
        } else if (report_->parsed()) {
            const ReportHeading heading{ledger->where(), filterText,
                                        std::chrono::system_clock::now()};
            const auto rows = ledger->operations(filter);
            if (!WriteFile(html_, RenderHtmlReport(rows, heading), err)) {
                return ended(exitcode::Usage, {{"error", "\"" + html_ + "\" cannot be written"}});
            }
            (json_ ? err : out) << "wrote " << html_ << "\n";
            return ended(
                exitcode::Pass,
                {{"ledger", ledger->where()}, {"file", html_}, {"operations", rows.size()}});
        } else if (check_->parsed() && json_) {
            const auto problems = ledger->check();
            std::size_t written = 0;
            for (const auto& s : ledger->serials()) written += s.state == SerialState::Written;
            const Json line = {{"ledger", ledger->where()},
                               {"sound", problems.empty()},
                               {"problems", problems},
                               {"numbers_written", written},
                               {"exit_code", problems.empty() ? exitcode::Pass : exitcode::Fail}};
            out << line.dump(-1, ' ', false, Json::error_handler_t::replace) << "\n";
            if (!problems.empty()) return exitcode::Fail;
        } else if (check_->parsed()) {
            const auto problems = ledger->check();
            for (const auto& p : problems) out << p << "\n";
            if (!problems.empty()) {
                out << "ledger " << ledger->where() << ": " << problems.size()
                    << (problems.size() == 1 ? " problem\n" : " problems\n");
                return exitcode::Fail;
            }
            std::size_t written = 0;
            for (const auto& s : ledger->serials()) written += s.state == SerialState::Written;
            out << "ledger " << ledger->where() << " is sound: " << written
                << " numbers written, each once with its passing row; no dangling reservation\n";
        } else if (export_->parsed()) {
            std::string csv = std::string(kLogHeader) + "\n";
            const auto rows = ledger->operations();
            for (const auto& row : rows) csv += FormatLogLine(CsvEntry(row.record)) + "\n";
            if (csv_.empty()) {
                out << csv;
            } else if (!WriteFile(csv_, csv, err)) {
                return ended(exitcode::Usage, {{"error", "\"" + csv_ + "\" cannot be written"}});
            }
            return ended(
                exitcode::Pass,
                {{"ledger", ledger->where()}, {"file", csv_}, {"operations", rows.size()}});
        }
    } catch (const LedgerError& e) {
        return refused(e.what());
    }
    return exitcode::Pass;
}

}  // namespace bw
