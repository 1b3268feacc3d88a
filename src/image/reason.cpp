#include "image/reason.h"

#include <cstdio>

#include "device/hex_text.h"
#include "device/report4.h"
#include "device/report40.h"
#include "image/image_buffers.h"

namespace bw {

namespace {

// Failed transfers in a row that mean the mouse is gone, not one transfer lost.
constexpr long kRemovedRun = 2;

int BlockOf(int address) {
    return address / kBlockSize + 1;
}

std::string Plural(std::int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// "piece 17 at 0x060 (block 1)" or "the command of block 1 (0x000)".
std::string Where(const LinkFault& f, const char* command) {
    if (f.address < 0) return std::string(command);
    if (f.piece > 0) {
        return "piece " + std::to_string(f.piece) + " at 0x" + HexText(f.address, 3) + " (block " +
               std::to_string(BlockOf(f.address)) + ")";
    }
    return std::string(command) + " for block " + std::to_string(BlockOf(f.address)) + " (0x" +
           HexText(f.address, 3) + ")";
}

std::vector<ReasonDetail> Place(const LinkFault& f) {
    std::vector<ReasonDetail> details;
    if (f.command >= 0) details.push_back({"command", f.command});
    if (f.sends > 0) details.push_back({"sends", f.sends});
    if (f.address >= 0) {
        details.push_back({"block", BlockOf(f.address)});
        details.push_back({"piece", f.piece});
        details.push_back({"address", f.address});
    }
    details.push_back({"transfer", static_cast<std::int64_t>(f.transfer)});
    return details;
}

std::string CommandText(const LinkFault& f) {
    if (f.command < 0) return "a data piece";
    return "command " + HexText(f.command, 1);
}

// How the frame failed: "not acknowledged in 5 sends", "could not be sent".
std::string HowRefused(const LinkFault& f) {
    if (f.kind == LinkFaultKind::NotAcknowledged) {
        return "not acknowledged in " + Plural(f.sends, "send", "sends");
    }
    return "could not be sent";
}

Reason Refused(const LinkFault& f, int attempts) {
    const bool command = f.piece == 0;
    std::string text = Where(f, command ? "the write command" : "a piece") + " " + HowRefused(f);
    if (attempts > 0) text += ", after " + Plural(attempts, "attempt", "attempts");
    auto details = Place(f);
    details.push_back({"attempts", attempts});
    return MakeReason(ReasonCode::WriteRefused, text, std::move(details));
}

Reason Lost(const LinkFault& f, int lostPieces) {
    std::string text = Where(f, "a piece") + " never arrived";
    if (f.sends > 1) text += " (" + Plural(f.sends, "send", "sends") + ")";
    if (lostPieces > 1) text += ", " + std::to_string(lostPieces) + " pieces lost in all";
    auto details = Place(f);
    details.push_back({"lost", lostPieces});
    return MakeReason(ReasonCode::PieceLost, text, std::move(details));
}

}  // namespace

const char* ReasonCodeName(ReasonCode code) {
    switch (code) {
        case ReasonCode::None:
            return "";
        case ReasonCode::NoAnswer:
            return "no-answer";
        case ReasonCode::BadStatus:
            return "bad-status";
        case ReasonCode::WrongChip:
            return "wrong-chip";
        case ReasonCode::ImageType:
            return "image-type";
        case ReasonCode::StatusBit2Clear:
            return "status-bit2-clear";
        case ReasonCode::WriteRefused:
            return "write-refused";
        case ReasonCode::PieceLost:
            return "piece-lost";
        case ReasonCode::Mismatch:
            return "mismatch";
        case ReasonCode::ShortReply:
            return "short-reply";
        case ReasonCode::Removed:
            return "removed";
        case ReasonCode::NoTarget:
            return "no-target";
        case ReasonCode::Interrupted:
            return "interrupted";
        case ReasonCode::BadParameters:
            return "bad-parameters";
        case ReasonCode::NotSupported:
            return "not-supported";
        case ReasonCode::NoIcType:
            return "no-ic-type";
        case ReasonCode::SaveFailed:
            return "save-failed";
        case ReasonCode::BadImage:
            return "bad-image";
        case ReasonCode::NotApproved:
            return "not-approved";
        case ReasonCode::RecordHeld:
            return "record-held";
        case ReasonCode::NoNumber:
            return "no-number";
        case ReasonCode::AlreadyWritten:
            return "already-written";
    }
    return "";
}

std::int64_t Reason::number(const std::string& key) const {
    for (const ReasonDetail& d : details) {
        if (d.key != key) continue;
        if (const auto* n = std::get_if<std::int64_t>(&d.value)) return *n;
    }
    return 0;
}

Reason MakeReason(ReasonCode code, std::string text, std::vector<ReasonDetail> details) {
    return Reason{code, std::move(text), std::move(details)};
}

Reason ReasonOfLinkFault(const LinkRecord& record, bool write, int attempts) {
    const LinkFault& f = record.lastFault;
    // Transfers that fail in a row up to the end: the mouse is gone, whatever frame it was.
    const bool gone = f.kind == LinkFaultKind::Unreachable ||
                      (f.kind != LinkFaultKind::NoHandle && f.kind != LinkFaultKind::ShortReply &&
                       record.failedRun >= kRemovedRun);
    if (gone) {
        const long from = record.failedRunStart > 0 ? record.failedRunStart : f.transfer;
        return MakeReason(ReasonCode::Removed,
                          "the mouse was removed: no transfer went through from transfer " +
                              std::to_string(from) + " on",
                          {{"transfer", static_cast<std::int64_t>(from)}, {"command", f.command}});
    }
    switch (f.kind) {
        case LinkFaultKind::None:
            break;
        case LinkFaultKind::NoHandle:
            return MakeReason(ReasonCode::NoTarget, "no mouse is open");
        case LinkFaultKind::ShortReply: {
            auto details = Place(f);
            std::string text =
                "the reply to " + (f.address >= 0 ? Where(f, "the command") : CommandText(f));
            text += " came back short at transfer " + std::to_string(f.transfer);
            if (write && attempts > 0) {
                text += ", after " + Plural(attempts, "attempt", "attempts");
                details.push_back({"attempts", attempts});
            }
            return MakeReason(ReasonCode::ShortReply, text, std::move(details));
        }
        case LinkFaultKind::Unreachable:
        case LinkFaultKind::FailedTransfer:
        case LinkFaultKind::NotAcknowledged: {
            const bool piece = f.piece > 0;
            if (f.report == kReport4Id) {
                if (f.command == kWritePiece4 || f.command == kWriteBlock4) {
                    return Refused(f, attempts);
                }
                if (f.command == kReadPiece4) return Lost(f, record.lostPieces);
            } else if (write &&
                       (piece || (f.report == kReport40Id && f.command == kWriteBlock40))) {
                return Refused(f, attempts);
            } else if (piece) {
                return Lost(f, record.lostPieces);
            }
            auto details = Place(f);
            return MakeReason(ReasonCode::NoAnswer,
                              CommandText(f) + " " + HowRefused(f) +
                                  (f.address >= 0 ? " (" + Where(f, "read") + ")" : ""),
                              std::move(details));
        }
    }
    return MakeReason(ReasonCode::NoAnswer, "the mouse did not answer");
}

Reason MismatchReason(const std::uint8_t* expected, const std::uint8_t* read, int from, int to,
                      bool skipRecord, const char* expectedWord) {
    int first = -1;
    int count = 0;
    for (int i = from; i < to; ++i) {
        if (skipRecord && i >= FactoryRecordOffset && i < FactoryRecordOffset + kFactoryRecordSize)
            continue;
        if (expected[i] == read[i]) continue;
        if (first < 0) first = i;
        ++count;
    }
    if (first < 0) return {};
    const auto index = static_cast<std::size_t>(first);
    const std::string text = "block " + std::to_string(BlockOf(first)) + " differs at 0x" +
                             HexText(first, 3) + " (" + expectedWord + " " +
                             HexText(expected[index], 2) + ", read " + HexText(read[index], 2) +
                             "), " + Plural(count, "byte differs", "bytes differ");
    return MakeReason(ReasonCode::Mismatch, text,
                      {{"block", BlockOf(first)},
                       {"offset", first},
                       {"expected", expected[index]},
                       {"read", read[index]},
                       {"differing", count}});
}

Reason RecordHeldReason(const std::string& why) {
    std::string text = "the factory record was held back, nothing of it was sent";
    if (!why.empty()) text += ": " + why;
    return MakeReason(ReasonCode::RecordHeld, text);
}

Reason NoNumberReason(const std::string& why) {
    std::string text = "no product number from the ledger, nothing was written";
    if (!why.empty()) text += ": " + why;
    return MakeReason(ReasonCode::NoNumber, text);
}

Reason InterruptedReason(bool aborted, int attempts, const Reason& cause) {
    std::string text = aborted
                           ? "aborted at a piece by a second Ctrl-C; the exchange was closed"
                           : "stopped by a signal after " + Plural(attempts, "attempt", "attempts");
    std::vector<ReasonDetail> details = {{"aborted", aborted ? 1 : 0}, {"attempts", attempts}};
    if (!cause.empty()) {
        // The attempts are said once, in front.
        std::string causeText = cause.text;
        const std::string tail = ", after " + Plural(attempts, "attempt", "attempts");
        if (causeText.ends_with(tail)) causeText.resize(causeText.size() - tail.size());
        if (!aborted) text += ": " + causeText;
        details.push_back({"cause", cause.codeName()});
    }
    return MakeReason(ReasonCode::Interrupted, text, std::move(details));
}

}  // namespace bw
