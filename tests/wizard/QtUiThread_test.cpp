#include "wizard/QtUiThread.h"

#include "WizardObjects.h"
#include "WizardTestSupport.h"
#include "wizard/BusyBox.h"
#include "wizard/InstallationWizard.h"
#include "wizard/WaitDoor.h"
#include "wizard/WizardPage.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

#include <thread>

namespace {

using Log = std::vector<std::string>;

// The first page of the test wizard: logs its ticks, messages and Next.
class CProbePage : public CWizardPage {
public:
    CProbePage(Log& log, QWidget* parent)
        : CWizardPage(Kind::Interior, QString(), parent), log(log) {}
    using CWizardPage::StartPageTimer;
    using CWizardPage::StopPageTimer;

    void OnSetActive() override { SetWizardButtons(IWizardFrame::kNext); }
    int OnWizardNext() override { return log.push_back("next"), kProceed; }

protected:
    void OnTick() override { log.push_back("tick"); }
    void OnMessage(int message) override {
        log.push_back(message == kPageMessage ? "message" : "other message");
    }

private:
    Log& log;
};

// Counts the paint events of a widget that happen inside a wait.
class CPaintCounter : public QObject {
public:
    explicit CPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int DuringWaits() const { return count; }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Paint && CWaitDoor::IsWaiting() ? 1 : 0;
        return false;
    }

private:
    int count = 0;
};

void Click(QWidget* button, bool posted) {
    const QPointF at = QRectF(button->rect()).center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        auto* event = new QMouseEvent(
            type, at, button->mapToGlobal(at), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        if (posted) {
            QCoreApplication::postEvent(button, event);
        } else {
            QCoreApplication::sendEvent(button, event);
            delete event;
        }
    }
}

TEST(QtUiThreadTest, AWaitHoldsBackTheProgramsWorkAndDiscardsInput) {
    const CTimeBase fast(50); // a page tick every 20 real ms
    CQtUiThread uiThread(fast);
    Log log;
    CProbePage* probe = nullptr;
    CWizardObjects objects(uiThread, fast);
    CInstallationWizard wizard(
        uiThread, fast, objects.Services(), [&](int index, QWidget* parent) -> CWizardPage* {
            return index == 0 ? (probe = new CProbePage(log, parent)) : nullptr;
        });
    wizard.show();
    auto* next = wizard.findChild<QPushButton*>(QStringLiteral("nextButton"));
    CBusyBox box(&wizard, QStringLiteral("Waiting for the unit..."));
    box.Show();
    ASSERT_TRUE(box.IsVisible());
    const CPaintCounter paints(box.Window());

    // Arrivals in a known order: a task from another thread and a page message before the
    // wait, then two timer expiries (one stopped while held) and a page tick during it.
    std::thread([&] { uiThread.Post([&] { log.push_back("task"); }); }).join();
    probe->PostMessage(CWizardPage::kPageMessage);
    Click(next, true);
    int stage = 0;
    bool nestedWaitHeldEverything = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        const std::size_t held = CWaitDoor::HeldCount();
        if (stage == 0 && held == 2) {
            uiThread.StartTimer(7, 0, [&] { log.push_back("timer"); });
            uiThread.StartTimer(8, 0, [&] { log.push_back("stopped timer"); });
            stage = 1;
        } else if (stage == 1 && held == 4) {
            uiThread.StopTimer(8);
            probe->StartPageTimer();
            stage = 2;
        } else if (stage == 2 && held == 5) {
            Click(next, false);
            box.Window()->update(); // uncovered: the window system asks for a repaint
            uiThread.WaitUntil({}, 1, fast);
            nestedWaitHeldEverything = log.empty() && CWaitDoor::IsWaiting();
            stage = 3;
        } else if (stage == 3 && paints.DuringWaits() > 0) {
            stage = 4;
        }
    });
    driver.start(1);
    EXPECT_TRUE(uiThread.WaitUntil([&] { return stage == 4; }, 600000, fast));
    driver.stop();

    EXPECT_TRUE(log.empty()) << "nothing runs inside the wait";
    EXPECT_TRUE(nestedWaitHeldEverything);
    EXPECT_GT(paints.DuringWaits(), 0) << "the busy box repaints during the wait";
    ASSERT_TRUE(RunEventsUntil([&] { return log.size() >= 4; }));
    probe->StopPageTimer();
    EXPECT_EQ(Log(log.begin(), log.begin() + 4), (Log{"task", "message", "timer", "tick"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "stopped timer"), 0);
    EXPECT_EQ(std::count(log.begin(), log.end(), "next"), 0) << "clicks in the wait are lost";
    EXPECT_EQ(wizard.CurrentPage(), 0);

    Click(next, false); // the same click outside a wait goes through
    EXPECT_EQ(wizard.CurrentPage(), 1);
}

TEST(QtUiThreadTest, WaitUntilReportsWhetherTheConditionCameTrue) {
    const CTimeBase fast(100);
    CQtUiThread uiThread(fast);
    int checks = 0;
    struct Case {
        const char* what;
        std::function<bool()> done;
        double programMs;
        bool result;
    };
    const std::vector<Case> cases{
        {"true at once", [] { return true; }, 0, true},
        {"true on the fifth look", [&] { return ++checks >= 5; }, 1e9, true},
        {"never true", [] { return false; }, 200, false},
        {"a fixed pause", {}, 200, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(uiThread.WaitUntil(c.done, c.programMs, fast), c.result) << c.what;
        EXPECT_FALSE(CWaitDoor::IsWaiting()) << c.what;
    }
}

} // namespace
