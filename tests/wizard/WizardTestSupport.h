#pragma once

// Helpers of the wizard tests: the QApplication, events, message boxes and artifacts.

#include "device/AhrsLink.h"
#include "records/FileNames.h"
#include "records/InstallationSession.h"
#include "records/SettingsStore.h"
#include "records/TempDir.h"
#include "wizard/InstallationWizard.h"
#include "wizard/MountPositionList.h"
#include "wizard/PageIndex.h"
#include "wizard/PageWidgets.h"
#include "wizard/QtUiThread.h"
#include "wizard/WizardServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What a wizard works with, made for one test (without places, on a link without any port).
class CWizardObjects {
public:
    CWizardObjects(IUiThread& uiThread, CTimeBase timeBase,
                   std::optional<ComPortPlaces> places = {},
                   std::unique_ptr<ITransport> transport = nullptr)
        : settings(configDirectory.Path() + "/appSettings.xml"),
          link(uiThread, timeBase,
               places.value_or(ComPortPlaces{configDirectory / "ports", configDirectory / "dev",
                                             configDirectory / "sys"}),
               std::move(transport)) {}

    WizardServices Services() { return {link, settings, mountPositions, session}; }

    const CTempDir configDirectory;
    CSettingsStore settings;
    const CMountPositionList mountPositions;
    CInstallationSession session;
    CAhrsLink link; // last: its listener ends before anything else goes
};

// One QApplication for the whole test program (offscreen), made before the first test.
class CQtTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override { application = std::make_unique<QApplication>(argc, argv); }
    void TearDown() override { application.reset(); }

private:
    int argc = 1;
    char name[12] = "wizard-test";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
};

inline ::testing::Environment* const kQtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtTestEnvironment);

// Processes events until `done` holds; false after `realMs` (a bound against a hang, never a
// timing assertion) or at once after a fatal failure, so later waits do not run out too.
inline bool RunEventsUntil(const std::function<bool()>& done, int realMs = 20000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > realMs || ::testing::Test::HasFatalFailure()) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Processes events for `programMs` of the program's time, calling `watch` between them.
inline bool RunEventsFor(
    CTimeBase timeBase, double programMs, const std::function<void()>& watch = [] {}) {
    const double until = timeBase.NowMs() + programMs;
    return RunEventsUntil([&] {
        watch();
        return timeBase.NowMs() >= until;
    });
}

// Processes events until the wizard's running step and what it asked for have ended.
inline bool StepsEnded(CInstallationWizard& wizard) {
    return RunEventsUntil([&] { return !wizard.Steps().IsRunning(); });
}

// The standard output of a shell command, empty when it cannot run.
inline std::string CommandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
            out.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return out;
}

// The message box open in front of everything, if one is.
inline QMessageBox* OpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    return box != nullptr && box->isVisible() ? box : nullptr;
}

// Answers every message box that appears while it lives with `answer`, keeping each.
class CBoxAnswerer {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    explicit CBoxAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok) {
        QObject::connect(&poll, &QTimer::timeout, [this, answer] {
            if (QMessageBox* box = OpenBox()) {
                if (!box->property("seenByTest").toBool()) {
                    box->setProperty("seenByTest", true);
                    boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
                }
                box->button(answer)->click();
            }
        });
        poll.start(5);
    }
    const std::vector<Box>& Boxes() const { return boxes; }

private:
    QTimer poll;
    std::vector<Box> boxes;
};

// Exactly one box was shown, with this caption and a text that holds `text`.
inline ::testing::AssertionResult OneBox(const std::vector<CBoxAnswerer::Box>& boxes,
                                         const std::string& caption, const std::string& text = {}) {
    if (boxes.size() == 1 && boxes[0].caption == caption &&
        boxes[0].text.find(text) != std::string::npos) {
        return ::testing::AssertionSuccess();
    }
    auto failure = ::testing::AssertionFailure() << "not one box \"" << caption << "\":";
    for (const CBoxAnswerer::Box& box : boxes) {
        failure << " [" << box.caption << ": " << box.text << "]";
    }
    return failure;
}

// The busy box on the screen, if one is, and its text.
inline QWidget* BusyWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("busyBox") && widget->isVisible()) {
            return widget;
        }
    }
    return nullptr;
}
inline std::string BusyText() {
    return BusyWindow() != nullptr ? BusyWindow()->accessibleName().toStdString() : std::string();
}

// Every busy-box text seen on the screen while it lives, in order, each once in a row.
class CBusyTextRecorder {
public:
    CBusyTextRecorder() {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            const std::string text = BusyText();
            if (!text.empty() && (texts.empty() || texts.back() != text)) {
                texts.push_back(text);
            }
        });
        poll.start(1);
    }
    const std::vector<std::string>& Texts() const { return texts; }

private:
    QTimer poll;
    std::vector<std::string> texts;
};

// Keeps a picture of `widget` as build/artifacts/<name>.png.
inline void SaveArtifact(QWidget& widget, const std::string& name) {
    const QString directory = QStringLiteral(HX410_ARTIFACTS_DIR);
    QDir().mkpath(directory);
    EXPECT_TRUE(widget.grab().save(directory + QLatin1Char('/') + QString::fromStdString(name) +
                                   QStringLiteral(".png")))
        << name;
}

// Whether the screen shows the frame colour in the middle of the top edge of a heading's
// frame (grab() would paint afresh, and so hide a change that was never repainted).
inline bool FrameOnScreen(const QWidget& page, int heading) {
    const auto* frame = page.findChild<QWidget*>(HeadingObjectName(heading, "Frame"));
    if (frame == nullptr || !frame->isVisible()) {
        return false;
    }
    const QPoint at = frame->mapTo(frame->window(), QPoint(frame->width() / 2, 0));
    const QImage shown =
        frame->screen()->grabWindow(frame->window()->winId(), at.x(), at.y(), 1, 1).toImage();
    return (shown.pixel(0, 0) & 0xffffff) == (kHeadingFrameColour & 0xffffff);
}

// Waits until the screen shows the frame of `heading`, and no other.
inline bool FramedOnScreen(const QWidget& page, int heading) {
    return RunEventsUntil([&] {
        for (int index = 0; index < 4; ++index) {
            if (FrameOnScreen(page, index) != (index == heading)) {
                return false;
            }
        }
        return true;
    });
}

// A fresh temporary directory made the current directory (where the identification file
// lives) while the object lives.
class CScratchDirectory {
public:
    CScratchDirectory() : previous(CurrentDirectory()) {
        EXPECT_EQ(::chdir(directory.Path().c_str()), 0);
    }
    ~CScratchDirectory() { EXPECT_EQ(::chdir(previous.c_str()), 0); }

    std::string operator/(const std::string& name) const { return directory / name; }

private:
    CTempDir directory;
    std::string previous;
};
