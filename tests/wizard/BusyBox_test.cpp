// Where busy boxes stand: over the wizard's window wherever that is on the screen, and clear
// of what the technician watches.

#include "wizard/BusyBox.h"

#include "WizardTestSupport.h"
#include "wizard/Geometry.h"

#include <QRect>
#include <QWindow>

#include <cstdlib>

namespace {

// A wizard-like window away from the screen's origin: a page under a header band, and a
// compass in the middle of the page.
class BusyBoxTest : public ::testing::Test {
protected:
    BusyBoxTest() {
        window.setGeometry(137, 91, 600, 400);
        page->setGeometry(0, 60, 600, 300);
        compass->setGeometry(250, 70, 100, 100);
        window.show();
        EXPECT_TRUE(RunEventsUntil([&] {
            return window.windowHandle() != nullptr && window.windowHandle()->isExposed();
        }));
    }

    static QRect OnScreen(const QWidget* widget) {
        return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
    }

    QWidget window;
    QWidget* page = new QWidget(&window);
    QWidget* compass = new QWidget(page);
};

TEST_F(BusyBoxTest, ABoxIsCentredOverItsOwnersWindow) {
    for (QWidget* owner : {page, &window}) {
        SCOPED_TRACE(owner == page ? "owned by the page" : "owned by the window");
        CBusyBox box(owner, QStringLiteral("Setting coarse corrections on HX410..."));
        box.Show();
        const QPoint offset =
            box.Window()->frameGeometry().center() - window.frameGeometry().center();
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
    EXPECT_TRUE(window.geometry().contains(shown));
    EXPECT_LE(std::abs(shown.center().x() - window.geometry().center().x()), 1);

    compass->hide(); // nothing to keep clear of: centred
    box.Show();
    EXPECT_LE((box.Window()->frameGeometry().center() - window.frameGeometry().center())
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
