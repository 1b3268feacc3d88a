#pragma once
// A scripted HID platform for the link and protocol tests: interfaces with
// fixed attributes, a responder that decides each transfer, and a log of every
// call, open and close.

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace bw::test {

struct FakeTransfer {
    bool isSet = false;
    HidHandle handle = kInvalidHandle;
    std::string path;
    std::vector<std::uint8_t> data;  // for a get: the buffer after the call
    bool ok = false;
};

struct FakeInterface {
    HidInterfaceInfo info;
    bool openable = true;
};

class FakeHidPlatform : public HidPlatform {
  public:
    // Decides one transfer: may change data (a get's reply); returns the result.
    using Responder = std::function<bool(const std::string& path, bool isSet, std::uint8_t* data,
                                         std::size_t length)>;

    void add(const std::string& path, std::uint16_t vid, std::uint16_t pid, std::uint16_t release,
             std::uint16_t featureLength = 8, bool openable = true) {
        FakeInterface iface;
        iface.info.path = path;
        iface.info.vendorId = vid;
        iface.info.productId = pid;
        iface.info.release = release;
        iface.info.featureLength = featureLength;
        iface.openable = openable;
        interfaces.push_back(iface);
    }

    std::vector<HidInterfaceInfo> enumerate() override {
        ++enumerations;
        std::vector<HidInterfaceInfo> out;
        for (const auto& i : interfaces) out.push_back(i.info);
        return out;
    }

    HidHandle open(const std::string& path, std::string* error) override {
        for (const auto& i : interfaces) {
            if (i.info.path != path) continue;
            if (!i.openable) {
                if (error) *error = "permission denied";
                return kInvalidHandle;
            }
            const HidHandle h = nextHandle++;
            openHandles[h] = path;
            ++opens;
            return h;
        }
        return kInvalidHandle;
    }

    int setFeature(HidHandle h, const std::uint8_t* data, std::size_t length) override {
        std::vector<std::uint8_t> copy(data, data + length);
        return transfer(true, h, copy.data(), length);
    }
    int getFeature(HidHandle h, std::uint8_t* data, std::size_t length) override {
        return transfer(false, h, data, length);
    }

    void close(HidHandle h) override {
        if (openHandles.erase(h) == 0) badCloses.push_back(h);
        ++closes;
    }

    int transferCount(bool isSet) const {
        int n = 0;
        for (const auto& t : transfers) n += t.isSet == isSet ? 1 : 0;
        return n;
    }
    std::string pathOf(HidHandle h) const {
        const auto it = openHandles.find(h);
        return it == openHandles.end() ? std::string() : it->second;
    }

    std::vector<FakeInterface> interfaces;
    Responder responder;  // unset: every transfer succeeds, a get leaves the buffer as given
    int movedBytes = -1;  // bytes a successful transfer reports moved; -1: the whole report
    std::vector<FakeTransfer> transfers;
    std::map<HidHandle, std::string> openHandles;
    std::vector<HidHandle> badCloses;  // closes of handles that were not open
    HidHandle nextHandle = 100;
    int enumerations = 0;
    int opens = 0;
    int closes = 0;

  private:
    int transfer(bool isSet, HidHandle h, std::uint8_t* data, std::size_t length) {
        const auto it = openHandles.find(h);
        const std::string path = it == openHandles.end() ? std::string() : it->second;
        bool ok = it != openHandles.end();
        if (ok && responder) ok = responder(path, isSet, data, length);
        transfers.push_back({isSet, h, path, std::vector<std::uint8_t>(data, data + length), ok});
        if (!ok) return -1;
        return movedBytes >= 0 ? movedBytes : static_cast<int>(length);
    }
};

// A report-4 controller for the responder: acknowledges on a chosen poll after
// each set, answers fetches from a memory, and can refuse chosen frames.
struct FakeReport4Device {
    std::array<std::uint8_t, 2048> memory{};
    int ackOnPoll = 1;           // the K-th get after a set carries the status
    std::uint8_t status = 0xCC;  // status byte once answered
    // Frames never acknowledged: given the frame and the 1-based number of the set.
    std::function<bool(const std::array<std::uint8_t, 8>&, int)> refuse;
    int failTransfersAfter = -1;  // every transfer after this many fails
    std::vector<std::array<std::uint8_t, 8>> sets;

    int readAddress = 0;
    int transfers = 0;
    int pollsSinceSet = 0;
    bool acked = false;
    std::array<std::uint8_t, 8> reply{};

    FakeHidPlatform::Responder responder() {
        return [this](const std::string&, bool isSet, std::uint8_t* data, std::size_t length) {
            ++transfers;
            if (failTransfersAfter >= 0 && transfers > failTransfersAfter) return false;
            if (isSet) {
                std::array<std::uint8_t, 8> frame{};
                std::memcpy(frame.data(), data, length);
                sets.push_back(frame);
                pollsSinceSet = 0;
                acked = !refuse || !refuse(frame, static_cast<int>(sets.size()));
                reply = frame;
                reply[7] = 0x00;
                if (frame[1] == 0x04) readAddress = frame[2] | (frame[3] << 8);
                if (frame[1] == 0x05 && acked) {
                    for (int i = 0; i < 6; ++i) reply[1 + i] = memory[(readAddress + i) % 2048];
                    readAddress += 6;
                }
                return true;
            }
            ++pollsSinceSet;
            std::array<std::uint8_t, 8> out = reply;
            out[7] = (acked && pollsSinceSet >= ackOnPoll) ? status : 0x00;
            std::memcpy(data, out.data(), length);
            return true;
        };
    }
};

}  // namespace bw::test
