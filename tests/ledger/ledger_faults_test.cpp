// Faults become clear messages of the right kind: what cannot be opened, what is no
// ledger, a lock held past the timeout, a full disk, a server that is down or drops us.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>

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
    struct Row {
        std::string url;
        LedgerErrorKind kind;
        const char* text;
    };
    const std::vector<Row> rows = {
        {"", LedgerErrorKind::Invalid, "--ledger needs a file name"},
        {place.file("notes.txt"), LedgerErrorKind::Invalid, "is not a ledger (not a database"},
        {place.file("folder.db"), LedgerErrorKind::Invalid, "is a folder"},
        {place.file("missing/ledger.db"), LedgerErrorKind::Unavailable, "cannot be opened"},
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
    quick.busyTimeoutMs = 150;
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

BW_LEDGER_BACKENDS(LockedLedger);

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
