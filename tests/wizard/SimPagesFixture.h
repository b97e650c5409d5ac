#pragma once

// Tests of the measuring pages against the simulated unit (see CSimulatedLinkSuite): the
// wizard with its standard pages.

#include "SimulatedLinkSuite.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "records/SettingsStore.h"
#include "wizard/InstallationWizard.h"
#include "wizard/PageIndex.h"
#include "wizard/QtUiThread.h"
#include "wizard/StandardPages.h"
#include "wizard/WizardPage.h"

#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class SimPagesTest : public CSimulatedLinkSuite {
protected:
    explicit SimPagesTest(UnitPath path = UnitPath::InProcess)
        : CSimulatedLinkSuite(path),
          wizard(*uiThread, CTimeBase(kScale), objects.Services(), MakeStandardPage) {
        Session().SetTailNumber("N410KT");
        wizard.show();
    }
    void TearDown() override { Link().Close(); }

    // A simulated unit without noise or warm-up on the next free COM link, connected on the
    // connection page.
    CTestUnit& Connect(const std::vector<std::string>& options = {}) {
        std::vector<std::string> all = {"--noise", "0", "--warmup", "0"};
        all.insert(all.end(), options.begin(), options.end());
        CTestUnit& unit = StartUnit(all);
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(WaitConnected());
        return unit;
    }
    // On the connection page, connected, and the RQ270 has answered, as its buttons need.
    bool WaitConnected() {
        return RunEventsUntil([&] {
            return wizard.CurrentPage() == kConnectionPage && Text("statusField") == "Connected" &&
                   State().GetMagVersion().rfind("RQ270", 0) == 0;
        });
    }

    // Presses a connection page button that leads to `page`, once it can be used.
    bool GoOnBy(const char* buttonName, int page) {
        if (!RunEventsUntil([&] { return Usable(buttonName); })) {
            return false;
        }
        Find<QPushButton>(buttonName)->click();
        return RunEventsUntil([&] { return wizard.CurrentPage() == page; });
    }

    // A widget of the current page, else of the whole wizard.
    template <class Widget> Widget* Find(const char* name) {
        const QString objectName = QString::fromLatin1(name);
        const QWidget* page = wizard.Page(wizard.CurrentPage());
        auto* widget = page != nullptr ? page->findChild<Widget*>(objectName) : nullptr;
        widget = widget != nullptr ? widget : wizard.findChild<Widget*>(objectName);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    std::string Text(const char* fieldName) {
        return Find<QLineEdit>(fieldName)->text().toStdString();
    }
    bool Usable(const char* buttonName) {
        auto* button = Find<QPushButton>(buttonName);
        return button->isVisible() && button->isEnabled();
    }
    // The wizard buttons that can be pressed, as Back 1, Next 2, Finish 4.
    int WizardButtons() {
        return (Usable("backButton") ? IWizardFrame::kBack : 0) |
               (Usable("nextButton") ? IWizardFrame::kNext : 0) |
               (Usable("finishButton") ? IWizardFrame::kFinish : 0);
    }

    const CScratchDirectory directory;
    CInstallationWizard wizard;
};
