// The automatic cycle on the simulated line with real waits: time per mouse from the tick
// that sees it arrive to its result, against the floor (settle wait plus the write's own
// mandated pauses, plus the feature transfers made times the scenario's per-transfer
// latency), leaving out the wait for the next tick. A mouse whose waits or transfers differ
// from what the protocol prescribes fails the benchmark (exit 1). Then what the read of a
// numbered mouse before its number adds (`run` with a ledger: its factory record, then that
// number's row in a SQLite ledger), and the cost of one poll tick with 30 HID interfaces
// present.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "floor_host.h"
#include "frontend/command_ledger.h"
#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "prescribed_cost.h"
#include "production/auto_write.h"
#include "production/polling.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// A realistic full-speed USB control transfer.
constexpr int kUsbLatencyUs = 1000;

struct Cycle {
    double floorMs = 0;
    double measuredMs = 0;
    double waitedMs = 0;
    double askedMs = 0;
    int mice = 0;
    int passes = 0;
    int unprescribed = 0;  // mice whose waits or transfers differ from the protocol's
    double readMs = 0;     // with a ledger: the read of each mouse before its number
};

bw::AutoWriteSettings SettingsFor(int ic) {
    const bw::IcType& type = *bw::IcTypeAt(ic);
    bw::AutoWriteSettings settings;
    settings.ic = ic;
    settings.vid = 0x3A5C;
    settings.pid = type.defaultPid == "0C21" ? 0x0C21 : 0x0C37;
    settings.params.writeId = ic == 0;
    return settings;
}

// Mice written one after another; the ticks follow each other without the poll period.
// ledger: each mouse is read first as `run` reads it (ExamineMouseAtHand); its number then
// comes from a counter, so that only the read is added.
Cycle MeasureCycle(int ic, int mice, int latencyUs, bw::ledger::StationLedger* ledger = nullptr) {
    bw::Scenario scenario;
    scenario.ic = ic;
    scenario.mice = mice;
    scenario.faults.latencyUs = latencyUs;
    bw::SimulatedPlatform sim(scenario);
    bw::MouseSession state(sim);
    bw::StationState station;
    bw::Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    station.loadImage(image, std::string(bw::IcTypeAt(ic)->rowText), bw::IdentifyImage(image));
    station.handImageTo(state);

    bw::bench::FloorHost host;
    Cycle cycle;
    const bw::AutoWriteSettings settings = SettingsFor(ic);
    // From the arrival: the settle wait, the open by IC type, the write.
    bw::bench::Prescribed cost = bw::bench::MillisecondSteps(settings.params.sleep) +
                                 bw::bench::OpenMouse(ic) +
                                 bw::bench::PassingWrite(ic, settings.params);
    if (ledger != nullptr) cost += bw::bench::FactoryRecordRead();
    long transfersAtTick = 0;
    bw::AutoWriteHooks hooks(station, state, settings, host, [&](const bw::MouseResult& r) {
        const long transfers = sim.transferCount() - transfersAtTick;
        const std::string label = "mouse " + std::to_string(cycle.mice + 1);
        if (!bw::bench::AsPrescribed(label.c_str(), host.askedUs, transfers, cost))
            ++cycle.unprescribed;
        ++cycle.mice;
        cycle.floorMs += bw::bench::FloorMs(cost, transfers, latencyUs);
        cycle.askedMs += host.askedUs / 1000.0;
        cycle.waitedMs += host.waitedUs / 1000.0;
        cycle.measuredMs += std::chrono::duration<double, std::milli>(r.sinceArrival).count();
    });
    std::int32_t next = 1;
    if (ledger != nullptr) {
        bw::DeviceOptions options;
        options.factory = settings.factory;
        hooks.takeNumbersFrom([&, options](std::string*) {
            const auto start = Clock::now();
            bw::ExamineMouseAtHand(*ledger, state, options, false, host);
            cycle.readMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            bw::MouseNumber given;
            given.number = next++;
            return given;
        });
    }
    for (int tick = 0; tick < 4 * mice && hooks.mice() < mice; ++tick) {
        host.reset();
        transfersAtTick = sim.transferCount();
        hooks.startTick();
        bw::RunPollTick(station, state, hooks, host);
    }
    cycle.passes = hooks.passes();
    return cycle;
}

// The zero-latency lines as they always were; a latency line says its latency at the end.
void PrintCycle(const char* label, const Cycle& c, int latencyUs) {
    if (c.mice == 0) return;
    const double floor = c.floorMs / c.mice;
    const double measured = c.measuredMs / c.mice;
    const double waited = c.waitedMs / c.mice;
    std::printf(
        "# %s: %d mice, %d passed%s; latency %d us per transfer; per mouse from arrival to "
        "result, waits overran by %.1f ms, work outside waits %.1f ms\n",
        label, c.mice, c.passes, c.unprescribed > 0 ? ", NOT AS PRESCRIBED" : "", latencyUs,
        waited - c.askedMs / c.mice, measured - waited);
    const std::string latency =
        latencyUs > 0 ? " latency_us=" + std::to_string(latencyUs) : std::string();
    std::printf("floor_ms=%.1f measured_ms=%.1f ratio=%.4f%s\n", floor, measured, measured / floor,
                latency.c_str());
}

// A SQLite ledger in a temporary folder holding `written` numbers of type 0005 as written.
std::unique_ptr<bw::ledger::StationLedger> WrittenLedger(const std::filesystem::path& file,
                                                         int written) {
    auto station =
        std::make_unique<bw::ledger::StationLedger>(bw::ledger::OpenLedger(file.string()), "bench");
    bw::ledger::OperationRecord row;
    row.station = "bench";
    row.operation = "write";
    row.icType = "KVDE31X";
    row.passed = true;
    row.result = "Write Pass";
    for (int i = 0; i < written; ++i) {
        const bw::ledger::Reservation r = station->ledger().reserve(0x0005, "bench");
        station->ledger().markSending(r);
        row.factory = bw::FactoryFields{};
        row.factory->number = r.number;
        row.productNumber = r.number;
        station->ledger().commitWritten(r, row);
    }
    return station;
}

// Average cost of a tick that sees no change, with 29 unrelated interfaces and the mouse.
double PollTickMicroseconds() {
    bw::Scenario scenario;
    scenario.others = 29;
    bw::SimulatedPlatform sim(scenario);
    bw::MouseSession state(sim);
    bw::StationState station;
    bw::bench::FloorHost host;
    bw::AutoWriteHooks hooks(station, state, SettingsFor(0), host, nullptr);
    bw::RunPollTick(station, state, hooks, host);  // the first tick takes the interfaces as arrived
    constexpr int kTicks = 2000;
    const auto start = Clock::now();
    for (int i = 0; i < kTicks; ++i) bw::RunPollTick(station, state, hooks, host);
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kTicks;
}

}  // namespace

int main() {
    bool ok = true;
    for (const int latencyUs : {0, kUsbLatencyUs}) {
        const Cycle fast = MeasureCycle(1, 5, latencyUs);
        const Cycle first = MeasureCycle(0, 3, latencyUs);
        PrintCycle("second IC type (KVDE52xx)", fast, latencyUs);
        PrintCycle("first IC type (KVDE31X), Write Product ID", first, latencyUs);
        ok = ok && fast.passes == 5 && first.passes == 3 && fast.mice == 5 && first.mice == 3 &&
             fast.unprescribed == 0 && first.unprescribed == 0;
    }
    // The read before the number: new mice (their records are blank), a ledger of 500 mice.
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "binwright-bench-read";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    {
        const auto ledger = WrittenLedger(folder / "ledger.db", 500);
        for (const int latencyUs : {0, kUsbLatencyUs}) {
            const Cycle plain = MeasureCycle(0, 3, latencyUs);
            const Cycle read = MeasureCycle(0, 3, latencyUs, ledger.get());
            ok = ok && read.passes == 3 && read.mice == 3 && read.unprescribed == 0;
            const bw::bench::Prescribed alone = bw::bench::FactoryRecordRead();
            std::printf(
                "# first IC type with a ledger: each mouse's factory record and its number's "
                "row read before the number, %d mice\n",
                read.mice);
            std::printf(
                "read_floor_ms=%.1f read_ms_per_mouse=%.1f write_ms_per_mouse=%.1f "
                "latency_us=%d\n",
                bw::bench::FloorMs(alone, alone.transfers, latencyUs), read.readMs / read.mice,
                plain.measuredMs / plain.mice, latencyUs);
        }
        constexpr int kLookups = 2000;
        const auto start = Clock::now();
        for (int i = 0; i < kLookups; ++i) ledger->ledger().serial(0x0005, 1 + i % 500);
        std::printf(
            "ledger_lookup_us=%.1f\n",
            std::chrono::duration<double, std::micro>(Clock::now() - start).count() / kLookups);
    }
    std::filesystem::remove_all(folder);

    std::printf("# one poll tick, 30 HID interfaces present, no change\n");
    std::printf("poll_tick_us=%.1f\n", PollTickMicroseconds());
    return ok ? 0 : 1;
}
