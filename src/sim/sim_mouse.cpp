#include "sim/sim_mouse.h"

#include <algorithm>

namespace bw {
namespace {

constexpr std::uint8_t kReport4 = 0x04;
constexpr std::uint8_t kReport40 = 0x40;
constexpr std::uint8_t kReport41 = 0x41;
constexpr std::uint8_t kAck = 0xCC;

int Wrap(int address) {
    return address & (kImageSize - 1);
}

}  // namespace

SimulatedMouse::SimulatedMouse(int icType, SimStatusBytes status, const Image& initial)
    : icType_(icType),
      protocol_(IcTypeAt(icType) ? IcTypeAt(icType)->protocol : Protocol::Report4),
      status_(status),
      memory_(initial) {}

bool SimulatedMouse::carriesReport(std::uint8_t reportId) const {
    if (protocol_ == Protocol::Report4) return reportId == kReport4;
    return reportId == kReport40 || reportId == kReport41;
}

bool SimulatedMouse::setFeature(const SimFrame& frame, const Faults& faults) {
    switch (frame[0]) {
        case kReport4:
            setReport4(frame, faults);
            return true;
        case kReport40: {
            const int command = frame[1];
            const int address = (frame[2] << 8) | frame[3];
            const int length = (frame[4] << 8) | frame[5];
            if (command == 0x07) {
                write_ = Block{true, address, length, 0};
                written_ = true;
            } else if (command == 0x09) {
                read_ = Block{true, address, length, 0};
                readPieceIndex_ = 0;
            }
            // 0x0D (probe) and unknown commands are accepted and change nothing.
            return true;
        }
        case kReport41:
            storePiece(write_, &frame[1], 7, faults);
            return true;
        default:
            return false;
    }
}

bool SimulatedMouse::getFeature(SimFrame& frame, const Faults& faults) {
    switch (frame[0]) {
        case kReport4:
            getReport4(frame, faults);
            return true;
        case kReport41: {
            frame.fill(0);
            frame[0] = kReport41;
            // Without an active block read the device answers with zeros.
            if (!read_.active) return true;
            ++readPieceIndex_;
            if (faults.losePiece > 0 && readPieceIndex_ == faults.losePiece) {
                // The piece is gone: the transfer fails and the read moves past it.
                std::uint8_t lost[7];
                loadPiece(read_, lost, 7);
                return false;
            }
            loadPiece(read_, &frame[1], 7);
            return true;
        }
        default:
            return false;
    }
}

void SimulatedMouse::setReport4(const SimFrame& frame, const Faults& faults) {
    const int command = frame[1];
    pollsSinceSet_ = 0;
    answerPending_ = false;
    pieceAnswer_ = false;
    reply_.fill(0);
    reply_[0] = kReport4;
    if (command == 0x06) written_ = true;  // the line counts a started write
    if (command == faults.nack) return;
    // Any other command ends a chain of piece retries.
    if (command != 0x05 && command != 0x07) lastPieceCommand_ = 0;

    switch (command) {
        case 0x01:
        case 0x02:
        case 0x08:
            answerPending_ = true;
            break;
        case 0x03:
            reply_[1] = status_.status1;
            reply_[2] = status_.status2;
            reply_[3] = status_.chip;
            answerPending_ = true;
            break;
        case 0x04:
            read_ = Block{true, frame[2] | (frame[3] << 8), frame[4] | (frame[5] << 8), 0};
            readPieceIndex_ = 0;
            answerPending_ = true;
            break;
        case 0x06:
            write_ = Block{true, frame[2] | (frame[3] << 8), frame[4] | (frame[5] << 8), 0};
            answerPending_ = true;
            break;
        case 0x05:
        case 0x07: {
            // A piece command resent before its answer was read repeats the same
            // piece; after kSendsPerPiece sends the host has moved on.
            const bool retry =
                lastPieceCommand_ == command && !pieceDelivered_ && sendsOfPiece_ < kSendsPerPiece;
            if (!retry) {
                sendsOfPiece_ = 0;
                pieceDelivered_ = false;
                if (command == 0x05) {
                    ++readPieceIndex_;
                    pendingPiece_.fill(0);
                    loadPiece(read_, &pendingPiece_[1], 6);
                }
            }
            lastPieceCommand_ = command;
            ++sendsOfPiece_;
            if (command == 0x05) {
                // A lost piece is never acknowledged.
                if (faults.losePiece > 0 && readPieceIndex_ == faults.losePiece) return;
                std::copy(pendingPiece_.begin() + 1, pendingPiece_.begin() + 7, reply_.begin() + 1);
            } else {
                if (!retry) {
                    pendingCount_ = write_.done;
                } else {
                    write_.done = pendingCount_;  // store the resent piece in the same place
                }
                storePiece(write_, &frame[2], 6, faults);
            }
            answerPending_ = true;
            pieceAnswer_ = true;
            break;
        }
        default:
            break;  // unknown commands are not acknowledged
    }
}

void SimulatedMouse::getReport4(SimFrame& frame, const Faults& faults) {
    ++pollsSinceSet_;
    if (answerPending_ && pollsSinceSet_ >= std::max(1, faults.ackAfter)) {
        frame = reply_;
        frame[7] = kAck;
        if (pieceAnswer_) pieceDelivered_ = true;
        return;
    }
    frame.fill(0);
    frame[0] = kReport4;
}

void SimulatedMouse::storePiece(Block& block, const std::uint8_t* data, int count,
                                const Faults& faults) {
    if (!block.active) return;
    const int n = std::min(count, block.length - block.done);
    for (int i = 0; i < n; ++i) {
        const int address = Wrap(block.address + block.done + i);
        // A stuck cell keeps its byte, though the piece is acknowledged as usual.
        if (address != faults.stuckByte) memory_[static_cast<std::size_t>(address)] = data[i];
    }
    if (n > 0) {
        block.done += n;
        written_ = true;
    }
}

void SimulatedMouse::loadPiece(Block& block, std::uint8_t* out, int count) {
    std::fill(out, out + count, std::uint8_t{0});
    if (!block.active) return;
    const int n = std::min(count, block.length - block.done);
    for (int i = 0; i < n; ++i) {
        out[i] = memory_[static_cast<std::size_t>(Wrap(block.address + block.done + i))];
    }
    if (n > 0) block.done += n;
}

}  // namespace bw
