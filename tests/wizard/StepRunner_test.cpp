// The wizard's steps: ticks and messages wait for a step, presses in it are lost.
#include "wizard/StepRunner.h"

#include "WizardTestSupport.h"

#include <QPushButton>

#include <thread>

namespace {

using Log = std::vector<std::string>;

// The first page of the test wizard: logs its ticks, messages and Next, and runs a step
// that waits until `release` holds.
class CProbePage : public CWizardPage {
public:
    CProbePage(Log& log, QWidget* parent)
        : CWizardPage(Kind::Interior, QString(), parent), log(log) {}
    using CWizardPage::RunAction;
    using CWizardPage::ShowErrorBox;
    using CWizardPage::StartPageTimer;
    using CWizardPage::StopPageTimer;
    using CWizardPage::WaitUntil;

    Step OnSetActive() override {
        SetWizardButtons(IWizardFrame::kNext);
        co_return;
    }
    Answer OnWizardNext() override {
        log.push_back("next");
        co_return kProceed;
    }
    void StartWaiting() {
        RunAction([this]() -> Step {
            log.push_back("waiting");
            waited = co_await WaitUntil([this] { return release; }, 1e9);
            log.push_back("waited");
        });
    }
    bool release = false;
    bool waited = false;
    int displayTicks = 0;

protected:
    Step OnTick() override {
        log.push_back("tick");
        co_return;
    }
    void OnDisplayTick() override { ++displayTicks; }
    Step OnMessage(int message) override {
        log.push_back(message == kPageMessage ? "message" : "other message");
        co_return;
    }

private:
    Log& log;
};

class StepRunnerTest : public ::testing::Test {
protected:
    StepRunnerTest()
        : wizard(uiThread, fast, objects.Services(),
                 [this](int index, QWidget* parent) -> CWizardPage* {
                     return index == 0 ? (probe = new CProbePage(log, parent)) : nullptr;
                 }) {
        wizard.show();
    }

    const CTimeBase fast{50}; // a page tick every 20 real ms
    CQtUiThread uiThread{fast};
    CWizardObjects objects{uiThread, fast};
    Log log;
    CProbePage* probe = nullptr;
    CInstallationWizard wizard;
};

TEST_F(StepRunnerTest, AStepHoldsBackTicksAndMessagesAndIgnoresPresses) {
    auto* next = wizard.findChild<QPushButton*>(QStringLiteral("nextButton"));

    probe->StartWaiting();
    ASSERT_TRUE(wizard.Steps().IsRunning());
    probe->StartWaiting(); // a second press while the step runs does nothing
    probe->PostMessage(CWizardPage::kPageMessage);
    probe->StartPageTimer();
    next->click();
    // The device layer's own work is not page work: it runs during the step.
    std::thread([&] { uiThread.Post([&] { log.push_back("task"); }); }).join();
    ASSERT_TRUE(RunEventsUntil([&] {
        return probe->displayTicks >= 2 && std::count(log.begin(), log.end(), "task") == 1;
    }));
    EXPECT_EQ(log, (Log{"waiting", "task"})) << "ticks and messages wait for the step";

    probe->release = true;
    ASSERT_TRUE(RunEventsUntil([&] { return log.size() >= 5; }));
    probe->StopPageTimer();
    EXPECT_TRUE(probe->waited);
    EXPECT_EQ(Log(log.begin(), log.begin() + 5),
              (Log{"waiting", "task", "waited", "message", "tick"}));
    EXPECT_EQ(std::count(log.begin(), log.end(), "next"), 0) << "a press in the step is lost";
    EXPECT_EQ(wizard.CurrentPage(), 0);

    next->click(); // the same press outside a step goes through
    EXPECT_EQ(wizard.CurrentPage(), 1);
}

TEST_F(StepRunnerTest, ACancelledStepUnwindsAtOnceAndShowsNoMoreBoxes) {
    struct Case {
        const char* what;
        bool boxOpen; // cancelled while a box is open, else while a wait runs
    };
    for (const Case c : {Case{"in a wait", false}, Case{"in a box", true}}) {
        Log steps;
        probe->RunAction([&]() -> CWizardPage::Step {
            if (c.boxOpen) {
                const bool ok = co_await probe->ShowErrorBox(QStringLiteral("Open"), QString());
                steps.push_back(ok ? "ok" : "not ok");
            } else {
                const bool held = co_await probe->WaitUntil([] { return false; }, 1e9);
                steps.push_back(held ? "held" : "not held");
            }
            // A cancelled step neither waits nor shows a box any more.
            const bool second = co_await probe->ShowErrorBox(QStringLiteral("Never"), QString());
            steps.push_back(second ? "second ok" : "second not ok");
            co_await probe->WaitUntil([] { return false; }, 1e9);
            steps.push_back("end");
        });
        ASSERT_TRUE(RunEventsUntil([&] {
            return !c.boxOpen || qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        }));
        wizard.Steps().Cancel();
        EXPECT_FALSE(wizard.Steps().IsRunning()) << c.what;
        EXPECT_EQ(steps, (Log{c.boxOpen ? "not ok" : "not held", "second not ok", "end"}))
            << c.what;
        EXPECT_TRUE(RunEventsUntil([] { return QApplication::activeModalWidget() == nullptr; }))
            << c.what;
    }
}

} // namespace
