#pragma once

// Helpers of the wizard tests: the QApplication of the test program, pumping events until
// a condition holds, answering message boxes, and the page pictures left as artifacts.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "records/FileNames.h"
#include "records/TempDir.h"
#include "wizard/PageWidgets.h"

#include <algorithm>
#include <array>

#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

// One QApplication for the whole test program (offscreen), made before the first test.
class CQtTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "wizard-test";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { application.reset(); }

private:
    std::unique_ptr<QApplication> application;
};

inline ::testing::Environment* const kQtTestEnvironment =
    ::testing::AddGlobalTestEnvironment(new CQtTestEnvironment);

// Processes events until `done` holds; false after `realMs` (a bound against a hang, far
// beyond what a loaded machine needs, never a timing assertion).
inline bool RunEventsUntil(const std::function<bool()>& done, int realMs = 20000) {
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > realMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Processes events until the wizard's running step (a press, a tick, a page change) and
// what it asked for have ended.
template <class Wizard> bool StepsEnded(Wizard& wizard) {
    return RunEventsUntil([&] { return !wizard.Steps().IsRunning(); });
}

// Answers every task-modal message box that appears while it lives, with `answer`, and
// keeps the caption and text of each.
class CBoxAnswerer {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    explicit CBoxAnswerer(QMessageBox::StandardButton answer) {
        QObject::connect(&poll, &QTimer::timeout, [this, answer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr || !box->isVisible()) {
                return;
            }
            if (!box->property("seenByTest").toBool()) {
                box->setProperty("seenByTest", true);
                boxes.push_back({box->windowTitle().toStdString(), box->text().toStdString()});
            }
            box->button(answer)->click();
        });
        poll.start(5);
    }

    const std::vector<Box>& Boxes() const { return boxes; }
    // How many boxes had this caption.
    std::size_t Count(const std::string& caption) const {
        return static_cast<std::size_t>(std::count_if(
            boxes.begin(), boxes.end(), [&](const Box& box) { return box.caption == caption; }));
    }

private:
    QTimer poll;
    std::vector<Box> boxes;
};

// The text of the busy box on the screen, empty when none is.
inline std::string BusyText() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName() == QLatin1String("busyBox") && widget->isVisible()) {
            return widget->accessibleName().toStdString();
        }
    }
    return std::string();
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

// Ends, as a failure, a message box that nobody answers, instead of letting the test hang
// in it until the test runner's time-out: a link lost on a badly loaded machine (the silence
// time is a fraction of a second of real time at the tests' pace) shows one in the middle of
// a step. Answerers click within milliseconds of a box's showing, so a box counts as
// unanswered only once it has been open for as long as the tests' own bound on any step.
class CUnansweredBoxGuard {
public:
    static constexpr qint64 kPatienceMs = 20000;

    CUnansweredBoxGuard() {
        QObject::connect(&poll, &QTimer::timeout, [this] { Look(); });
        poll.start(100);
    }

private:
    void Look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        if (box != seen) {
            seen = box;
            openFor.start();
            return;
        }
        if (openFor.elapsed() < kPatienceMs) {
            return;
        }
        ADD_FAILURE() << "A message box nobody answered: \"" << box->windowTitle().toStdString()
                      << "\": " << box->text().toStdString();
        box->done(QMessageBox::Cancel);
        seen = nullptr;
    }

    QTimer poll;
    QPointer<QMessageBox> seen;
    QElapsedTimer openFor;
};

// Keeps a picture of `widget` as build/artifacts/<name>.png.
inline void SaveArtifact(QWidget& widget, const std::string& name) {
    const QString directory = QStringLiteral(HX410_ARTIFACTS_DIR);
    QDir().mkpath(directory);
    EXPECT_TRUE(widget.grab().save(directory + QLatin1Char('/') + QString::fromStdString(name) +
                                   QStringLiteral(".png")))
        << name;
}

// For each heading (by index), how many of the four edges of its frame the window system
// shows in the frame colour, looked at in the middle of each edge. What is shown is read
// back from the screen: grab() would paint the widgets afresh, and so hide a change that was
// never repainted.
inline std::array<int, 4> HeadingFrameEdges(const QWidget& page) {
    std::array<int, 4> edges{};
    for (int heading = 0; heading < 4; ++heading) {
        const auto* frame = page.findChild<QWidget*>(HeadingObjectName(heading, "Frame"));
        if (frame == nullptr || !frame->isVisible()) {
            continue;
        }
        const QPoint at = frame->mapTo(frame->window(), QPoint(0, 0));
        const QImage shown = frame->screen()
                                 ->grabWindow(frame->window()->winId(), at.x(), at.y(),
                                              frame->width(), frame->height())
                                 .toImage();
        const qreal ratio = shown.devicePixelRatio();
        const QRect r(QPoint(0, 0), frame->size());
        const QPoint middles[] = {{r.center().x(), r.top()},
                                  {r.center().x(), r.bottom()},
                                  {r.left(), r.center().y()},
                                  {r.right(), r.center().y()}};
        for (const QPoint& middle : middles) {
            const QPoint pixel = (QPointF(middle) * ratio).toPoint();
            edges[heading] += shown.valid(pixel) &&
                              (shown.pixel(pixel) & 0xffffff) == (kHeadingFrameColour & 0xffffff);
        }
    }
    return edges;
}

// Waits until the page shows the frame of `heading` and no other: first as the page has
// it, then on the screen.
inline bool FramedOnScreen(const QWidget& page, int heading) {
    const auto* frame = page.findChild<QWidget*>(HeadingObjectName(heading, "Frame"));
    if (frame == nullptr ||
        !RunEventsUntil([frame] { return frame->property("frameShown").toBool(); })) {
        return false;
    }
    std::array<int, 4> framed{};
    framed[heading] = 4;
    return RunEventsUntil([&] { return HeadingFrameEdges(page) == framed; });
}

// A fresh temporary directory made the current directory (where the identification file
// lives) while the object lives.
class CScratchDirectory {
public:
    CScratchDirectory() : previous(CurrentDirectory()) {
        EXPECT_EQ(::chdir(directory.Path().c_str()), 0);
    }
    ~CScratchDirectory() { EXPECT_EQ(::chdir(previous.c_str()), 0); }
    CScratchDirectory(const CScratchDirectory&) = delete;
    CScratchDirectory& operator=(const CScratchDirectory&) = delete;

    std::string operator/(const std::string& name) const { return directory / name; }

private:
    CTempDir directory;
    std::string previous;
};
