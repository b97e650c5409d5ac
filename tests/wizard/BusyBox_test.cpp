// A busy box stands over the wizard wherever it is on the screen, not at the page's offset
// in it.

#include "wizard/BusyBox.h"

#include "WizardTestSupport.h"
#include "wizard/pages/PlaceholderPage.h"

#include <QWindow>

namespace {

TEST(BusyBoxTest, ABoxIsCentredOverItsOwnersWindow) {
    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    CInstallationWizard wizard{uiThread, CTimeBase(), objects.Services(),
                               [](int index, QWidget* parent) {
                                   return new CPlaceholderPage(QString::number(index), parent);
                               }};
    wizard.show();
    wizard.GoToPage(kCoarsePage); // an interior page, under the header band
    wizard.move(137, 91);
    ASSERT_TRUE(RunEventsUntil([&] {
        return wizard.windowHandle() != nullptr && wizard.windowHandle()->isExposed() &&
               wizard.pos() == QPoint(137, 91) && !wizard.Steps().IsRunning();
    }));
    QWidget* page = wizard.Page(kCoarsePage);
    ASSERT_NE(page->mapTo(&wizard, QPoint(0, 0)), QPoint(0, 0));
    for (QWidget* owner : {page, static_cast<QWidget*>(&wizard)}) {
        CBusyBox box(owner, QStringLiteral("Setting coarse corrections on HX410..."));
        box.Show();
        const QPoint offset =
            box.Window()->frameGeometry().center() - wizard.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    }
}

} // namespace
