#pragma once
// The gang station: many mice written at once, each on its own USB port, each the moment
// it is plugged in. The runner watches the platform's interfaces by device path (a new
// path of the target on a port is a new mouse, a vanished one a removed mouse), gives
// every port a slot number and runs one worker thread per mouse: the same WriteImage on
// the worker's own MouseSession, opened on that mouse's port only.
//
// Threads: run() is called on one thread (the runner's); it starts the workers, and they
// and it ask the front end's host for its stop request, one at a time. The observer is called from
// the runner's thread and from every worker, but never by two at once (the runner holds its lock
// around each call), so an implementation needs no lock of its own; it must return soon
// (a window posts a queued signal, the command line prints a line).

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "device/operation_host.h"
#include "image/factory_record_gate.h"
#include "image/image_buffers.h"
#include "image/image_identity.h"
#include "image/mouse_session.h"
#include "image/outcome.h"
#include "image/reason.h"
#include "image/write_params.h"
#include "production/operation_log.h"

namespace bw::station {

// A mouse found at the start already holding its product number: the ledger's recovery
// proved that a write the last run of this station did not finish reached it.
struct HeldMouse {
    std::string port;
    std::string path;  // the interface the proof read; the mouse is known by it
    std::int32_t number = 0;
};

struct GangSettings {
    int ic = 0;  // IC type index; 0 also asks for release 0x0104
    std::int32_t vid = 0;
    std::int32_t pid = 0;
    WriteParams params;     // params.sleep is also the settle wait after a plug
    FactoryFields factory;  // factory.number: unused here (the SerialSource gives numbers)
    Image image{};          // the loaded image
    std::string imageType;  // its type text (LoadedImageType)
    std::optional<ImageIdentity> imageIdentity;

    // --slots PORT,...: slot k is ports[k-1], mice on other ports are left alone.
    std::vector<std::string> ports;
    // --slots N: at most N slots, numbered in order of first appearance; 0: any number.
    int maxSlots = 0;
    // Stop taking mice after this many were started (the run ends when they finished);
    // 0: until stopped.
    int count = 0;
    // Longest wait for a presence change before the runner looks again (stop requests,
    // finished workers).
    int lookMs = 50;
    // Mice present at the start that are not written again (the first look finds them by
    // port and path): each keeps its port's slot, and the next mouse plugged into that port
    // after it is pulled out is written as any other.
    std::vector<HeldMouse> held;
};

struct GangResult;

// What a serial source says of the mouse on a slot, read before its number is taken.
struct MouseVerdict {
    // The mouse holds a number it must not be given again: it is not written. What is
    // shown ("Already written (SN 1A)"), the number it holds and why.
    std::optional<std::string> leftAlone;
    std::int32_t heldNumber = 0;
    Reason reason;
    // It is written again with the number it holds (a rewrite): take() is not asked.
    std::optional<std::int32_t> keep;
    // The source cannot say (its ledger went away): as a refusal of take().
    std::optional<std::string> refusal;
};

// Where a write of the factory record gets its product number. take() and settle() run on
// the worker's thread, several workers at once; an implementation keeps each slot's state
// apart or behind a lock. host is the worker's: its stop request (the runner's, asked one
// thread at a time) may cut a wait of the source short.
class SerialSource {
  public:
    virtual ~SerialSource() = default;
    // Before take(), on the mouse opened in `state`: a source that knows which numbers are
    // written (a ledger) reads what the mouse holds. Default: a new mouse, nothing read.
    virtual MouseVerdict examine(int /*slot*/, MouseSession& /*state*/, OperationHost& /*host*/) {
        return {};
    }
    // The number for the write about to start on `slot`, before the mouse is touched; never
    // the same twice. nullopt (refusal set): the mouse is not written and the runner takes
    // no further mouse.
    virtual std::optional<std::int32_t> take(int slot, OperationHost& host,
                                             std::string* refusal) = 0;
    // The gate the write of `slot` asks before the record goes out; null: always.
    virtual FactoryRecordGate* gate(int /*slot*/) { return nullptr; }
    // After every write of the slot (numbered or not), before the observer hears of it: a
    // ledger records the row and ends the number's reservation. False, with problem set,
    // when the result could not be recorded: the runner takes no further mouse.
    virtual bool settle(int /*slot*/, const GangResult& /*result*/, OperationHost& /*host*/,
                        std::string* /*problem*/) {
        return true;
    }
};

// One finished mouse.
struct GangResult {
    int slot = 0;
    std::string port;
    std::string devicePath;  // the interface that carried the commands; empty: not opened
    Outcome outcome = Outcome::Fail;
    std::string text;  // "Write Pass", "Write Fail", ... (LogResultText), or why not opened
    Reason reason;     // why it did not pass; empty after a pass
    int attempts = 0;  // image write attempts
    bool opened = false;
    FactoryFields factory;                            // the fields the write used
    std::optional<std::int32_t> numberTaken;          // from the SerialSource
    std::optional<std::int32_t> writtenNumber;        // what the factory record received
    bool recordSent = false;                          // the record went out (a failed one too)
    OperationTiming timing;                           // started just before the write
    std::chrono::steady_clock::duration sincePlug{};  // from the plug being seen
    std::string notRecorded;  // why SerialSource::settle failed; empty: recorded
    // Not written: SerialSource::examine left it alone (text says why); not in mice/passes.
    bool leftAlone = false;
    std::int32_t heldNumber = 0;  // the number such a mouse holds
};

// What a front end hears. Slot numbers start at 1.
class GangObserver {
  public:
    virtual ~GangObserver() = default;
    // A port got its slot (at its first mouse, or at the start for a fixed list).
    virtual void slotAssigned(int /*slot*/, const std::string& /*port*/) {}
    // A mouse on a port that has no slot and gets none (--slots full or fixed).
    virtual void portIgnored(const std::string& /*port*/) {}
    // A target mouse whose USB port the system cannot name: it can have no slot.
    virtual void portUnnamed(const std::string& /*devicePath*/) {}
    // A mouse of GangSettings::held is on the slot's port: it is not written, and not
    // counted.
    virtual void mouseHeld(int /*slot*/, const HeldMouse& /*mouse*/) {}
    // A new mouse was seen on the slot's port; its worker waits the settle time.
    virtual void mousePlugged(int /*slot*/) {}
    // The write starts; number: the product number taken for it, none without a record.
    virtual void mouseStarted(int /*slot*/, const std::string& /*devicePath*/,
                              std::optional<std::int32_t> /*number*/) {}
    // A labelled phase of the write started ("Writing 2048 bytes"); bytes: what it moves.
    virtual void phase(int /*slot*/, const std::string& /*label*/, int /*bytes*/) {}
    // Bytes of the running phase moved so far.
    virtual void progress(int /*slot*/, int /*done*/, int /*total*/) {}
    virtual void mouseFinished(const GangResult& /*result*/) {}
    // The slot's mouse was pulled out (after its write, or during it: that write fails).
    virtual void mouseRemoved(int /*slot*/) {}
    // The runner takes no further mouse (stop request, --count reached, takeNoMore()).
    virtual void stoppedTaking(const std::string& /*why*/) {}
};

struct SlotTotals {
    int slot = 0;
    std::string port;
    int mice = 0;
    int passes = 0;
    int leftAlone = 0;  // mice SerialSource::examine left alone
};

struct GangSummary {
    std::vector<SlotTotals> perSlot;  // by slot number (not `slots`: a Qt macro)
    int mice = 0;
    int passes = 0;
    int leftAlone = 0;
    std::string refusal;  // a number the SerialSource refused; empty: none
};

class GangRunner {
  public:
    // platform: shared by all workers (HidPlatform is safe for that). waits: null, each
    // worker waits on the real clock without spinning (PacedWaits); else its sleepMs and
    // delayUs serve every worker at once (a test's virtual clock). The objects given must
    // outlive the runner.
    GangRunner(HidPlatform& platform, const GangSettings& settings, SerialSource& serials,
               GangObserver& observer, OperationHost* waits = nullptr);
    ~GangRunner();
    GangRunner(const GangRunner&) = delete;
    GangRunner& operator=(const GangRunner&) = delete;

    // Runs until the host asks to stop (Finish: no new mouse, the writes in progress end as
    // that allows; Abort: they stop at the next piece), --count mice were started, the
    // SerialSource refused or takeNoMore() was called; then waits for every worker. Only
    // host.stopRequest() is asked of the host: by this thread and the workers, one at a
    // time (under the runner's lock).
    GangSummary run(OperationHost& host);

    // From any thread (an observer that lost a log line): no further mouse is started.
    void takeNoMore(const std::string& why);

  private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace bw::station
