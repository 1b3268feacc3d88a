// Serial numbers on both backends: allocation order, --sn, the range, transitions that
// another process has overtaken, crash recovery, and stations (threads, then processes)
// allocating at once.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <fstream>
#include <thread>

#include "ledger/ledger_backends.h"

namespace bw::ledger::test {
namespace {

using Serials = LedgerBackendTest;
constexpr std::int32_t kType = 0x0005;

// Ends a cycle the way a station does: pass marks the number written, fail releases it.
void Finish(Ledger& ledger, const Reservation& r, bool pass) {
    OperationRecord row = SampleRecord("write", pass);
    row.factory->number = r.number;
    row.productNumber = r.number;
    ledger.markSending(r);
    if (pass) {
        ledger.commitWritten(r, row);
    } else {
        ledger.commitReleased(r, row);
    }
}

TEST_P(Serials, FailedCyclesGiveTheirNumberToTheNextMouse) {
    // Each step: pass or fail of the cycle; expected number the cycle got.
    struct Step {
        bool pass;
        std::int32_t number;
    };
    const std::vector<Step> steps = {{true, 1}, {false, 2}, {false, 2}, {true, 2},
                                     {true, 3}, {false, 4}, {true, 4}};
    auto ledger = place().open();
    for (const Step& s : steps) {
        const Reservation r = ledger->reserve(kType, "st1");
        EXPECT_EQ(r.number, s.number);
        Finish(*ledger, r, s.pass);
    }
    EXPECT_EQ(ledger->nextNumber(kType), 5);
    EXPECT_EQ(ledger->nextNumber(0x0006), 1);  // types count apart
    EXPECT_TRUE(ledger->check().empty());

    // Several released at once: the lowest goes first, then the next after the highest.
    const Reservation a = ledger->reserve(kType, "st1");
    const Reservation b = ledger->reserve(kType, "st1");
    ledger->commitReleased(b, std::nullopt);
    ledger->commitReleased(a, std::nullopt);
    std::vector<std::int32_t> got;
    for (int i = 0; i < 3; ++i) got.push_back(ledger->reserve(kType, "st1").number);
    EXPECT_EQ(got, (std::vector<std::int32_t>{5, 6, 7}));
}

TEST_P(Serials, FirstNumberRules) {
    struct Row {
        const char* name;
        std::int32_t written;  // numbers 1.. written before (0: none, first number 0x10)
        std::int32_t asked;
        const char* refusal;  // empty: accepted
        std::int32_t next;    // the next number afterwards
    };
    const std::vector<Row> rows = {
        {"new type takes it", 0, 0x100, "", 0x100},
        {"last number fits", 0, 0xFFFFFF, "", 0xFFFFFF},
        {"past FFFFFF", 0, 0x1000000, "does not fit the factory record", 0x10},
        {"negative", 0, -1, "does not fit", 0x10},
        {"written number", 3, 0x11, "already written", 0x13},
        {"the next number", 3, 0x13, "", 0x13},
        {"a jump ahead", 3, 0x40, "already has numbers", 0x13},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        auto ledger = fresh.open();
        ledger->setFirstNumber(kType, 0x10);
        for (int i = 0; i < row.written; ++i) Finish(*ledger, ledger->reserve(kType, "st1"), true);
        if (*row.refusal == '\0') {
            EXPECT_NO_THROW(ledger->setFirstNumber(kType, row.asked));
        } else {
            try {
                ledger->setFirstNumber(kType, row.asked);
                ADD_FAILURE() << "accepted";
            } catch (const LedgerError& e) {
                EXPECT_EQ(e.kind(), LedgerErrorKind::Refused);
                EXPECT_NE(std::string(e.what()).find(row.refusal), std::string::npos) << e.what();
            }
        }
        EXPECT_EQ(ledger->nextNumber(kType), row.next);
    }
}

TEST_P(Serials, ExhaustedRangeIsRefusedUntilANumberIsReleased) {
    auto ledger = place().open();
    ledger->setFirstNumber(kType, 0xFFFFFE);
    Finish(*ledger, ledger->reserve(kType, "st1"), true);
    const Reservation last = ledger->reserve(kType, "st1");
    EXPECT_EQ(last.number, 0xFFFFFF);
    EXPECT_EQ(ledger->nextNumber(kType), std::nullopt);
    try {
        ledger->reserve(kType, "st1");
        ADD_FAILURE() << "reserved past FFFFFF";
    } catch (const LedgerError& e) {
        EXPECT_EQ(e.kind(), LedgerErrorKind::Refused);
        EXPECT_NE(std::string(e.what()).find("no number left"), std::string::npos);
    }
    ledger->commitReleased(last, std::nullopt);
    EXPECT_EQ(ledger->reserve(kType, "st1").number, 0xFFFFFF);
}

TEST_P(Serials, ATransitionEndsOnlyItsOwnReservation) {
    auto ledger = place().open();
    const Reservation first = ledger->reserve(kType, "st1");
    // Written without being sent: refused.
    EXPECT_THROW(ledger->commitWritten(first, SampleRecord()), LedgerError);
    ledger->markSending(first);
    ledger->markSending(first);  // repeated after a reconnect: harmless
    ledger->commitReleased(first, std::nullopt);
    const Reservation again = ledger->reserve(kType, "st2");
    ASSERT_EQ(again.number, first.number);
    EXPECT_GT(again.lease, first.lease);
    // The old cycle's late calls must not touch the new holder's number.
    EXPECT_THROW(ledger->markSending(first), LedgerError);
    EXPECT_THROW(ledger->commitReleased(first, std::nullopt), LedgerError);
    Finish(*ledger, again, true);
    const auto rows = ledger->serials();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].state, SerialState::Written);
    EXPECT_EQ(rows[0].station, "st2");
    // The unique constraint is the last guard even for a hand-made row.
    EXPECT_THROW(place().raw()->exec("INSERT INTO serials (product_type, number, state, lease,"
                                     " station_name, reserved_at, changed_at) VALUES"
                                     " (5, 1, 'reserved', 1, 'x', 't', 't')"),
                 LedgerError);
}

TEST_P(Serials, RecoveryEndsWhatACrashLeftBehind) {
    struct Row {
        const char* name;
        bool sent;         // the crash came after markSending
        bool mouseProven;  // the caller shows the mouse holds the number and verifies
        SerialState after;
    };
    const std::vector<Row> rows = {
        {"reserved only", false, false, SerialState::Released},
        {"sent, mouse proven", true, true, SerialState::Written},
        {"sent, mouse not proven", true, false, SerialState::Void},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        auto ledger = fresh.open();
        const Reservation r = ledger->reserve(kType, "st1");
        const Reservation other = ledger->reserve(kType, "st2");  // another station's: untouched
        if (row.sent) ledger->markSending(r);
        ledger.reset();  // the crash

        auto restarted = fresh.open();
        ASSERT_EQ(restarted->dangling("st1").size(), 1u);
        int asked = 0;
        const auto done = restarted->recover("st1", [&](const SerialRow& s) {
            ++asked;
            EXPECT_EQ(s.reservation.number, r.number);
            std::optional<OperationRecord> proof;
            if (row.mouseProven) proof = SampleRecord("verify", true);
            return proof;
        });
        EXPECT_EQ(asked, row.sent ? 1 : 0);  // only a sent number needs the mouse
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].now, row.after);
        EXPECT_TRUE(restarted->dangling("st1").empty());
        EXPECT_EQ(restarted->dangling("st2").size(), 1u);
        restarted->commitReleased(other, std::nullopt);
        EXPECT_TRUE(restarted->check().empty()) << restarted->check().front();
        // A released number is given again; a written or void one never is.
        EXPECT_EQ(restarted->reserve(kType, "st1").number,
                  row.after == SerialState::Released ? r.number : other.number);
    }
}

// A written number taken again for a rewrite of the mouse that holds it: sending under a
// new lease, then written with the rewrite's row, void after a failure, or ended by the
// recovery after a crash. Never released; the several passing rows keep check() sound; a
// number that is not written cannot be taken.
TEST_P(Serials, ARewriteEndsItsNumberWrittenOrVoidNeverReleased) {
    struct Row {
        const char* name;
        std::optional<bool> pass;         // the rewrite's end; none: a crash in the middle
        std::optional<bool> mouseProven;  // after a crash, what the mouse at hand shows
        SerialState after;
    };
    const std::vector<Row> rows = {
        {"passes", true, std::nullopt, SerialState::Written},
        {"fails", false, std::nullopt, SerialState::Void},
        {"crash, mouse proven", std::nullopt, true, SerialState::Written},
        {"crash, mouse not proven", std::nullopt, false, SerialState::Void},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LedgerPlace fresh(GetParam());
        auto ledger = fresh.open();
        const Reservation first = ledger->reserve(kType, "st1");
        Finish(*ledger, first, true);
        const Reservation again = ledger->rewrite(kType, first.number, "st2");
        EXPECT_EQ(again.number, first.number);
        EXPECT_GT(again.lease, first.lease);
        ASSERT_EQ(ledger->serial(kType, first.number)->state, SerialState::Sending);
        EXPECT_THROW(ledger->rewrite(kType, first.number, "st3"), LedgerError);  // not written
        OperationRecord rewritten = SampleRecord("write", row.pass.value_or(false));
        rewritten.factory->number = first.number;
        rewritten.productNumber = first.number;
        if (row.pass == true) {
            ledger->markSending(again);  // the write's gate, as for any cycle
            ledger->commitWritten(again, rewritten);
        } else if (row.pass == false) {
            ledger->commitVoid(again, rewritten, "void: the write failed");
        } else {
            ledger.reset();
            ledger = fresh.open();
            ledger->recover("st2", [&](const SerialRow&) {
                std::optional<OperationRecord> proof;
                if (*row.mouseProven) proof = SampleRecord("verify", true);
                return proof;
            });
        }
        const auto now = ledger->serial(kType, first.number);
        ASSERT_TRUE(now);
        EXPECT_EQ(now->state, row.after);
        ASSERT_TRUE(now->note);
        EXPECT_EQ(now->note->rfind(kRewriteNote, 0), 0u) << *now->note;
        const auto problems = ledger->check();
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(ledger->reserve(kType, "st1").number, first.number + 1);
    }
    // A number never reserved, and one released, cannot be taken for a rewrite.
    auto ledger = place().open();
    EXPECT_THROW(ledger->rewrite(kType, 7, "st1"), LedgerError);
    const Reservation released = ledger->reserve(kType, "st1");
    ledger->commitReleased(released, std::nullopt);
    EXPECT_THROW(ledger->rewrite(kType, released.number, "st1"), LedgerError);
    EXPECT_FALSE(ledger->serial(kType, 7));
}

// One station: its own connection, 25 mice, every third cycle failing (its number goes
// back to the pool); the numbers it was given go to a file of its own.
void Station(const LedgerPlace& place, int s, int mice) {
    auto ledger = place.open();
    std::ofstream got(place.file("st" + std::to_string(s)));
    for (int cycle = s, passed = 0; passed < mice; ++cycle) {
        const Reservation r = ledger->reserve(kType, "st" + std::to_string(s));
        const bool pass = cycle % 3 != 0;
        Finish(*ledger, r, pass);
        if (pass) {
            ++passed;
            got << r.number << "\n";
        }
    }
}

TEST_P(Serials, ConcurrentStationsNeverShareANumber) {
    constexpr int kStations = 4;
    constexpr int kMice = 25;
    for (const bool processes : {false, true}) {
        SCOPED_TRACE(processes ? "processes" : "threads");
#ifdef _WIN32
        if (processes) continue;
#endif
        LedgerPlace fresh(GetParam());
        fresh.open();  // the schema exists before the stations start
        std::vector<std::thread> threads;
        std::vector<pid_t> children;
        for (int s = 0; s < kStations; ++s) {
            if (!processes) {
                threads.emplace_back([&, s] { Station(fresh, s, kMice); });
                continue;
            }
#ifndef _WIN32  // Windows has no fork
            const pid_t child = fork();
            if (child == 0) {
                try {
                    Station(fresh, s, kMice);
                } catch (const LedgerError&) {
                    _exit(1);
                }
                _exit(0);
            }
            children.push_back(child);
#endif
        }
        for (auto& t : threads) t.join();
#ifndef _WIN32
        for (const pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
#endif
        std::vector<std::int32_t> numbers;
        for (int s = 0; s < kStations; ++s) {
            std::ifstream got(fresh.file("st" + std::to_string(s)));
            for (std::int32_t n; got >> n;) numbers.push_back(n);
        }
        std::sort(numbers.begin(), numbers.end());
        std::vector<std::int32_t> expected(kStations * kMice);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            expected[i] = static_cast<std::int32_t>(i + 1);
        }
        EXPECT_EQ(numbers, expected);  // distinct and consecutive
        EXPECT_TRUE(fresh.open()->check().empty());
    }
}

BW_LEDGER_BACKENDS(Serials);

}  // namespace
}  // namespace bw::ledger::test
