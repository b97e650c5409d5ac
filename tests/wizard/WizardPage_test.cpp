#include "wizard/WizardPage.h"

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

TEST(WizardPageTest, LostCommunicationTellsTheInstallerAndReturnsToTheConnectionPage) {
    CQtUiThread uiThread;
    CLinkPage* fine = nullptr;
    CInstallationWizard wizard(uiThread, CTimeBase(), [&](int index, QWidget* parent) {
        auto* page = new CLinkPage(parent);
        fine = index == kFinePage ? page : fine;
        return page;
    });
    wizard.show();
    wizard.GoToPage(kFinePage);
    ASSERT_FALSE(CAhrsLink::Instance().IsLinkAlive());
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

TEST(WizardPageTest, LinkNotificationsReachOnlyASubscribedPage) {
    CLinkPage page(nullptr);
    page.Subscribe();
    CAhrsLink::Instance().NotifySubscribers(); // posted: nothing runs before the event loop
    EXPECT_EQ(page.messages, 0);
    ASSERT_TRUE(RunEventsUntil([&] { return page.messages == 1; }));

    // Neither a notification nor the page's own message still queued when the page is
    // left is heard.
    page.PostMessage(CWizardPage::kDeviceUpdateMessage);
    page.PostMessage(CWizardPage::kPageMessage);
    page.Deactivate();
    {
        CLinkPage gone(nullptr);
        gone.Subscribe();
    } // unsubscribed in its destructor: the link never posts to it
    CAhrsLink::Instance().NotifySubscribers();
    bool flushed = false; // queued behind everything above
    QMetaObject::invokeMethod(
        qApp, [&] { flushed = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(RunEventsUntil([&] { return flushed; }));
    EXPECT_EQ(page.messages, 1);
}

} // namespace
