#include "wizard/InstallationWizard.h"

#include "WizardTestSupport.h"
#include "wizard/ApplicationTitle.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

// A page that writes each notification it gets into a shared log, as " <what><index>".
class CRecordingPage : public CWizardPage {
public:
    CRecordingPage(int index, std::string& log, QWidget* parent)
        : CWizardPage(Kind::Interior, QString(), parent), index(index), log(log) {}

    std::function<int()> onNext;
    int cancelAnswer = kProceed;
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
    Answer OnWizardNext() override { co_return Record("next", onNext ? onNext() : kProceed); }
    Answer OnWizardBack() override { co_return Record("back", kProceed); }
    Answer OnWizardFinish() override { co_return Record("finish", kProceed); }
    Answer OnQueryCancel() override { co_return Record("cancel", cancelAnswer); }

private:
    int Record(const char* what, int answer = 0) {
        log += std::string(" ") + what + std::to_string(index);
        return answer;
    }

    int index;
    std::string& log;
};

// A wizard of recording pages on a link without ports.
class InstallationWizardTest : public ::testing::Test {
protected:
    InstallationWizardTest() {
        wizard.show();
        log.clear();
    }
    QPushButton* Button(const char* name) {
        return wizard.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    std::string log;
    std::array<CRecordingPage*, kPageCount> pages{};
    CInstallationWizard wizard{uiThread, CTimeBase(), objects.Services(),
                               [this](int index, QWidget* parent) {
                                   return pages[index] = new CRecordingPage(index, log, parent);
                               }};
};

TEST_F(InstallationWizardTest, NavigatesByIndexWithKillBeforeSet) {
    int nextCalls = 0;
    pages[kFinePage]->onNext = [&] {
        return ++nextCalls == 1 ? CWizardPage::kStay
                                : (pages[kFinePage]->GoToPage(kConnectionPage), 0);
    };
    const struct {
        const char* what;
        std::function<void()> act;
        const char* log;
        int page;
    } steps[] = {
        {"GoToPage jumps", [&] { wizard.GoToPage(kFinePage); }, " kill0 init5 set5", 5},
        {"to the current page", [&] { wizard.GoToPage(kFinePage); }, " kill5 set5", 5},
        {"Back to the lower index, not back in history", [&] { Button("backButton")->click(); },
         " back5 kill5 init4 set4", 4},
        {"Next to the higher index", [&] { wizard.PressNext(); }, " next4 kill4 set5", 5},
        {"a Next handler that stays", [&] { wizard.PressNext(); }, " next5", 5},
        {"a Next handler that chooses the page", [&] { wizard.PressNext(); },
         " next5 kill5 init1 set1", 1},
        {"an index out of range", [&] { wizard.GoToPage(kPageCount); }, "", 1},
    };
    for (const auto& step : steps) {
        log.clear();
        step.act();
        EXPECT_EQ(log, step.log) << step.what;
        EXPECT_EQ(wizard.CurrentPage(), step.page) << step.what;
    }
}

// Closing, however it happens, runs the current page's kill, and nothing after it; a page
// that refuses keeps the wizard open.
TEST(InstallationWizardCloseTest, ClosingRunsTheCurrentPagesKillActive) {
    const struct {
        const char* what;
        std::function<void(CInstallationWizard&, CRecordingPage&)> act;
        const char* log;
        int result; // -1: still open
    } cases[] = {
        {"Finish", [](auto& w, auto&) { w.PressFinish(); }, " finish3 kill3", 1},
        {"the close button", [](auto& w, auto&) { w.close(); }, " cancel3 kill3", 0},
        {"a page ends the wizard", [](auto&, auto& p) { p.EndWizard(0); }, " kill3", 0},
        {"Cancel refused",
         [](auto& w, auto& p) {
             p.cancelAnswer = CWizardPage::kStay;
             w.reject();
         },
         " cancel3", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CQtUiThread uiThread;
        CWizardObjects objects(uiThread, CTimeBase());
        std::string log;
        CInstallationWizard wizard(
            uiThread, CTimeBase(), objects.Services(),
            [&](int index, QWidget* parent) { return new CRecordingPage(index, log, parent); });
        wizard.show();
        wizard.GoToPage(kMountPage);
        wizard.SetWizardButtons(IWizardFrame::kFinish);
        log.clear();
        c.act(wizard, *static_cast<CRecordingPage*>(wizard.Page(kMountPage)));
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(wizard.isVisible() ? -1 : wizard.result(), c.result);
        EXPECT_EQ(wizard.GoToPage(kWelcomePage), c.result < 0) << "no page after the end";
    }
}

// The production wizard: its first page, its caption and a picture of every page.
TEST(StandardWizardTest, StartsOnTheWelcomePageAndShowsEveryPage) {
    const CScratchDirectory directory;
    CQtUiThread uiThread;
    CWizardObjects objects(uiThread, CTimeBase()); // no serial port of the machine
    CInstallationWizard wizard(uiThread, CTimeBase(), objects.Services());
    wizard.show();
    const auto usable = [&](const char* name) {
        return wizard.findChild<QPushButton*>(QString::fromLatin1(name))->isEnabled();
    };
    EXPECT_EQ(wizard.CurrentPage(), kWelcomePage);
    EXPECT_EQ(wizard.windowTitle().toStdString(), kApplicationTitle);
    EXPECT_TRUE(usable("nextButton") && !usable("backButton") && !usable("finishButton"));
    SaveArtifact(wizard, "page-0-welcome");

    wizard.findChild<QLineEdit*>(QStringLiteral("tailNumberEdit"))->setText(QStringLiteral("N1"));
    wizard.findChild<QPushButton*>(QStringLiteral("nextButton"))->click();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
    EXPECT_TRUE(wizard.windowTitle().isEmpty()) << "interior pages have no caption";
    for (int index = kConnectionPage; index < kPageCount; ++index) {
        wizard.GoToPage(index);
        ASSERT_TRUE(StepsEnded(wizard)); // a page may pause on its way out
        EXPECT_EQ(wizard.CurrentPage(), index);
        SaveArtifact(wizard, "page-" + std::to_string(index) +
                                 (index == kConnectionPage ? "-no-port" : "-no-link"));
    }
    wizard.close();
    // The window icon, for a look at it beside the pages.
    EXPECT_TRUE(wizard.windowIcon().pixmap(128).save(
        QStringLiteral(HX410_ARTIFACTS_DIR "/application-icon.png")));
}

} // namespace
