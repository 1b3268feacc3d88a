// Faults become clear messages of the right kind: what cannot be opened, what is no
// ledger, a lock held past the timeout, a full disk, a server that is down or drops us.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>

#include "cli/cli_harness.h"
#include "ledger/ledger_backends.h"

namespace bw::ledger::test {
namespace {

struct Expected {
    LedgerErrorKind kind;
    std::string text;
};

Expected Failure(const std::function<void()>& call) {
    try {
        call();
    } catch (const LedgerError& e) {
        return {e.kind(), e.what()};
    }
    return {LedgerErrorKind::Refused, "no error"};
}

TEST(LedgerFaults, WhatCannotBeOpened) {
    LedgerPlace place(Backend::Sqlite);
    std::ofstream(place.file("notes.txt")) << "not a database, but long enough to be read as a"
                                              " header of one: 0123456789012345678901234567890\n";
    std::filesystem::create_directories(place.file("folder.db"));
#ifndef _WIN32  // no FIFOs in the file system
    ASSERT_EQ(mkfifo(place.file("fifo.db").c_str(), 0600), 0);
#endif
    struct Row {
        std::string url;
        LedgerErrorKind kind;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"", LedgerErrorKind::Invalid, "--ledger needs a file name"},
        {place.file("notes.txt"), LedgerErrorKind::Invalid, "is not a ledger (not a database"},
        {place.file("folder.db"), LedgerErrorKind::Invalid, "is a folder"},
        {place.file("missing/ledger.db"), LedgerErrorKind::Unavailable,
         "cannot be opened: folder \""},
#ifndef _WIN32
        {place.file("fifo.db"), LedgerErrorKind::Invalid, "is a FIFO, not a regular file"},
#endif
        {"host=localhost nosuchkey=1", LedgerErrorKind::Invalid,
         "is not a PostgreSQL connection string"},
        {"postgresql://nobody@127.0.0.1:1/ledger", LedgerErrorKind::Unavailable,
         "ledger postgresql://nobody@127.0.0.1:1/ledger cannot be reached"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        const Expected got = Failure([&] { OpenLedger(row.url); });
        EXPECT_EQ(got.kind, row.kind);
        EXPECT_NE(got.text.find(row.text), std::string::npos) << got.text;
    }
}

using LockedLedger = LedgerBackendTest;

TEST_P(LockedLedger, IsUnavailableAfterTheTimeoutAndTheResultWaitsInHand) {
    LedgerOptions quick;
    quick.busyTimeoutMs = quick.lockTimeoutMs = 150;
    auto ledger = place().open(quick);
    const Reservation r = ledger->reserve(5, "st1");
    ledger->markSending(r);
    auto other = place().raw();
    other->begin(TxMode::Write);
    if (place().backend() == Backend::Postgres) {  // SQLite's BEGIN IMMEDIATE holds it all
        other->query("SELECT number FROM serials FOR UPDATE");
        other->query("SELECT first_number FROM product_types FOR UPDATE");
    }
    OperationRecord row = SampleRecord();
    row.productNumber = row.factory->number = r.number;
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { ledger->commitWritten(r, row); }, [&] { ledger->reserve(5, "st1"); }}) {
        const Expected got = Failure(call);
        EXPECT_EQ(got.kind, LedgerErrorKind::Unavailable);
        EXPECT_NE(got.text.find("is locked by another"), std::string::npos) << got.text;
    }
    other->rollback();
    // The mouse's result, kept while the ledger was locked, is recorded once it is free.
    const std::int64_t id = ledger->commitWritten(r, row);
    EXPECT_EQ(ledger->commitWritten(r, row), id);  // a repeat records nothing twice
    EXPECT_EQ(ledger->reserve(5, "st1").number, 2);
    EXPECT_EQ(ledger->operations().size(), 1u);
}

// A station asked to stop while another holds the ledger's lock: a Finish ends the wait
// after its grace, an Abort at once; the connection serves the next call.
TEST_P(LockedLedger, AStopRequestEndsTheWaitForALock) {
    LedgerOptions patient;
    patient.busyTimeoutMs = patient.lockTimeoutMs = 60000;
    auto ledger = place().open(patient);
    std::atomic<StopRequest> asked{StopRequest::None};
    ledger->setStopCheck([&] { return asked.load(); });
    const Reservation r = ledger->reserve(5, "st1");
    ledger->markSending(r);
    OperationRecord row = SampleRecord();
    row.productNumber = row.factory->number = r.number;
    for (const StopRequest stop : {StopRequest::Finish, StopRequest::Abort}) {
        auto other = place().raw();
        other->begin(TxMode::Write);
        if (place().backend() == Backend::Postgres) {
            other->query("SELECT number FROM serials FOR UPDATE");
        }
        asked = stop;
        const Expected got = Failure([&] { ledger->commitWritten(r, row); });
        EXPECT_EQ(got.kind, LedgerErrorKind::Unavailable);
        EXPECT_NE(got.text.find("given up at the stop request"), std::string::npos) << got.text;
        other->rollback();
        asked = StopRequest::None;
    }
    EXPECT_GT(ledger->commitWritten(r, row), 0);
    EXPECT_TRUE(ledger->check().empty());
}

BW_LEDGER_BACKENDS(LockedLedger);

#ifndef _WIN32  // POSIX sockets; a forked child in a mount namespace
// A server that takes the connection and then says nothing (a frozen server's kernel still
// accepts it): the connect ends at its timeout, or at a stop request well before it.
TEST(LedgerFaults, ASilentServerIsGivenUpAtItsTimeoutOrAStop) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
    ASSERT_EQ(listen(listener, 4), 0);  // never accepted: the kernel completes the handshake
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
    const std::string server =
        "postgresql://station@127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/ledger";
    struct Row {
        std::string url;
        StopRequest stop;
        const char* text;
    };
    const std::vector<Row> rows = {
        {server + "?connect_timeout=2", StopRequest::None,
         "cannot be reached: no answer within 2 s"},
        {server + "?connect_timeout=600", StopRequest::Finish, "given up at the stop request"},
        {server, StopRequest::Abort, "given up at the stop request"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.url);
        LedgerOptions options;
        options.stop = [&row] { return row.stop; };
        const Expected got = Failure([&] { OpenLedger(row.url, options); });
        EXPECT_EQ(got.kind, LedgerErrorKind::Unavailable);
        EXPECT_NE(got.text.find(row.text), std::string::npos) << got.text;
    }
    close(listener);
}

// A supervisor's copy on a read-only file system: the read commands and a backup read it,
// with a station writing at the time (its -wal file beside it) and without; a station is
// told why it cannot write there.
TEST(LedgerFaults, ReadersReadALedgerTheyMayNotWrite) {
    for (const bool writing : {true, false}) {
        SCOPED_TRACE(writing ? "a station writing" : "no station");
        LedgerPlace place(Backend::Sqlite);
        const std::string dir = place.file("ro");
        std::filesystem::create_directories(dir);
        const std::string file = dir + "/ledger.db";
        const bw::test::TempFolder out;
        std::unique_ptr<Ledger> station = OpenLedger(file);
        station->record(SampleRecord("verify"));
        if (!writing) station.reset();  // closed: the -wal file merged and gone
        const pid_t child = fork();
        if (child == 0) {
            if (unshare(CLONE_NEWNS) != 0 ||
                mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
                    0) {
                _exit(77);
            }
            int failed = 0;
            const std::vector<std::vector<std::string>> reads = {
                {"summary"},
                {"check"},
                {"export", "--csv", out.file("rows.csv")},
                {"report", "--html", out.file("report.html")},
                {"backup", out.file("copy.db")}};
            for (std::size_t i = 0; i < reads.size(); ++i) {
                std::vector<std::string> args = {"ledger"};
                args.insert(args.end(), reads[i].begin(), reads[i].end());
                args.push_back("--ledger=" + file);
                const auto r = bw::test::RunArgs(args);
                if (r.code != 0) failed |= 1 << i;
                if (i == 1 && r.out.find("is sound") == std::string::npos) failed |= 1 << i;
            }
            try {
                OpenLedger(file)->record(SampleRecord());
                failed |= 1 << 6;
            } catch (const LedgerError& e) {
                if (std::string(e.what()).find("mounted read-only") == std::string::npos)
                    failed |= 1 << 7;
            }
            _exit(failed);
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed reads, as bits";
        EXPECT_EQ(OpenLedger(out.file("copy.db"))->operations().size(), 1u);
    }
}

#endif

// A role that may log in but not read: told which permission it lacks, not that the
// database holds no ledger.
TEST(LedgerFaults, APostgresRoleWithoutSelectIsToldThePermission) {
    LedgerPlace place(Backend::Postgres);
    if (!place.skipReason().empty()) GTEST_SKIP() << place.skipReason();
    place.open()->record(SampleRecord());
    const std::string role = "reader_" + std::to_string(getpid());
    auto admin = place.raw();
    admin->exec("CREATE ROLE " + role + " LOGIN");
    std::string url = place.url();
    // It may use the schema (as the public schema is for everyone), not read its tables.
    admin->exec("GRANT USAGE ON SCHEMA " + url.substr(url.find("%3D") + 3) + " TO " + role);
    url.replace(url.find("binwright@"), 9, role);
    const auto r = bw::test::RunArgs({"ledger", "summary", "--ledger", url});
    admin->exec("DROP OWNED BY " + role);
    admin->exec("DROP ROLE " + role);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("the role " + role + " lacks a permission"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("reading needs SELECT"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("holds no ledger"), std::string::npos) << r.err;
}

#ifndef _WIN32  // a small disk of its own: a mount namespace of a forked child
TEST(LedgerFaults, FullDiskIsUnavailableAndLosesNoCommittedRow) {
    // A small tmpfs of our own, in a mount namespace of a child process.
    LedgerPlace place(Backend::Sqlite);
    const std::string dir = place.file("small");
    std::filesystem::create_directories(dir);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
            mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=256k") != 0) {
            _exit(77);
        }
        const std::string file = dir + "/ledger.db";
        int written = 0;
        try {
            auto ledger = OpenLedger(file);
            for (; written < 100000; ++written) ledger->record(SampleRecord());
            _exit(3);
        } catch (const LedgerError& e) {
            const bool full = e.kind() == LedgerErrorKind::Unavailable &&
                              std::string(e.what()).find("the disk is full") != std::string::npos;
            if (!full) _exit(4);
        }
        // Every row that was committed before the disk filled is still there.
        try {
            _exit(static_cast<int>(OpenLedger(file)->operations().size()) == written ? 0 : 5);
        } catch (const LedgerError&) {
            _exit(6);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no mount namespace here for a small disk";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST(LedgerFaults, PostgresConnectionDroppedByTheServerIsMadeAgainOnce) {
    std::string why;
    const std::string server = TestServerUrl(&why);
    if (server.empty()) GTEST_SKIP() << why;
    LedgerPlace place(Backend::Postgres);
    const std::string name = "dropped-" + std::to_string(getpid());
    auto ledger = OpenLedger(place.url() + "&application_name=" + name);
    const Reservation first = ledger->reserve(5, "st1");
    auto admin = place.raw();
    const char* kill =
        "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE application_name = $1";
    ASSERT_EQ(admin->query(kill, {name}).size(), 1u);
    // The next call finds the connection gone, connects again and goes on.
    ledger->markSending(first);
    ASSERT_EQ(admin->query(kill, {name}).size(), 1u);
    OperationRecord row = SampleRecord();
    row.productNumber = row.factory->number = first.number;
    EXPECT_GT(ledger->commitWritten(first, row), 0);
    EXPECT_TRUE(ledger->check().empty());
}

}  // namespace
}  // namespace bw::ledger::test
