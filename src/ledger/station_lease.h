#pragma once
// A station's hold on its name in the ledger while it runs. Two stations under one name
// (two units on one host, both named after it) would otherwise be one station to the
// ledger, and the start of the second would end the reservations of the first while it
// writes them. The lease is claimed before recovery, renewed by a thread of its own on a
// connection of its own, and given up when the station ends; one that was not renewed
// expires some seconds after a crash.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ledger/ledger.h"

namespace bw::ledger {

struct LeaseTerms {
    std::chrono::milliseconds term{10000};  // a lease not renewed expires after this
    std::chrono::milliseconds renewEvery{2000};
};

class StationLease {
  public:
    using Say = std::function<void(const std::string&)>;

    // Claims the station's name on `own`. A holder on this host whose process has ended is
    // replaced at once. Another holder is watched until its lease expires (then it is
    // replaced) or is renewed (it runs: LedgerError Refused, naming where and since when);
    // `say` hears that the wait begins, `stop` cuts it short (LedgerError Unavailable).
    StationLease(std::unique_ptr<Ledger> own, std::string station, const StopCheck& stop,
                 const Say& say, LeaseTerms terms = {});
    // Stops renewing and gives the name up (bounded: a silent ledger is given a second).
    ~StationLease();
    StationLease(const StationLease&) = delete;
    StationLease& operator=(const StationLease&) = delete;

    const std::string& station() const { return station_; }
    const std::string& token() const { return me_.token; }
    // The lease this one replaced: the station's last run, if its lease was still there.
    const std::optional<StationHolder>& previous() const { return previous_; }
    // Why the lease is gone: a renewal found the name held by another run (this one could
    // not renew it before it expired). The station gives no further number then. Empty
    // while the lease is held.
    std::string lost() const;

  private:
    void claim(const StopCheck& stop, const Say& say);
    void renewLoop();

    std::unique_ptr<Ledger> own_;
    std::string station_;
    LeaseTerms terms_;
    StationHolder me_;
    std::optional<StationHolder> previous_;
    mutable std::mutex lock_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_{false};
    std::string lost_;
    std::thread renewer_;
};

// "host pc7, process 1234, since 2026-05-27T12:00:00.000+00:00"
std::string HolderText(const StationHolder& holder);

}  // namespace bw::ledger
