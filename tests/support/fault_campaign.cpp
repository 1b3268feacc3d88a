#include "support/fault_campaign.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <random>
#include <sstream>

#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "image/operations.h"
#include "image/write_image.h"
#include "production/operation_log.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace bw::test {

namespace {

// Far above the worst legitimate operation (a few tens of thousands of transfers):
// an operation that gets here is taken for a hang and every further transfer fails.
constexpr long kTransferBudget = 200000;
constexpr int kFailuresKept = 10;

Image RandomImage(std::mt19937_64& rng) {
    Image image{};
    for (auto& b : image) b = static_cast<std::uint8_t>(rng());
    return image;
}

Image ImageOf(const CampaignScenario& c) {
    std::mt19937_64 rng(c.seed * 2654435761u + 1);
    return RandomImage(rng);
}

Image InitialMemory(const CampaignScenario& c, const Image& image) {
    std::mt19937_64 rng(c.seed * 40503u + 7);
    Image memory{};
    switch (c.memoryKind) {
        case 1:
            return image;
        case 2: {
            memory = image;
            const int changes = 1 + static_cast<int>(rng() % 4);
            for (int i = 0; i < changes; ++i) memory[rng() % kImageSize] ^= 0x5A;
            return memory;
        }
        case 3:
            return RandomImage(rng);
        default:
            memory.fill(0xFF);
            return memory;
    }
}

std::uint16_t HexId(std::string_view text) {
    return static_cast<std::uint16_t>(std::stoi(std::string(text), nullptr, 16));
}

bool Equal(const Image& a, const Image& b, int from, int to) {
    return std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
}

}  // namespace

FaultPlatform::FaultPlatform(SimulatedPlatform& sim, const CampaignScenario& c, int mouseId)
    : sim_(sim), c_(c), mouseId_(mouseId), rng_(c.seed ^ 0x9E3779B97F4A7C15ull) {}

std::vector<HidInterfaceInfo> FaultPlatform::enumerate() {
    return sim_.enumerate();
}
HidHandle FaultPlatform::open(const std::string& path, std::string* error) {
    return sim_.open(path, error);
}
int FaultPlatform::setFeature(HidHandle h, const std::uint8_t* data, std::size_t length) {
    return transfer() ? sim_.setFeature(h, data, length) : -1;
}
int FaultPlatform::getFeature(HidHandle h, std::uint8_t* data, std::size_t length) {
    return transfer() ? sim_.getFeature(h, data, length) : -1;
}
void FaultPlatform::close(HidHandle h) {
    sim_.close(h);
}
void FaultPlatform::beginOperation() {
    sim_.beginOperation();
}
void FaultPlatform::endOperation() {
    sim_.endOperation();
}

void FaultPlatform::arm() {
    Faults& faults = sim_.faults();
    faults.nack = c_.nackCommand;
    faults.ackAfter = c_.ackAfter;
    faults.losePiece = c_.losePiece;
    faults.latencyUs = 0;
    faults.shortReply = c_.shortReply;
    faults.stuckByte = c_.stuckByte;
    armed_ = true;
    count_ = 0;
}

bool FaultPlatform::exhausted() const {
    return count_ > kTransferBudget;
}

// False: this transfer fails before it reaches the mouse.
bool FaultPlatform::transfer() {
    if (!armed_) return true;
    const long index = count_++;
    if (index == c_.unplugAt) sim_.unplug(mouseId_);
    if (index == c_.arrivalAt) {
        sim_.plugOther();
        if (onArrival) onArrival();
    }
    if (index == c_.silentFrom) sim_.faults().ackAfter = 1000;
    if (index >= kTransferBudget) return false;
    if (c_.failPerMille > 0 && std::uniform_int_distribution<int>(0, 999)(rng_) < c_.failPerMille) {
        return false;
    }
    return true;
}

Image CampaignImage(const CampaignScenario& c) {
    return ImageOf(c);
}

Scenario CampaignLine(const CampaignScenario& c) {
    Scenario s;
    s.ic = c.ic;
    s.split = c.split;
    s.status1 = c.status1;
    s.status2 = c.status2;
    s.chip = c.chip;
    s.memory = InitialMemory(c, ImageOf(c));
    return s;
}

bool RefusedParameters(const CampaignScenario& c) {
    if (c.op != Operation::Write) return false;
    const WriteParams& p = c.params;
    const bool numberOut = c.factory.number < 0 || c.factory.number > 0xFFFFFF;
    return p.blocks < 1 || p.blocks > kBlockCount || p.retries < 1 ||
           (c.ic == 0 && p.writeId && numberOut);
}

std::string CheckInvariants(const CampaignScenario& c, const MouseSession& state,
                            const Image& memory, Outcome outcome, long transfers) {
    const bool pass = outcome == Outcome::Pass;
    // Every end but a pass says why, and a difference it names is one in the memory.
    const Reason& reason = state.LastReason;
    if (pass != reason.empty()) return "reason '" + reason.codeName() + "' after this outcome";
    if (c.op == Operation::Verify && reason.code == ReasonCode::Mismatch) {
        const auto at = static_cast<std::size_t>(reason.number("offset"));
        if (at >= memory.size() || memory[at] != reason.number("read") ||
            state.ImageBuffer[at] != reason.number("expected") ||
            memory[at] == state.ImageBuffer[at]) {
            return "mismatch reason names no difference: " + reason.text;
        }
    }
    if (RefusedParameters(c)) {
        if (pass) return "Write Pass with parameters the mouse cannot take";
        if (reason.code != ReasonCode::BadParameters)
            return "parameters not refused: reason '" + reason.codeName() + "'";
        if (transfers > 0) return "refused parameters, but the mouse was touched";
        if (memory != InitialMemory(c, ImageOf(c))) return "refused parameters, memory changed";
        return {};
    }
    if (!pass) return {};
    switch (c.op) {
        case Operation::Write: {
            const int end =
                c.params.format == DataFormat::TwoK ? kImageSize : c.params.blocks * kBlockSize;
            if (!Equal(memory, state.ImageBuffer, 0, end)) {
                return "Write Pass but the memory differs from the image";
            }
            if (c.ic == 0 && c.params.writeId) {
                const FactoryRecordBytes record = BuildFactoryRecord(c.factory);
                if (!std::equal(record.begin(), record.end(),
                                memory.begin() + FactoryRecordOffset)) {
                    return "Write Pass but the factory record is not in the memory";
                }
            }
            return {};
        }
        case Operation::Verify: {
            const int recordEnd = FactoryRecordOffset + kFactoryRecordSize;
            const bool same = c.ic == 0
                                  ? Equal(memory, state.ImageBuffer, 0, FactoryRecordOffset) &&
                                        Equal(memory, state.ImageBuffer, recordEnd, kImageSize)
                                  : memory == state.ImageBuffer;
            return same ? std::string() : "Verify Pass but the memory differs from the image";
        }
        case Operation::Save:
            // The caller keeps the file only on a pass; it would hold DeviceImageBuffer.
            return state.DeviceImageBuffer == memory
                       ? std::string()
                       : "Save Pass but the saved image differs from the memory";
        case Operation::ReadFactory:
            if (c.ic != 0) return "Read Ok on an IC type without read-back";
            return std::equal(state.FactoryRecord.begin(), state.FactoryRecord.end(),
                              memory.begin() + FactoryRecordOffset)
                       ? std::string()
                       : "Read Ok but the record differs from memory bytes 160..171";
    }
    return {};
}

CampaignScenario MakeScenario(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto chance = [&pick](int percent) { return pick(0, 99) < percent; };

    CampaignScenario c;
    c.seed = seed;
    c.ic = chance(50) ? 0 : pick(1, 2);
    c.split = chance(50);
    c.op = static_cast<Operation>(pick(0, 3));

    c.params.total = pick(1, 3);
    c.params.retries = chance(5) ? 0 : pick(1, 3);
    c.params.format = chance(50) ? DataFormat::TwoK : DataFormat::Block256;
    c.params.blocks = chance(3) ? std::array{0, 9, -1}[pick(0, 2)] : pick(1, 8);
    c.params.writeId = chance(50);
    c.params.sleep = pick(0, 100);
    c.factory.type = pick(0, 0xFFFF);
    c.factory.number = chance(3) ? (chance(50) ? -1 : 0x1000000 + pick(0, 99)) : pick(0, 0xFFFFFF);
    c.factory.factory = pick(-1, 7);
    c.factory.line = pick(-1, 25);
    c.factory.station = pick(-1, 7);

    c.memoryKind = c.op == Operation::Write ? pick(0, 3) : (chance(50) ? 1 : pick(0, 3));

    if (chance(10)) c.status1 = static_cast<std::uint8_t>(pick(0, 255));
    if (chance(10)) c.status2 = static_cast<std::uint8_t>(pick(0, 255));
    if (chance(10)) {
        constexpr std::uint8_t kChips[] = {0x35, 0x75, 0xFD, 0x36, 0x00};
        c.chip = kChips[pick(0, 4)];
    }

    // About one scenario in five runs without any fault, so passes stay common.
    if (!chance(20)) {
        if (chance(15)) c.nackCommand = pick(1, 8);
        if (chance(20)) c.ackAfter = pick(2, 7);
        if (chance(20)) c.losePiece = pick(1, 60);
        if (chance(20)) c.silentFrom = pick(0, 3000);
        if (chance(20)) c.unplugAt = pick(0, 3000);
        if (chance(25)) {
            constexpr int kRates[] = {1, 2, 5, 20, 100};
            c.failPerMille = kRates[pick(0, 4)];
        }
        if (chance(15)) c.shortReply = pick(2, 40);
        if (chance(15)) c.arrivalAt = pick(0, 3000);
    }

    // One scenario in ten runs the automatic mode over a few mice, mostly with a signal.
    if (chance(10)) {
        c.op = Operation::Write;
        c.runMice = pick(1, 3);
        // What the command line's options allow, and numbers that do not run out.
        c.params.blocks = pick(1, 8);
        c.factory = FactoryFields{};
        c.factory.number = pick(0, 0xFFFF00);
        // Faults the line's scenario keys cannot express are left out.
        c.silentFrom = c.unplugAt = c.arrivalAt = -1;
        c.failPerMille = 0;
        if (chance(80)) {
            c.signalPiece = pick(1, 400 * c.runMice);
            switch (pick(0, 2)) {
                case 0:
                    c.stopSignals = {SIGINT};
                    break;
                case 1:
                    c.stopSignals = {SIGTERM};
                    break;
                default:
                    c.stopSignals = {SIGINT, SIGINT};
                    break;
            }
        }
        // Drawn last, so the earlier fields of a seed stay what they were.
        c.ledger = chance(50);
        c.ledgerFrozen = c.ledger && c.signalPiece > 0 && chance(50);
        // Mostly a numbering station: its rows end reservations.
        if (c.ledger && chance(70)) {
            c.ic = 0;
            c.params.writeId = true;
        }
        // Most numbering runs of the first IC type see a passed mouse come back.
        c.replug = c.ledger && c.ic == 0 && c.params.writeId && chance(70);
        c.rewrite = chance(50);
    }
    // Drawn last, so the scenario of every seed keeps all it had before: a byte that keeps
    // its value when written, mostly past the first block a short read-back covers.
    if (chance(12)) c.stuckByte = pick(0, kImageSize - 1);
    return c;
}

CampaignRun RunScenario(const CampaignScenario& c) {
    if (c.runMice > 0) return RunLineScenario(c);
    CampaignRun run;
    const IcType& type = *IcTypeAt(c.ic);
    const Image image = ImageOf(c);

    SimulatedPlatform sim(CampaignLine(c));
    const int mouseId = sim.devices().front();
    FaultPlatform faulty(sim, c, mouseId);

    MouseSession state(faulty);
    const std::uint16_t vid = HexId(type.defaultVid);
    const std::uint16_t pid = HexId(type.defaultPid);
    state.ExpectedVersion = type.release;
    const bool opened = type.protocol == Protocol::Report4
                            ? state.link.OpenDeviceReport4(vid, pid, state.ExpectedVersion)
                            : state.link.OpenDeviceReport40(vid, pid, state.ExpectedVersion);
    if (!opened) {
        run.broken = "the mouse did not open";
        return run;
    }
    state.ImageBuffer = image;
    state.HasImage = true;
    state.ImageType = std::string(type.rowText);

    faulty.arm();

    RecordingHost host;
    switch (c.op) {
        case Operation::Write:
            run.outcome = WriteImage(state, c.ic, c.params, c.factory, host);
            break;
        case Operation::Verify:
            run.outcome = VerifyImage(state, c.ic, host);
            break;
        case Operation::Save:
            run.outcome = ReadDeviceImage(state, c.ic, host);
            break;
        case Operation::ReadFactory:
            run.outcome = ReadFactoryRecord(state, c.ic, host);
            break;
    }
    run.transfers = faulty.transfers();

    if (faulty.exhausted()) {
        run.broken = "no end after " + std::to_string(kTransferBudget) + " transfers";
    } else if (host.loadingVisible) {
        run.broken = "the loading window is still shown";
    } else {
        run.broken =
            CheckInvariants(c, state, sim.mouse(mouseId)->memory(), run.outcome, run.transfers);
    }
    return run;
}

CampaignSummary RunCampaign(std::uint64_t first, int count) {
    CampaignSummary summary;
    for (int i = 0; i < count; ++i) {
        const CampaignScenario c = MakeScenario(first + static_cast<std::uint64_t>(i));
        const CampaignRun run = RunScenario(c);
        ++summary.scenarios;
        summary.transfers += run.transfers;
        if (run.outcome == Outcome::Pass) ++summary.passes;
        if (c.runMice > 0) ++summary.runs;
        if (run.signalled) ++summary.signalled;
        if (run.replugged) ++summary.replugged;
        if (!run.broken.empty()) {
            ++summary.broken;
            if (static_cast<int>(summary.failures.size()) < kFailuresKept) {
                summary.failures.push_back(Describe(c) + ": " + run.broken);
            }
        }
    }
    return summary;
}

std::string Describe(const CampaignScenario& c) {
    std::ostringstream out;
    out << "seed=" << c.seed << " " << OperationName(c.op) << " ic=" << c.ic
        << (c.split ? " split" : "") << " total=" << c.params.total
        << " retries=" << c.params.retries << (c.params.format == DataFormat::TwoK ? " 2K" : " 256")
        << " blocks=" << c.params.blocks << (c.params.writeId ? " write-id" : "")
        << " memory=" << c.memoryKind << std::hex << " status=" << int{c.status1} << "/"
        << int{c.status2} << " chip=" << int{c.chip} << std::dec;
    if (c.nackCommand >= 0) out << " nack=" << c.nackCommand;
    if (c.ackAfter != 1) out << " ack-after=" << c.ackAfter;
    if (c.losePiece > 0) out << " lose-piece=" << c.losePiece;
    if (c.silentFrom >= 0) out << " silent-from=" << c.silentFrom;
    if (c.unplugAt >= 0) out << " unplug-at=" << c.unplugAt;
    if (c.failPerMille > 0) out << " fail=" << c.failPerMille << "/1000";
    if (c.shortReply > 0) out << " short-reply=" << c.shortReply;
    if (c.arrivalAt >= 0) out << " arrival-at=" << c.arrivalAt;
    if (c.stuckByte >= 0) out << " stuck-byte=" << std::hex << c.stuckByte << std::dec;
    if (c.runMice > 0) out << " run mice=" << c.runMice;
    if (c.replug) out << (c.rewrite ? " ledger replug rewrite" : " ledger replug");
    if (c.signalPiece > 0) {
        out << " signals";
        for (int s : c.stopSignals) out << (s == SIGINT ? " INT" : " TERM");
        out << " at piece " << c.signalPiece;
    }
    if (c.ledger) out << (c.ledgerFrozen ? " ledger frozen at the signal" : " ledger");
    return out.str();
}

}  // namespace bw::test
