#include "wizard/WizardPage.h"

#include "WizardTestSupport.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"

namespace {

class CLinkPage : public CWizardPage {
public:
    explicit CLinkPage(QWidget* parent) : CWizardPage(Kind::Interior, QString(), parent) {}
    using CWizardPage::Subscribe;
    int messages = 0;
    bool reportLoss = false;

protected:
    Step OnMessage(int) override {
        ++messages;
        if (reportLoss) {
            co_await ReportLostCommunication();
        }
    }
};

// A wizard of pages that count the link's notifications, with a link that is not open.
class WizardPageTest : public ::testing::Test {
protected:
    WizardPageTest() { wizard.show(); }
    CLinkPage& Page(int index) { return *static_cast<CLinkPage*>(wizard.Page(index)); }

    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    CInstallationWizard wizard{uiThread, CTimeBase(), objects.Services(),
                               [](int, QWidget* parent) { return new CLinkPage(parent); }};
};

TEST_F(WizardPageTest, LostCommunicationTellsTheInstallerAndReturnsToTheConnectionPage) {
    CLinkPage& fine = Page(kFinePage);
    wizard.GoToPage(kFinePage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_FALSE(objects.link.IsLinkAlive());
    fine.reportLoss = true;
    fine.Subscribe();
    // A second loss reported while the box is open (the link came back and dropped again)
    // shows no second box: the first one already goes to the connection page.
    objects.link.NotifySubscribers();
    ASSERT_TRUE(RunEventsUntil([] { return QApplication::activeModalWidget() != nullptr; }));
    objects.link.NotifySubscribers();
    const CBoxAnswerer answerer(QMessageBox::Cancel);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    bool flushed = false; // queued behind everything above
    QMetaObject::invokeMethod(
        qApp, [&] { flushed = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(RunEventsUntil([&] { return flushed && !wizard.Steps().IsRunning(); }));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
    EXPECT_EQ(answerer.Boxes()[0].text,
              "Lost communication with the HX410.  Returning to Comm port selection page.");
    EXPECT_EQ(fine.messages, 1) << "the page left hears no more of the link";
}

} // namespace
