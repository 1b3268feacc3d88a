#include "window/main_window_fixture.h"

#include <atomic>
#include <chrono>

namespace bw::test {

TestFolder::TestFolder() {
    static std::atomic<int> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path_ = std::filesystem::temp_directory_path() /
            ("bw-window-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(path_);
}

TestFolder::~TestFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void MainWindowTest::Start(const Scenario& scenario, const Wrap& wrap) {
    model.reset();
    view = FakeMainWindowView{};
    front.reset();
    line = std::make_unique<SimulatedPlatform>(scenario);
    if (wrap) front = wrap(*line);
    model = std::make_unique<MainWindowModel>(front ? *front : *line, view);
    model->SetClock(&clock);
    model->FormCreate(1033);
    if (scenario.ic != 0) {
        view.StateOf(Control::cb_ICType).text =
            view.StateOf(Control::cb_ICType).rows[static_cast<std::size_t>(scenario.ic)];
        model->cb_ICTypeChange();
    }
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
}

std::string MainWindowTest::WriteFile(const std::string& name, const Image& bytes,
                                      std::size_t size) {
    const std::string path = dir.filePath(name);
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(size));
    return path;
}

void MainWindowTest::Load() {
    view.openFiles.push_back(WriteFile("image.bin", image));
    Run(&MainWindowModel::btn_LoadClick);
}

}  // namespace bw::test
