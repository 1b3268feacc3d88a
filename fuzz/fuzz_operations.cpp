// The image operations against a device whose every transfer result and every reply
// byte come from the fuzzer's input. Nothing is known of its memory, so the checks are
// on what the device delivered: a pass may rest only on data that really arrived.
//   - every operation ends (bounded transfers) and hides the loading window;
//   - a block read command (report 4: 0x04, report 0x40: 0x09) that got through opens a
//     stream; each acknowledged answer to a set piece command 0x05 that got through, or
//     each report-0x41 get that got through, adds its data bytes to it. An answer counts
//     once: a second poll without a new command adds nothing.
//   - Save Pass: DeviceImageBuffer is the last stream, whole (342 or 293 pieces);
//   - Read Ok: FactoryRecord is the last stream of 2 pieces;
//   - Verify Pass: the streams equal the image (first IC type: eight 256-byte streams,
//     the factory record left out);
//   - Write Pass, first IC type: the last N streams are whole and equal the image blocks.
// Input: byte 0 picks IC type and operation, byte 1 the write parameters; then each
// transfer takes one byte (bit 0: the transfer succeeds; bit 1: only (bits 2..4) bytes
// move, a short transfer) and a get its reply's 7 bytes. A short transfer delivers nothing.
// Once the input is used up every transfer fails.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "image/factory_record.h"
#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "image/operations.h"
#include "support/recording_host.h"

namespace {

using bw::Image;

constexpr long kTransferBudget = 100000;

struct Stream {
    int address = 0;
    int length = 0;
    int pieceSize = 0;
    std::vector<std::uint8_t> bytes;
    int pieces = 0;
};

class FuzzPlatform : public bw::HidPlatform {
  public:
    FuzzPlatform(const std::uint8_t* data, std::size_t size, std::uint16_t vid, std::uint16_t pid)
        : data_(data), size_(size), vid_(vid), pid_(pid) {}

    std::vector<bw::HidInterfaceInfo> enumerate() override {
        bw::HidInterfaceInfo info;
        info.path = "fuzz:0";
        info.vendorId = vid_;
        info.productId = pid_;
        info.release = 0x0104;
        info.featureLength = 8;
        return {info};
    }
    bw::HidHandle open(const std::string&, std::string*) override { return 7; }
    void close(bw::HidHandle) override {}

    int setFeature(bw::HidHandle, const std::uint8_t* d, std::size_t length) override {
        const int moved = transfer(length);
        if (moved < 8) return moved;  // a short or failed set reaches nothing
        if (d[0] == 0x04) {
            command4_ = d[1];
            if (d[1] == 0x04) startStream(d[2] | d[3] << 8, d[4] | d[5] << 8, 6);
        } else if (d[0] == 0x40 && d[1] == 0x09) {
            startStream(d[2] << 8 | d[3], d[4] << 8 | d[5], 7);
        }
        return moved;
    }
    int getFeature(bw::HidHandle, std::uint8_t* d, std::size_t length) override {
        const int moved = transfer(length);
        if (moved < 0) return moved;
        std::uint8_t reply[8] = {d[0]};
        for (std::size_t i = 1; i < 8; ++i) reply[i] = next();
        // A short reply fills only its own bytes; the rest of the buffer stays stale and
        // must not count as delivered.
        std::copy(reply + 1, reply + std::max(moved, 1), d + 1);
        if (moved < 8) return moved;
        if (d[0] == 0x04 && d[7] == 0xCC && command4_ == 0x05) {
            add(d + 1, 6);
            command4_ = -1;  // one answer per command
        } else if (d[0] == 0x04 && d[7] != 0x00) {
            command4_ = -1;
        } else if (d[0] == 0x41) {
            add(d + 1, 7);
        }
        return moved;
    }

    long transfers() const { return transfers_; }
    const std::vector<Stream>& streams() const { return streams_; }

  private:
    // Bytes the transfer moves: -1 when bit 0 is clear; with bit 1 set a short transfer of
    // (bits 2..4) bytes, else the whole report.
    int transfer(std::size_t length) {
        ++transfers_;
        if (pos_ >= size_ || transfers_ > kTransferBudget || length < 8) return -1;
        const std::uint8_t control = data_[pos_++];
        if ((control & 1) == 0) return -1;
        if ((control & 2) != 0) return (control >> 2) % 8;
        return static_cast<int>(length);
    }
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    void startStream(int address, int length, int pieceSize) {
        streams_.push_back(Stream{address, length, pieceSize, {}, 0});
    }
    void add(const std::uint8_t* bytes, int n) {
        if (streams_.empty()) return;
        streams_.back().bytes.insert(streams_.back().bytes.end(), bytes, bytes + n);
        ++streams_.back().pieces;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint16_t vid_;
    std::uint16_t pid_;
    long transfers_ = 0;
    int command4_ = -1;
    std::vector<Stream> streams_;
};

void Require(bool condition) {
    if (!condition) std::abort();
}

// The stream holds exactly the pieces of a whole block of this length.
bool Whole(const Stream& s, int length) {
    const int pieces = (length + s.pieceSize - 1) / s.pieceSize;
    return s.length == length && s.pieces == pieces;
}

// The stream's bytes equal `expected`, offsets [skipFrom, skipTo) left out.
bool Same(const Stream& s, const std::uint8_t* expected, int length, int skipFrom = -1,
          int skipTo = -1) {
    for (int i = 0; i < length; ++i) {
        if (i >= skipFrom && i < skipTo) continue;
        if (s.bytes[static_cast<std::size_t>(i)] != expected[i]) return false;
    }
    return true;
}

void CheckPass(bw::Operation op, int ic, const bw::WriteParams& params,
               const bw::MouseSession& state, const FuzzPlatform& device) {
    const auto& streams = device.streams();
    switch (op) {
        case bw::Operation::Save:
            Require(!streams.empty() && Whole(streams.back(), bw::kImageSize) &&
                    streams.back().address == 0);
            Require(Same(streams.back(), state.DeviceImageBuffer.data(), bw::kImageSize));
            break;
        case bw::Operation::ReadFactory:
            Require(ic == 0 && !streams.empty() && Whole(streams.back(), bw::kFactoryRecordSize) &&
                    streams.back().address == bw::FactoryRecordOffset);
            Require(Same(streams.back(), state.FactoryRecord.data(), bw::kFactoryRecordSize));
            break;
        case bw::Operation::Verify:
            if (ic == 0) {
                Require(streams.size() >= bw::kBlockCount);
                for (int k = 0; k < bw::kBlockCount; ++k) {
                    const Stream& s = streams[streams.size() - bw::kBlockCount + k];
                    const int base = k * bw::kBlockSize;
                    Require(Whole(s, bw::kBlockSize) && s.address == base);
                    Require(Same(s, state.ImageBuffer.data() + base, bw::kBlockSize,
                                 bw::FactoryRecordOffset - base,
                                 bw::FactoryRecordOffset + bw::kFactoryRecordSize - base));
                }
            } else {
                Require(!streams.empty() && Whole(streams.back(), bw::kImageSize));
                Require(Same(streams.back(), state.ImageBuffer.data(), bw::kImageSize));
            }
            break;
        case bw::Operation::Write:
            if (ic == 0) {
                const int n = std::clamp(params.blocks, 0, bw::kBlockCount);
                Require(static_cast<int>(streams.size()) >= n);
                for (int k = 0; k < n; ++k) {
                    const Stream& s = streams[streams.size() - static_cast<std::size_t>(n) +
                                              static_cast<std::size_t>(k)];
                    const int base = k * bw::kBlockSize;
                    Require(Whole(s, bw::kBlockSize) && s.address == base);
                    Require(Same(s, state.ImageBuffer.data() + base, bw::kBlockSize));
                }
            }
            // Other IC types have no read-back: a pass means every write transfer went
            // through, which the platform cannot check further.
            break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const int ic = data[0] % 3;
    const auto op = static_cast<bw::Operation>((data[0] >> 2) % 4);
    bw::WriteParams params;
    params.total = 1 + (data[1] & 1);
    params.retries = 1 + ((data[1] >> 1) & 1);
    params.format = (data[1] & 4) ? bw::DataFormat::Block256 : bw::DataFormat::TwoK;
    params.blocks = 1 + ((data[1] >> 3) & 7);
    params.writeId = (data[1] & 0x40) != 0;
    params.sleep = 0;

    const bw::IcType& type = *bw::IcTypeAt(ic);
    const std::uint16_t vid = 0x3A5C;
    const std::uint16_t pid = type.defaultPid == "0C21" ? 0x0C21 : 0x0C37;
    FuzzPlatform device(data + 2, size - 2, vid, pid);
    bw::MouseSession state(device);
    state.ExpectedVersion = type.release;
    const bool opened = type.protocol == bw::Protocol::Report4
                            ? state.link.OpenDeviceReport4(vid, pid, state.ExpectedVersion)
                            : state.link.OpenDeviceReport40(vid, pid, state.ExpectedVersion);
    if (!opened) return 0;
    for (std::size_t i = 0; i < state.ImageBuffer.size(); ++i) {
        state.ImageBuffer[i] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    state.HasImage = true;
    state.ImageType = std::string(type.rowText);

    bw::test::RecordingHost host;
    bw::Outcome outcome = bw::Outcome::Skipped;
    const bw::FactoryFields factory;
    switch (op) {
        case bw::Operation::Write:
            outcome = bw::WriteImage(state, ic, params, factory, host);
            break;
        case bw::Operation::Verify:
            outcome = bw::VerifyImage(state, ic, host);
            break;
        case bw::Operation::Save:
            outcome = bw::ReadDeviceImage(state, ic, host);
            break;
        case bw::Operation::ReadFactory:
            outcome = bw::ReadFactoryRecord(state, ic, host);
            break;
    }
    Require(device.transfers() <= kTransferBudget);
    Require(!host.loadingVisible);
    if (outcome == bw::Outcome::Pass) CheckPass(op, ic, params, state, device);
    return 0;
}
