#pragma once
// The main window on the simulated line, with a virtual clock and the timer
// stepped by the test.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "app/main_form.h"
#include "sim/sim_platform.h"
#include "support/recording_host.h"
#include "ui/message_boxes.h"

namespace bw::test {

class SimFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetMessageBoxHook(
            [this](BoxKind, const QString&, const QString& text) { boxes.push_back(text); });
    }
    void TearDown() override { SetMessageBoxHook({}); }

    // Builds the line and the window; the list row follows the scenario's IC type.
    // `wrap` may put a platform in front of the line.
    using Wrap = std::function<std::unique_ptr<HidPlatform>(SimulatedPlatform&)>;
    void Start(const Scenario& scenario = {}, const Wrap& wrap = {}) {
        line = std::make_unique<SimulatedPlatform>(scenario);
        if (wrap) front = wrap(*line);
        form = std::make_unique<TForm1>(front ? *front : *line);
        form->SetClock(&clock);
        form->SelectUiLanguage(1033);
        if (scenario.ic != 0) {
            form->cb_ICType->setCurrentIndex(scenario.ic);
            form->cb_ICTypeChange();
        }
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 7 + 3);
        }
    }

    QString WriteFile(const QString& name, const Image& bytes, qsizetype size = 2048) {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), size);
        return path;
    }

    void Load() {
        const QString path = WriteFile(QStringLiteral("image.bin"), image);
        form->chooseOpenFile = [path] { return path; };
        Run(&TForm1::btn_LoadClick);
    }

    // A handler as the window's events run it: through the one recovery place.
    bool Run(void (TForm1::*handler)()) {
        return form->RunHandler([this, handler] { ((*form).*handler)(); });
    }
    bool Tick() { return Run(&TForm1::DevTimerTimer); }

    bool Enabled(QWidget* w) const { return w->isEnabled(); }
    bool ButtonsEnabled() const {
        for (QWidget* b : form->OperationButtons())
            if (!b->isEnabled()) return false;
        return true;
    }
    bool ButtonsDisabled() const {
        for (QWidget* b : form->OperationButtons())
            if (b->isEnabled()) return false;
        return true;
    }
    QColor ResultColour() const {
        return form->lbl_CtrlResult->palette().color(QPalette::WindowText);
    }
    bool ResultShown() const { return !form->lbl_CtrlResult->isHidden(); }

    QTemporaryDir dir;
    RecordingHost clock;
    std::unique_ptr<SimulatedPlatform> line;
    std::unique_ptr<HidPlatform> front;
    std::unique_ptr<TForm1> form;
    Image image{};
    QStringList boxes;
};

}  // namespace bw::test
