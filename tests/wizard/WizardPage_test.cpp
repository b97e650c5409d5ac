#include "wizard/WizardPage.h"

#include "WizardObjects.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"

#include <QTimer>

#include <memory>

namespace {

class CLinkPage : public CWizardPage {
public:
    explicit CLinkPage(QWidget* parent) : CWizardPage(Kind::Interior, QString(), parent) {}
    using CWizardPage::ReportLostCommunication;
    using CWizardPage::Subscribe;
    int messages = 0;

protected:
    void OnMessage(int) override { ++messages; }
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
    CLinkPage* fine = &Page(kFinePage);
    wizard.GoToPage(kFinePage);
    ASSERT_FALSE(objects.link.IsLinkAlive());
    // A second loss reported while the box is open (the link came back and dropped again)
    // shows no second box: the first one already goes to the connection page.
    std::unique_ptr<CBoxAnswerer> answerer;
    bool secondReported = false;
    QTimer second;
    QObject::connect(&second, &QTimer::timeout, [&] {
        if (answerer == nullptr && qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            answerer = std::make_unique<CBoxAnswerer>(QMessageBox::Cancel);
            secondReported = fine->ReportLostCommunication();
        }
    });
    second.start(1);
    EXPECT_TRUE(fine->ReportLostCommunication());
    EXPECT_TRUE(secondReported);
    ASSERT_NE(answerer, nullptr);
    ASSERT_EQ(answerer->Boxes().size(), 1u);
    EXPECT_EQ(answerer->Boxes()[0].caption, "Error communicating with HX410.");
    EXPECT_EQ(answerer->Boxes()[0].text,
              "Lost communication with the HX410.  Returning to Comm port selection page.");
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
}

TEST_F(WizardPageTest, LinkNotificationsReachOnlyASubscribedPage) {
    CLinkPage& page = Page(kFinePage);
    wizard.GoToPage(kFinePage);
    page.Subscribe();
    objects.link.NotifySubscribers(); // posted: nothing runs before the event loop
    EXPECT_EQ(page.messages, 0);
    ASSERT_TRUE(RunEventsUntil([&] { return page.messages == 1; }));

    // Neither a notification nor the page's own message still queued when the page is
    // left is heard.
    page.PostMessage(CWizardPage::kDeviceUpdateMessage);
    page.PostMessage(CWizardPage::kPageMessage);
    page.Deactivate();
    {
        auto* gone = new CLinkPage(nullptr);
        gone->AttachFrame(&wizard);
        gone->Activate();
        gone->Subscribe();
        delete gone; // unsubscribed in its destructor: the link never posts to it
    }
    objects.link.NotifySubscribers();
    bool flushed = false; // queued behind everything above
    QMetaObject::invokeMethod(
        qApp, [&] { flushed = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(RunEventsUntil([&] { return flushed; }));
    EXPECT_EQ(page.messages, 1);
}

} // namespace
