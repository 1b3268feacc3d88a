#include "image/write_image.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/report4.h"
#include "device/report40.h"
#include "image/device_match.h"
#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/operation_reasons.h"
#include "image/operation_scope.h"
#include "image/operations.h"

namespace bw {

namespace {

using BlockWriter = bool (*)(Link&, OperationHost&, int, int, const std::uint8_t*);

// Blocks past the image never get addressed, whatever the caller passed.
int BlockCount(const WriteParams& params) {
    return std::clamp(params.blocks, 0, kBlockCount);
}

// One attempt: the whole image in one block, or the first N blocks, each written even
// after an earlier one was refused.
bool WriteAttempt(MouseSession& state, const WriteParams& params, BlockWriter writeBlock,
                  OperationHost& host) {
    host.startAttempt();
    ++state.WriteAttempts;
    switch (params.format) {
        case DataFormat::TwoK:
            return writeBlock(state.link, host, 0, kImageSize, state.ImageBuffer.data());
        case DataFormat::Block256: {
            bool all = true;
            for (int k = 0; k < BlockCount(params) && !Aborting(host); ++k) {
                const std::uint8_t* block = state.BlockBuffer.data() + k * kBlockSize;
                if (!writeBlock(state.link, host, k * kBlockSize, kBlockSize, block)) all = false;
            }
            return all && !Aborting(host);
        }
        case DataFormat::None:
            break;
    }
    return false;
}

bool WriteCycle(MouseSession& state, const WriteParams& params, BlockWriter writeBlock,
                OperationHost& host) {
    state.BlockBuffer = state.ImageBuffer;
    for (int attempt = 0; attempt < params.retries; ++attempt) {
        if (attempt > 0 && StopCutsAttempts(state, host)) return false;
        if (WriteAttempt(state, params, writeBlock, host)) return true;
    }
    return false;
}

// After the image write: why it failed, from the link, with the attempts made.
bool NoteWriteFailure(MouseSession& state, bool ok) {
    if (!ok) NoteLinkFault(state, true, state.WriteAttempts);
    return ok;
}

// Pause after the exchange: S + 1 steps of 1 ms, the window kept alive between them.
void PauseAfterWrite(int sleepMs, OperationHost& host) {
    for (std::int64_t i = 0; i <= std::int64_t{sleepMs} && !Aborting(host); ++i) {
        host.sleepMs(1);
        host.processEvents();
    }
}

std::string WritingLabel(const WriteParams& params) {
    return "Writing " + std::to_string(WrittenBytes(params)) + " bytes";
}

// Up to `retries` read-back runs, one phase whose label follows the block being read.
// Asked to verify every written byte, a 2K write is read back in all eight blocks.
bool ReadBackRuns(MouseSession& state, WriteParams params, OperationHost& host) {
    if (params.verifyAfterWrite && params.format == DataFormat::TwoK) params.blocks = kBlockCount;
    host.beginPhase("Reading back block 1/" + std::to_string(BlockCount(params)),
                    BlockCount(params) * kBlockSize);
    bool ok = false;
    for (int run = 0; run < params.retries && !ok; ++run) {
        if (run > 0 && StopCutsAttempts(state, host)) break;
        host.startAttempt();
        ok = ReadBackCheck(state, params, host);
    }
    host.endPhase(ok);
    return ok;
}

// The second and third IC types: the whole memory read and every written byte compared.
bool VerifyWritten40(MouseSession& state, const WriteParams& params, OperationHost& host) {
    host.beginPhase("Verifying", kImageSize);
    const bool read = ReadBlock40(state.link, host, 0, kImageSize, state.DeviceImageBuffer.data(),
                                  state.DeviceImageBuffer.size());
    if (!read) {
        NoteLinkFault(state, false);
    } else {
        state.LastReason = MismatchReason(state.ImageBuffer.data(), state.DeviceImageBuffer.data(),
                                          0, WrittenBytes(params), false, "wrote");
    }
    const bool ok = read && state.LastReason.empty();
    host.endPhase(ok);
    return ok;
}

Outcome WriteReport4(MouseSession& state, const WriteParams& params, const FactoryFields& factory,
                     OperationHost& host) {
    const MatchOutcome match = CheckMousePhase(state, host);
    if (match != MatchOutcome::MatchReady) return OutcomeOfMatch(match);

    host.showLoading();
    host.processEvents();

    if (state.ImageRecordArea) {
        std::copy(state.ImageRecordArea->begin(), state.ImageRecordArea->end(),
                  state.ImageBuffer.begin() + FactoryRecordOffset);
    }
    host.beginPhase(WritingLabel(params), WrittenBytes(params));
    bool ok = WriteImageCycles(state, params, host);
    if (!ok && !StopCutsAttempts(state, host)) ok = WriteImageCycle4(state, params, host);
    host.endPhase(NoteWriteFailure(state, ok));

    // Written whatever the image write gave; a record that did not arrive fails the read-back.
    // Once a stop was asked for, only an image that arrived still gets its record.
    // A record the gate holds back never reaches the mouse, and the write fails.
    bool recordRefused = false;
    if (params.writeId && !Aborting(host) && (ok || !StopAsked(host))) {
        const Reason imageReason = state.LastReason;
        const bool imageOk = ok;
        if (state.RecordGate == nullptr || state.RecordGate->recordMayGo(factory)) {
            recordRefused = !WriteFactoryRecord(state, factory, params.retries, host);
        } else {
            state.LastReason = RecordHeldReason(state.RecordGate->whyHeld());
            ok = false;
        }
        // A failed image write stays the reason; the record's counts only after a good one.
        if (!imageOk) state.LastReason = imageReason;
    }

    // The check of an attempt that succeeded runs even after a stop request: a pass must
    // mean the mouse holds the image. Only its retries are given up.
    if (ok) {
        const Reason recordReason = state.LastReason;
        ok = ReadBackRuns(state, params, host);
        // A record that never arrived is why its bytes read back wrong.
        if (!ok && recordRefused) state.LastReason = recordReason;
    }

    CloseExchange4(state, host);
    PauseAfterWrite(params.sleep, host);
    if (ok) return Outcome::Pass;
    return Aborting(host) ? Outcome::Aborted : Outcome::Fail;
}

Outcome WriteReport40(MouseSession& state, const WriteParams& params, OperationHost& host) {
    host.showLoading();
    host.processEvents();
    host.beginPhase(WritingLabel(params), WrittenBytes(params));
    bool ok = WriteImageCycle40(state, params, host);
    if (!ok && !StopCutsAttempts(state, host)) ok = WriteImageCycle40(state, params, host);
    host.endPhase(NoteWriteFailure(state, ok));
    if (ok && params.verifyAfterWrite && !Aborting(host)) ok = VerifyWritten40(state, params, host);
    if (ok) return Outcome::Pass;
    return Aborting(host) ? Outcome::Aborted : Outcome::Fail;
}

}  // namespace

int WrittenBytes(const WriteParams& params) {
    switch (params.format) {
        case DataFormat::TwoK:
            return kImageSize;
        case DataFormat::Block256:
            return BlockCount(params) * kBlockSize;
        case DataFormat::None:
            break;
    }
    return 0;
}

bool WriteImageCycles(MouseSession& state, const WriteParams& params, OperationHost& host) {
    state.BlockBuffer = state.ImageBuffer;
    for (int cycle = 0; cycle < params.total; ++cycle) {
        for (int attempt = 0; attempt < params.retries; ++attempt) {
            if ((cycle > 0 || attempt > 0) && StopCutsAttempts(state, host)) return false;
            if (WriteAttempt(state, params, WriteBlock4, host)) return true;
        }
    }
    return false;
}

bool WriteImageCycle4(MouseSession& state, const WriteParams& params, OperationHost& host) {
    return WriteCycle(state, params, WriteBlock4, host);
}

bool WriteImageCycle40(MouseSession& state, const WriteParams& params, OperationHost& host) {
    return WriteCycle(state, params, WriteBlock40, host);
}

bool ReadBackCheck(MouseSession& state, const WriteParams& params, OperationHost& host) {
    host.showLoading();
    host.processEvents();

    // A check of no blocks would compare nothing.
    bool result = params.blocks >= 1 && params.blocks <= kBlockCount;
    if (!result) state.LastReason = MakeReason(ReasonCode::BadParameters, "no block to read back");
    result = result && CheckDeviceMatch(state, host) == MatchOutcome::MatchReady;
    if (result) {
        if (params.writeId) {
            std::uint8_t* area = state.ImageBuffer.data() + FactoryRecordOffset;
            if (!state.ImageRecordArea) {
                state.ImageRecordArea.emplace();
                std::copy(area, area + kFactoryRecordSize, state.ImageRecordArea->begin());
            }
            std::copy(state.FactoryRecord.begin(), state.FactoryRecord.end(), area);
        }
        state.BlockBuffer = state.ImageBuffer;
        for (int k = 0; k < BlockCount(params) && result; ++k) {
            host.relabelPhase("Reading back block " + std::to_string(k + 1) + "/" +
                              std::to_string(BlockCount(params)));
            std::uint8_t* readBlock = state.ReadBackBuffer.data() + k * kBlockSize;
            const std::uint8_t* expected = state.BlockBuffer.data() + k * kBlockSize;
            result =
                ReadBlock4(state.link, host, k * kBlockSize, kBlockSize, readBlock, kBlockSize);
            if (!result) {
                NoteLinkFault(state, false);
            } else if (std::memcmp(readBlock, expected, kBlockSize) != 0) {
                state.LastReason =
                    MismatchReason(state.BlockBuffer.data(), state.ReadBackBuffer.data(),
                                   k * kBlockSize, (k + 1) * kBlockSize, false, "wrote");
                result = false;
            }
        }
    }

    CloseExchange4(state, host);
    host.hideLoading();
    host.processEvents();
    return result;
}

std::string WriteParamsProblem(int icIndex, const WriteParams& params,
                               const FactoryFields& factory) {
    if (params.blocks < 1 || params.blocks > kBlockCount)
        return "block count " + std::to_string(params.blocks) + " is outside 1..8";
    // An attempt of no retries never starts: the mouse would fail as if it had not answered.
    if (params.retries < 1)
        return "Retry Times " + std::to_string(params.retries) + " makes no write attempt";
    return ProductNumberProblem(icIndex, params, factory);
}

bool WriteParamsUsable(int icIndex, const WriteParams& params, const FactoryFields& factory) {
    return WriteParamsProblem(icIndex, params, factory).empty();
}

Outcome WriteImage(MouseSession& state, int icIndex, const WriteParams& params,
                   const FactoryFields& factory, OperationHost& host) {
    state.FactoryRecordSent = false;
    BeginReasons(state);
    if (IcTypeAt(icIndex) == nullptr) {
        FinishReason(state, Outcome::Skipped);
        return Outcome::Skipped;
    }
    // Refused before the mouse is touched: an attempt of no blocks would pass unchecked, no
    // retry would make no attempt, and a product number past 24 bits would be stored cut short.
    if (const std::string problem = WriteParamsProblem(icIndex, params, factory);
        !problem.empty()) {
        state.LastReason = MakeReason(ReasonCode::BadParameters, problem);
        return Outcome::Fail;
    }

    OperationScope scope(state.link);
    Outcome outcome = Outcome::Skipped;
    if (icIndex == 0) {
        outcome = WriteReport4(state, params, factory, host);
    } else if (icIndex == 1 || icIndex == 2) {
        outcome = WriteReport40(state, params, host);
    }
    FinishReason(state, outcome);

    host.hideLoading();
    host.processEvents();
    return outcome;
}

}  // namespace bw
