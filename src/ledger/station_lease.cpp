#include "ledger/station_lease.h"

#include <cstdio>
#include <random>

#include "ledger/ledger_time.h"
#include "ledger/station_process.h"

namespace bw::ledger {
namespace {

using Clock = std::chrono::steady_clock;

std::string NewToken() {
    std::random_device rd;
    char text[40];
    std::snprintf(text, sizeof text, "%08x%08x-%lld", rd(), rd(),
                  static_cast<long long>(ThisProcessId()));
    return text;
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

}  // namespace

std::string HolderText(const StationHolder& holder) {
    return "host " + holder.host + ", process " + std::to_string(holder.processId) + ", since " +
           holder.startedAt;
}

StationLease::StationLease(std::unique_ptr<Ledger> own, std::string station, const StopCheck& stop,
                           const Say& say, LeaseTerms terms)
    : own_(std::move(own)), station_(std::move(station)), terms_(terms) {
    me_.token = NewToken();
    me_.host = ThisHost();
    me_.processId = ThisProcessId();
    me_.startedAt = UtcTimestamp(std::chrono::system_clock::now());
    claim(stop, say);
    own_->setStopCheck([this] { return stopping_ ? StopRequest::Abort : StopRequest::None; });
    renewer_ = std::thread([this] { renewLoop(); });
}

StationLease::~StationLease() {
    {
        const std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    wake_.notify_all();
    renewer_.join();
    // A healthy ledger takes the release in milliseconds; a silent one is not waited for.
    const auto until = Clock::now() + std::chrono::milliseconds(1000);
    own_->setStopCheck(
        [until] { return Clock::now() < until ? StopRequest::None : StopRequest::Abort; });
    try {
        own_->releaseStation(station_, me_.token);
    } catch (const LedgerError&) {
        // The lease expires by itself.
    }
}

void StationLease::claim(const StopCheck& stop, const Say& say) {
    own_->setStopCheck(stop);
    const std::string host = me_.host;
    const auto gone = [&host](const StationHolder& h) {
        return h.host == host && !ProcessRuns(h.processId);
    };
    const auto started = Clock::now();
    std::optional<StationHolder> watched;
    for (;;) {
        const StationClaim claimed = own_->claimStation(station_, me_, terms_.term.count(), gone);
        if (claimed.taken) {
            previous_ = claimed.holder;
            return;
        }
        if (!claimed.holder) continue;  // given up meanwhile: the next claim takes it
        const StationHolder& holder = *claimed.holder;
        const bool renewed =
            watched && (holder.token != watched->token || holder.renewedMs != watched->renewedMs);
        if (renewed || Clock::now() - started > terms_.term + terms_.renewEvery) {
            throw LedgerError(LedgerErrorKind::Refused,
                              "station " + station_ + " runs already (" + HolderText(holder) +
                                  "; its lease in ledger " + own_->where() + " was renewed " +
                                  Seconds(holder.nowMs - holder.renewedMs) +
                                  " ago): give this station a name of its own"
                                  " (--station-name) or stop that one");
        }
        if (!watched) {
            watched = holder;
            if (say) {
                say("station " + station_ + " is held by " + HolderText(holder) +
                    "; waiting up to " + Seconds(holder.expiresMs - holder.nowMs) +
                    " to see whether it still runs");
            }
        }
        for (int ms = 0; ms < 200; ms += 20) {
            if (stop && stop() != StopRequest::None) {
                throw LedgerError(LedgerErrorKind::Unavailable,
                                  "station " + station_ +
                                      ": the wait for its lease was given up at the stop request");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
}

void StationLease::renewLoop() {
    std::unique_lock<std::mutex> hold(lock_);
    while (!stopping_) {
        wake_.wait_for(hold, terms_.renewEvery, [this] { return stopping_.load(); });
        if (stopping_) return;
        hold.unlock();
        bool held = true;
        try {
            held = own_->renewStation(station_, me_.token, terms_.term.count());
        } catch (const LedgerError&) {
            // The ledger is away: tried again at the next period, while the lease lasts.
        }
        std::string why;
        if (!held) {
            why = "station " + station_ + " lost its lease in ledger " + own_->where() +
                  ": it could not renew it in time and another run took the name";
            try {
                if (const auto now = own_->stationHolder(station_))
                    why += " (" + HolderText(*now) + ")";
            } catch (const LedgerError&) {
            }
            why += "; this station gives no further number";
        }
        hold.lock();
        if (!held) {
            lost_ = why;
            return;
        }
    }
}

std::string StationLease::lost() const {
    const std::lock_guard<std::mutex> hold(lock_);
    return lost_;
}

}  // namespace bw::ledger
