#include "sim/sim_line_folder.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "sim/scenario.h"

namespace bw {
namespace {

// A complete new file in place of the old one: written beside it, then renamed over it.
bool Replace(const std::string& path, const char* data, std::size_t size) {
    const std::string fresh = path + ".new";
    {
        std::ofstream out(fresh, std::ios::binary | std::ios::trunc);
        out.write(data, static_cast<std::streamsize>(size));
        if (!out.flush()) return false;
    }
    std::error_code ec;
    std::filesystem::rename(fresh, path, ec);
    return !ec;
}

}  // namespace

SimLineFolder::SimLineFolder(std::string folder) : folder_(std::move(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_, ec))
        throw ScenarioError("simulation scenario: bad value '" + folder_ +
                            "' for 'line-dir': cannot be made a folder");
    std::ifstream in(path("line"));
    std::string word;
    int written = 0;
    if (in >> word >> position_.mouse >> word >> written) position_.written = written != 0;
    if (position_.mouse < 1) position_ = Position{};
    if (const auto kept = memory(position_.mouse)) stored_ = *kept;
}

std::string SimLineFolder::path(const std::string& name) const {
    return (std::filesystem::path(folder_) / name).string();
}

std::optional<Image> SimLineFolder::memory(int mouse) const {
    std::ifstream in(path("mouse." + std::to_string(mouse)), std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    if (bytes.size() != static_cast<std::size_t>(kImageSize)) return std::nullopt;
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(bytes[i]);
    return image;
}

void SimLineFolder::plugged(int mouse, const Image& memory) {
    if (mouse != position_.mouse) position_ = Position{mouse, false};
    stored_ = memory;
    ok_ = Replace(path("mouse." + std::to_string(mouse)),
                  reinterpret_cast<const char*>(memory.data()), memory.size()) &&
          ok_;
    storePosition();
}

void SimLineFolder::changed(int mouse, const Image& memory, bool written) {
    if (mouse != position_.mouse) return;
    if (memory != stored_) {
        stored_ = memory;
        ok_ = Replace(path("mouse." + std::to_string(mouse)),
                      reinterpret_cast<const char*>(memory.data()), memory.size()) &&
              ok_;
    }
    if (written && !position_.written) {
        position_.written = true;
        storePosition();
    }
}

void SimLineFolder::pulledOut(int mouse) {
    leaving_ = mouse;
}

void SimLineFolder::settle() {
    if (!leaving_) return;
    if (*leaving_ == position_.mouse) {
        position_ = Position{position_.mouse + 1, false};
        storePosition();
    }
    leaving_.reset();
}

void SimLineFolder::storePosition() {
    std::ostringstream text;
    text << "mouse " << position_.mouse << "\nwritten " << (position_.written ? 1 : 0) << "\n";
    const std::string bytes = text.str();
    ok_ = Replace(path("line"), bytes.data(), bytes.size()) && ok_;
}

}  // namespace bw
