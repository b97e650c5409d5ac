// Where busy boxes stand: over the wizard wherever it is on the screen, and clear of what
// the technician watches.

#include "wizard/BusyBox.h"

#include "WizardTestSupport.h"
#include "wizard/Geometry.h"
#include "wizard/InstallationWizard.h"
#include "wizard/PageIndex.h"
#include "wizard/QtUiThread.h"
#include "wizard/pages/PlaceholderPage.h"

#include <QRect>
#include <QWindow>

#include <cstdlib>

namespace {

// The wizard away from the screen's origin, on an interior page (under the header band)
// with a compass in its middle.
class BusyBoxTest : public ::testing::Test {
protected:
    BusyBoxTest() {
        wizard.show();
        wizard.GoToPage(kCoarsePage);
        EXPECT_TRUE(StepsEnded(wizard));
        wizard.move(137, 91);
        page = wizard.Page(kCoarsePage);
        compass = new QWidget(page);
        compass->setGeometry(page->width() / 2 - 50, page->height() / 2 - 50, 100, 100);
        compass->show();
        EXPECT_TRUE(RunEventsUntil([&] {
            return wizard.windowHandle() != nullptr && wizard.windowHandle()->isExposed() &&
                   wizard.pos() == QPoint(137, 91);
        }));
        EXPECT_NE(page->mapTo(&wizard, QPoint(0, 0)), QPoint(0, 0)); // a page is offset in it
    }

    static QRect OnScreen(const QWidget* widget) {
        return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
    }

    CQtUiThread uiThread;
    CWizardObjects objects{uiThread, CTimeBase()};
    CInstallationWizard wizard{uiThread, CTimeBase(), objects.Services(),
                               [](int index, QWidget* parent) {
                                   return new CPlaceholderPage(QString::number(index), parent);
                               }};
    QWidget* page = nullptr;
    QWidget* compass = nullptr;
};

TEST_F(BusyBoxTest, ABoxIsCentredOverItsOwnersWindow) {
    for (QWidget* owner : {page, static_cast<QWidget*>(&wizard)}) {
        SCOPED_TRACE(owner == page ? "owned by the page" : "owned by the wizard");
        CBusyBox box(owner, QStringLiteral("Setting coarse corrections on HX410..."));
        box.Show();
        const QPoint offset =
            box.Window()->frameGeometry().center() - wizard.frameGeometry().center();
        EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
    }
}

TEST_F(BusyBoxTest, ABoxStandsClearOfWhatTheTechnicianWatches) {
    CBusyBox box(page, QStringLiteral("Collecting East Data..."));
    box.SetProgress(3, 10);
    box.KeepClearOf({compass});
    box.Show();
    const QRect shown = box.Window()->frameGeometry();
    EXPECT_FALSE(shown.intersects(OnScreen(compass)));
    EXPECT_TRUE(wizard.geometry().contains(shown));
    EXPECT_LE(std::abs(shown.center().x() - wizard.geometry().center().x()), 1);

    compass->hide(); // nothing to keep clear of: centred
    box.Show();
    EXPECT_LE((box.Window()->frameGeometry().center() - wizard.frameGeometry().center())
                  .manhattanLength(),
              2);
}

TEST(ClearOfTest, MovesBelowOrAboveWithinTheWindowOrStays) {
    const QRect window(100, 100, 600, 400);  // y 100..499
    const QRect compass(300, 250, 200, 100); // y 250..349
    const struct {
        const char* what;
        QRect box;
        QRect keepClear;
        QPoint expected;
    } cases[] = {
        {"not covering", QRect(300, 120, 200, 60), compass, QPoint(300, 120)},
        {"room below", QRect(300, 270, 200, 60), compass, QPoint(300, 354)},
        {"no room below, room above", QRect(300, 270, 200, 120), QRect(300, 250, 200, 200),
         QPoint(300, 126)},
        {"no room either way", QRect(300, 200, 200, 200), QRect(300, 150, 200, 300),
         QPoint(300, 200)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClearOf(c.box, c.keepClear, window, 4), c.expected) << c.what;
    }
}

} // namespace
