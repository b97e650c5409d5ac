#pragma once

// Wizard tests against the simulated unit (see CSimulatedLinkSuite): the connection page at
// index 1, a page that watches the link at index 4 and the verification page at index 7.

#include "SimulatedLinkSuite.h"
#include "WizardTestSupport.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "records/SettingsStore.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"
#include "wizard/WizardPage.h"
#include "wizard/pages/ConnectionPage.h"
#include "wizard/pages/VerifyPage.h"

#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The welcome page's place: counts its activations and its own ticks.
class CCountingPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    Step OnSetActive() override {
        ++activations;
        StartPageTimer();
        co_return;
    }
    int activations = 0;
    int ticks = 0;

protected:
    Step OnTick() override {
        ++ticks;
        co_return;
    }
};

// A page that works with the unit, as the calibration pages do: it listens to the link
// while active and takes the wizard's recovery path when the link is lost.
class CWatchingPage : public CWizardPage {
public:
    using CWizardPage::CWizardPage;
    Step OnSetActive() override {
        Subscribe();
        co_return;
    }

protected:
    Step OnMessage(int message) override {
        if (message == kDeviceUpdateMessage) {
            co_await ReportLostCommunication();
        }
    }
};

class SimWizardTest : public CSimulatedLinkSuite {
protected:
    SimWizardTest()
        : wizard(*uiThread, CTimeBase(kScale), objects.Services(),
                 [this](int index, QWidget* parent) -> CWizardPage* {
                     switch (index) {
                     case kWelcomePage:
                         return welcome =
                                    new CCountingPage(CWizardPage::Kind::Interior, {}, parent);
                     case kConnectionPage:
                         return new CConnectionPage(parent);
                     case kCoarsePage:
                         return new CWatchingPage(CWizardPage::Kind::Interior, {}, parent);
                     case kVerifyPage:
                         return new CVerifyPage(parent);
                     default:
                         return nullptr;
                     }
                 }) {
        Session().SetTailNumber("N410KT");
        answerer.emplace(QMessageBox::Ok);
        wizard.show();
    }
    void TearDown() override { Link().Close(); }

    // Every box is answered, so none can hold a test up: with OK unless a test asks otherwise.
    void AnswerBoxesWith(QMessageBox::StandardButton answer) { answerer.emplace(answer); }
    const std::vector<CBoxAnswerer::Box>& Boxes() const { return answerer->Boxes(); }

    CTestUnit& StartSim(const std::vector<std::string>& options = {}) { return StartUnit(options); }

    template <class Widget> Widget* Find(const char* name) {
        auto* widget = wizard.findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    std::string Text(const char* fieldName) {
        return Find<QLineEdit>(fieldName)->text().toStdString();
    }
    bool Shown(const char* name) { return Find<QWidget>(name)->isVisible(); }
    bool Usable(const char* buttonName) {
        auto* button = Find<QPushButton>(buttonName);
        return button->isVisible() && button->isEnabled();
    }
    // Connected, showing this HX410 version.
    bool ConnectedTo(const std::string& ahrsVersion) {
        return Text("statusField") == "Connected" && Text("ahrsVersionField") == ahrsVersion &&
               Shown("ahrsVersionField");
    }

    const CScratchDirectory directory;
    std::optional<CBoxAnswerer> answerer;
    CCountingPage* welcome = nullptr;
    CInstallationWizard wizard;
};
