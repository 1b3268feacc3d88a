#include "frontend/slots_option.h"

#include "frontend/device_options.h"

namespace bw {

void ApplySlotsOption(const std::string& text, station::GangSettings& settings) {
    // A count, or a negative one (no port is named "-1").
    const bool negative = text.size() > 1 && text[0] == '-' &&
                          text.find_first_not_of("0123456789", 1) == std::string::npos;
    if (negative) {
        throw OptionError("--slots: " + text + " is not 1 to " + std::to_string(kMaxGangSlots));
    }
    if (!text.empty() && text.find_first_not_of("0123456789") == std::string::npos) {
        const long n = text.size() > 3 ? kMaxGangSlots + 1 : std::stol(text);
        if (n < 1 || n > kMaxGangSlots) {
            throw OptionError("--slots: " + text + " is not 1 to " + std::to_string(kMaxGangSlots));
        }
        settings.maxSlots = static_cast<int>(n);
        return;
    }
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const std::string port = text.substr(from, comma - from);
        if (port.empty()) throw OptionError("--slots: an empty port in '" + text + "'");
        for (const std::string& known : settings.ports) {
            if (known == port) throw OptionError("--slots: port " + port + " is named twice");
        }
        settings.ports.push_back(port);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (static_cast<int>(settings.ports.size()) > kMaxGangSlots)
        throw OptionError("--slots: more than " + std::to_string(kMaxGangSlots) + " ports");
}

}  // namespace bw
