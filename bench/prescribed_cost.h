#pragma once
// What the report protocols prescribe for an operation on a simulated mouse that answers
// every report-4 handshake on its first poll: the sum of the mandated pauses and the number
// of feature transfers. Built from the protocols' own figures, apart from the code that
// runs them, so that a benchmark can check the pauses a run asked for instead of taking
// them as its floor: a missing or extra pause would otherwise move floor and measurement
// together.

#include <cstdint>
#include <cstdio>

#include "image/write_params.h"

namespace bw::bench {

struct Prescribed {
    std::int64_t pauseUs = 0;
    long transfers = 0;

    Prescribed& operator+=(const Prescribed& other) {
        pauseUs += other.pauseUs;
        transfers += other.transfers;
        return *this;
    }
    friend Prescribed operator+(Prescribed a, const Prescribed& b) { return a += b; }
    friend Prescribed operator*(long times, const Prescribed& p) {
        return {times * p.pauseUs, times * p.transfers};
    }
};

namespace prescribed {

// Report 4, in ms: the pause after the set-feature and after each poll without an answer.
inline constexpr int kCommandAfterSetMs = 10;
inline constexpr int kCommandEmptyPollMs = 10;
inline constexpr int kFetchAfterSetMs = 5;
inline constexpr int kFetchEmptyPollMs = 5;
inline constexpr int kSendAfterSetMs = 10;
inline constexpr int kSendEmptyPollMs = 5;
inline constexpr int kPiece4Bytes = 6;
// Report 0x41: the wait after each piece read, and the piece size.
inline constexpr int kPieceWait41Us = 500;
inline constexpr int kPiece41Bytes = 7;

inline constexpr int kImageBytes = 2048;
inline constexpr int kBlockBytes = 256;
inline constexpr int kBlocks = 8;
inline constexpr int kFactoryRecordBytes = 12;

}  // namespace prescribed

// length div size pieces, and one more for a remainder.
inline long Pieces(int length, int size) {
    return length / size + (length % size != 0 ? 1 : 0);
}

// One report-4 handshake answered on poll `answerPoll` (1: the first): the set, the polls.
inline Prescribed Handshake4(int afterSetMs, int emptyPollMs, int answerPoll = 1) {
    return {1000LL * (afterSetMs + (answerPoll - 1) * emptyPollMs), 1L + answerPoll};
}

inline Prescribed Command4() {
    return Handshake4(prescribed::kCommandAfterSetMs, prescribed::kCommandEmptyPollMs);
}

inline Prescribed WriteBlock4(int length) {
    return Command4() + Pieces(length, prescribed::kPiece4Bytes) *
                            Handshake4(prescribed::kSendAfterSetMs, prescribed::kSendEmptyPollMs);
}

inline Prescribed ReadBlock4(int length) {
    return Command4() + Pieces(length, prescribed::kPiece4Bytes) *
                            Handshake4(prescribed::kFetchAfterSetMs, prescribed::kFetchEmptyPollMs);
}

// Report 0x40/0x41: the command, then one transfer per piece; reads wait after each piece.
inline Prescribed WriteBlock40(int length) {
    return {0, 1 + Pieces(length, prescribed::kPiece41Bytes)};
}

inline Prescribed ReadBlock40(int length) {
    const long pieces = Pieces(length, prescribed::kPiece41Bytes);
    return {pieces * prescribed::kPieceWait41Us, 1 + pieces};
}

// S + 1 steps of 1 ms: the pause after a report-4 write, and the settle wait of a poll tick.
inline Prescribed MillisecondSteps(int sleepMs) {
    return {sleepMs >= 0 ? 1000LL * (sleepMs + 1) : 0, 0};
}

// Opening a mouse by IC type: report 4 opens without a transfer; the 0x40 protocol probes
// each matching interface with a command set and a data get.
inline Prescribed OpenMouse(int ic, int matchingInterfaces = 1) {
    return {0, ic == 0 ? 0L : 2L * matchingInterfaces};
}

// A write whose every attempt and read-back passes the first time.
inline Prescribed PassingWrite(int ic, const WriteParams& params) {
    const bool whole = params.format == DataFormat::TwoK;
    if (ic != 0) {
        Prescribed cost = whole ? WriteBlock40(prescribed::kImageBytes)
                                : params.blocks * WriteBlock40(prescribed::kBlockBytes);
        if (params.verifyAfterWrite) cost += ReadBlock40(prescribed::kImageBytes);
        return cost;
    }
    Prescribed cost = 2 * Command4();  // commands 1 and 3: the mouse check
    cost += whole ? WriteBlock4(prescribed::kImageBytes)
                  : params.blocks * WriteBlock4(prescribed::kBlockBytes);
    if (params.writeId) cost += WriteBlock4(prescribed::kFactoryRecordBytes);
    // One read-back run: check, the blocks, commands 8 and 2. Verifying every written
    // byte of a 2K write reads all eight blocks.
    const int readBlocks = params.verifyAfterWrite && whole ? prescribed::kBlocks : params.blocks;
    cost += 2 * Command4() + readBlocks * ReadBlock4(prescribed::kBlockBytes) + 2 * Command4();
    cost += 2 * Command4();  // commands 8 and 2 closing the write
    cost += MillisecondSteps(params.sleep);
    return cost;
}

// Reading the factory record (report 4): the mouse check (commands 1 and 3), the 12 bytes,
// commands 8 and 2.
inline Prescribed FactoryRecordRead() {
    return 2 * Command4() + ReadBlock4(prescribed::kFactoryRecordBytes) + 2 * Command4();
}

// Floor of a run: the prescribed pauses plus the transfers it made at the scenario's latency.
inline double FloorMs(const Prescribed& cost, long transfersMade, int latencyUs) {
    return (static_cast<double>(cost.pauseUs) +
            static_cast<double>(transfersMade) * static_cast<double>(latencyUs)) /
           1000.0;
}

// Whether a run asked for exactly the prescribed pauses and made the prescribed transfers;
// prints what differs.
inline bool AsPrescribed(const char* label, double askedUs, long transfersMade,
                         const Prescribed& cost) {
    const bool pauses = static_cast<std::int64_t>(askedUs + 0.5) == cost.pauseUs;
    const bool transfers = transfersMade == cost.transfers;
    if (!pauses)
        std::printf("# MISMATCH %s: pauses asked for %.3f ms, prescribed %.3f ms\n", label,
                    askedUs / 1000.0, static_cast<double>(cost.pauseUs) / 1000.0);
    if (!transfers)
        std::printf("# MISMATCH %s: %ld feature transfers made, prescribed %ld\n", label,
                    transfersMade, cost.transfers);
    return pauses && transfers;
}

}  // namespace bw::bench
