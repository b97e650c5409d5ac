#include "wizard/InstallationWizard.h"

#include "WizardObjects.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "wizard/ApplicationTitle.h"
#include "wizard/QtUiThread.h"
#include "wizard/WizardPage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

using Log = std::vector<std::string>;

// A page that writes each notification it gets into a shared log, as "<what><index>".
class CRecordingPage : public CWizardPage {
public:
    CRecordingPage(int index, Log& log, QWidget* parent)
        : CWizardPage(Kind::Interior, QString(), parent), index(index), log(log) {}

    std::function<int()> onNext;
    std::function<int()> onFinish;
    std::function<int()> onQueryCancel;
    using CWizardPage::EndWizard;
    using CWizardPage::GoToPage;

    void OnInit() override { Record("init"); }
    Step OnSetActive() override {
        Record("set");
        SetWizardButtons(IWizardFrame::kBack | IWizardFrame::kNext);
        co_return;
    }
    Step OnKillActive() override {
        Record("kill");
        co_return;
    }
    Answer OnWizardNext() override { co_return Record("next", onNext); }
    Answer OnWizardBack() override { co_return Record("back", {}); }
    Answer OnWizardFinish() override { co_return Record("finish", onFinish); }
    Answer OnQueryCancel() override { co_return Record("cancel", onQueryCancel); }

private:
    void Record(const char* what) { log.push_back(what + std::to_string(index)); }
    int Record(const char* what, const std::function<int()>& answer) {
        Record(what);
        return answer ? answer() : kProceed;
    }

    int index;
    Log& log;
};

class InstallationWizardTest : public ::testing::Test {
protected:
    InstallationWizardTest()
        : wizard(uiThread, CTimeBase(), objects.Services(), [this](int index, QWidget* parent) {
              pages[index] = new CRecordingPage(index, log, parent);
              return pages[index];
          }) {
        wizard.show();
        log.clear();
    }

    QPushButton* Button(const char* name) {
        return wizard.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    Log log;
    std::array<CRecordingPage*, kPageCount> pages{};
    CInstallationWizard wizard;
};

TEST_F(InstallationWizardTest, NavigatesByIndexWithKillBeforeSet) {
    int nextCalls = 0;
    struct Step {
        const char* what;
        std::function<void()> act;
        Log log;
        int page;
    };
    const std::vector<Step> steps{
        {"GoToPage jumps", [&] { wizard.GoToPage(kFinePage); }, {"kill0", "init5", "set5"}, 5},
        {"GoToPage to the current page runs both again",
         [&] { wizard.GoToPage(kFinePage); },
         {"kill5", "set5"},
         5},
        {"Back goes to the lower index, not back in history",
         [&] { Button("backButton")->click(); },
         {"back5", "kill5", "init4", "set4"},
         4},
        {"Next goes to the higher index",
         [&] { wizard.PressNext(); },
         {"next4", "kill4", "set5"},
         5},
        {"a Next handler that stays", [&] { wizard.PressNext(); }, {"next5"}, 5},
        {"a Next handler that chooses the page",
         [&] { wizard.PressNext(); },
         {"next5", "kill5", "init1", "set1"},
         1},
        {"an index out of range", [&] { wizard.GoToPage(kPageCount); }, {}, 1},
    };
    pages[kFinePage]->onNext = [&] {
        return ++nextCalls == 1 ? CWizardPage::kStay
                                : (pages[kFinePage]->GoToPage(kConnectionPage), 0);
    };
    for (const Step& step : steps) {
        log.clear();
        step.act();
        EXPECT_EQ(log, step.log) << step.what;
        EXPECT_EQ(wizard.CurrentPage(), step.page) << step.what;
    }
}

TEST(InstallationWizardCloseTest, ClosingRunsTheCurrentPagesKillActive) {
    struct Case {
        const char* what;
        std::function<void(CInstallationWizard&, CRecordingPage&)> act;
        Log log;
        bool open;
        int result;
    };
    const std::vector<Case> cases{
        {"Finish", [](auto& w, auto&) { w.PressFinish(); }, {"finish3", "kill3"}, false, 1},
        {"Finish refused",
         [](auto& w, auto& p) {
             p.onFinish = [] { return CWizardPage::kStay; };
             w.PressFinish();
         },
         {"finish3"},
         true,
         0},
        {"the window's close button",
         [](auto& w, auto&) { w.close(); },
         {"cancel3", "kill3"},
         false,
         0},
        {"Cancel refused",
         [](auto& w, auto& p) {
             p.onQueryCancel = [] { return CWizardPage::kStay; };
             w.reject();
         },
         {"cancel3"},
         true,
         0},
        {"a page ends the wizard", [](auto&, auto& p) { p.EndWizard(0); }, {"kill3"}, false, 0},
    };
    for (const Case& c : cases) {
        CQtUiThread uiThread;
        CWizardObjects objects(uiThread, CTimeBase());
        Log log;
        CRecordingPage* page = nullptr;
        CInstallationWizard wizard(uiThread, CTimeBase(), objects.Services(),
                                   [&](int index, QWidget* parent) {
                                       auto* made = new CRecordingPage(index, log, parent);
                                       page = index == kMountPage ? made : page;
                                       return made;
                                   });
        wizard.show();
        wizard.GoToPage(kMountPage);
        wizard.SetWizardButtons(IWizardFrame::kFinish);
        log.clear();
        c.act(wizard, *page);
        EXPECT_EQ(log, c.log) << c.what;
        EXPECT_EQ(wizard.isVisible(), c.open) << c.what;
        if (!c.open) {
            EXPECT_EQ(wizard.result(), c.result) << c.what;
            EXPECT_FALSE(wizard.GoToPage(kWelcomePage)) << c.what << ": no page after the end";
        }
    }
}

TEST_F(InstallationWizardTest, FinishTakesThePlaceOfNext) {
    struct Case {
        int flags;
        bool back, next, finish;
    };
    for (const Case c : {Case{0, false, false, false},
                         Case{IWizardFrame::kBack | IWizardFrame::kNext, true, true, false},
                         Case{IWizardFrame::kFinish, false, false, true}}) {
        wizard.SetWizardButtons(c.flags);
        EXPECT_EQ(Button("backButton")->isEnabled(), c.back) << c.flags;
        EXPECT_EQ(Button("nextButton")->isEnabled(), c.next) << c.flags;
        EXPECT_EQ(Button("nextButton")->isVisible(), !c.finish) << c.flags;
        EXPECT_EQ(Button("finishButton")->isVisible(), c.finish) << c.flags;
        EXPECT_EQ(Button("finishButton")->isEnabled(), c.finish) << c.flags;
    }
    // A disabled button does nothing, even when pressed by code.
    wizard.SetWizardButtons(0);
    wizard.PressNext();
    wizard.PressBack();
    EXPECT_TRUE(log.empty());
}

TEST_F(InstallationWizardTest, NoticeLineStaysAboveTheBottomEdge) {
    const QLabel* notice = wizard.findChild<QLabel*>(QStringLiteral("noticeLabel"));
    ASSERT_NE(notice, nullptr);
    for (const int extra : {0, 37, 120}) {
        const QSize size(wizard.minimumWidth() + extra, wizard.minimumHeight() + extra);
        wizard.resize(size);
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.size() == size; }));
        EXPECT_EQ(notice->geometry(), QRect(10, wizard.height() - 30, 190, 22)) << extra;
    }
}

// The production wizard: its first page, its caption and a picture of every page.
TEST(StandardWizardTest, StartsOnTheWelcomePageAndShowsEveryPage) {
    const CScratchDirectory directory;
    CQtUiThread uiThread;
    CWizardObjects objects(uiThread, CTimeBase()); // no serial port of the machine
    CInstallationWizard wizard(uiThread, CTimeBase(), objects.Services());
    wizard.show();
    auto* next = wizard.findChild<QPushButton*>(QStringLiteral("nextButton"));
    EXPECT_EQ(wizard.CurrentPage(), kWelcomePage);
    EXPECT_EQ(wizard.windowTitle().toStdString(), kApplicationTitle);
    EXPECT_TRUE(next->isEnabled());
    for (const char* name : {"backButton", "finishButton"}) {
        EXPECT_FALSE(wizard.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled())
            << name;
    }
    EXPECT_FALSE(wizard.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    SaveArtifact(wizard, "page-0-welcome");

    wizard.findChild<QLineEdit*>(QStringLiteral("tailNumberEdit"))->setText(QStringLiteral("N1"));
    next->click();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_TRUE(wizard.windowTitle().isEmpty()) << "interior pages have no caption";
    EXPECT_FALSE(next->isEnabled());
    for (int index = kConnectionPage; index < kPageCount; ++index) {
        wizard.GoToPage(index);
        // A page may pause on its way out.
        ASSERT_TRUE(RunEventsUntil([&] { return !wizard.Steps().IsRunning(); }));
        EXPECT_EQ(wizard.CurrentPage(), index);
        EXPECT_TRUE(wizard.findChild<QWidget*>(QStringLiteral("headerBand"))->isVisible());
        EXPECT_FALSE(wizard.findChild<QWidget*>(QStringLiteral("watermark"))->isVisible());
        SaveArtifact(wizard, "page-" + std::to_string(index) +
                                 (index == kConnectionPage ? "-no-port" : "-no-link"));
    }
    wizard.close();
    // The window icon, for a look at it beside the pages.
    EXPECT_TRUE(wizard.windowIcon().pixmap(128).save(
        QStringLiteral(HX410_ARTIFACTS_DIR "/application-icon.png")));
}

} // namespace
