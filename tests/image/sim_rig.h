#pragma once
// A simulated mouse opened as the poll tick opens it, behind a platform that logs every
// set-feature the host attempts and can refuse chosen ones (the device then never answers).

#include <cstdint>
#include <functional>
#include <vector>

#include "device/hid_platform.h"
#include "image/ic_types.h"
#include "image/mouse_session.h"
#include "sim/scenario.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"

namespace bw::test {

using Frame = std::array<std::uint8_t, 8>;

class FilterPlatform : public HidPlatform {
  public:
    explicit FilterPlatform(HidPlatform& inner) : inner_(inner) {}

    std::vector<HidInterfaceInfo> enumerate() override { return inner_.enumerate(); }
    HidHandle open(const std::string& path, std::string* error) override {
        return inner_.open(path, error);
    }
    int setFeature(HidHandle handle, const std::uint8_t* data, std::size_t length) override {
        Frame frame{};
        std::copy(data, data + std::min(length, frame.size()), frame.begin());
        sets.push_back(frame);
        refusing_ = refuse && refuse(frame);
        if (refusing_) return -1;
        return inner_.setFeature(handle, data, length);
    }
    int getFeature(HidHandle handle, std::uint8_t* data, std::size_t length) override {
        if (refusing_) return -1;
        return inner_.getFeature(handle, data, length);
    }
    void close(HidHandle handle) override { inner_.close(handle); }
    void beginOperation() override {
        ++begins;
        inner_.beginOperation();
    }
    void endOperation() override {
        ++ends;
        inner_.endOperation();
    }

    // Report-4 command codes in the order sent, resends of the same code collapsed.
    std::vector<int> commands4() const {
        std::vector<int> out;
        for (const Frame& f : sets) {
            if (f[0] != 0x04) continue;
            if (out.empty() || out.back() != f[1]) out.push_back(f[1]);
        }
        return out;
    }
    // How many frames of a report-4 command were sent (resends included).
    int sends4(int command) const {
        int n = 0;
        for (const Frame& f : sets) n += (f[0] == 0x04 && f[1] == command) ? 1 : 0;
        return n;
    }
    // Addresses of the report-4 block commands (0x04 read, 0x06 write), each exchange once.
    std::vector<int> blockAddresses4(int command) const {
        std::vector<int> out;
        const Frame* last = nullptr;
        for (const Frame& f : sets) {
            if (f[0] != 0x04) continue;
            if (f[1] == command && (last == nullptr || *last != f)) out.push_back(f[2] | f[3] << 8);
            last = &f;
        }
        return out;
    }

    std::function<bool(const Frame&)> refuse;
    std::vector<Frame> sets;
    int begins = 0;
    int ends = 0;

  private:
    HidPlatform& inner_;
    bool refusing_ = false;
};

inline Scenario ScenarioFor(int ic) {
    Scenario s;
    s.ic = ic;
    return s;
}

struct SimRig {
    explicit SimRig(const Scenario& scenario)
        : ic(scenario.ic), sim(scenario), filter(sim), state(filter) {
        const IcType& type = *IcTypeAt(ic);
        const std::int32_t vid = 0x3A5C;
        const std::int32_t pid = type.defaultPid == "0C21" ? 0x0C21 : 0x0C37;
        std::int32_t release = type.release;
        opened = type.protocol == Protocol::Report4
                     ? state.link.OpenDeviceReport4(vid, pid, release)
                     : state.link.OpenDeviceReport40(vid, pid, release);
        state.ImageType = std::string(type.rowText);
        state.HasImage = true;
        filter.sets.clear();
    }
    explicit SimRig(int icType = 0) : SimRig(ScenarioFor(icType)) {}

    Image& memory() { return sim.currentMouse()->memory(); }

    int ic;
    SimulatedPlatform sim;
    FilterPlatform filter;
    MouseSession state;
    RecordingHost host;
    bool opened = false;
};

// An image whose every byte differs from its neighbours and from the 0xFF fill.
inline Image PatternImage(std::uint8_t seed = 1) {
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
    }
    return image;
}

}  // namespace bw::test
