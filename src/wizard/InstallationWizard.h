#pragma once

#include "device/MessageTarget.h"
#include "wizard/PageIndex.h"
#include "wizard/StepRunner.h"
#include "wizard/WizardFrame.h"
#include "wizard/WizardPage.h"

#include <QDialog>

#include <array>
#include <functional>

class CArtworkView;
class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;

// The installation wizard: a classic wizard frame holding the eight pages in PageIndex
// order, with a header band over the interior pages, the watermark beside the exterior
// (welcome) page, and the buttons Back, Next, Finish and Cancel. Back and Next move by
// index; any page can be selected with GoToPage. When the link is lost while a page that
// works with the unit runs a step, the frame cancels the step, lets it unwind, then tells
// the installer once and goes to the connection page. It is shown by the application's event
// loop; `finished` gives its result, the process exit code, once it has closed.
class CInstallationWizard : public QDialog, public IWizardFrame, public IMessageTarget {
    Q_OBJECT

public:
    // The link's notifications to the frame (a posted event of this type).
    static constexpr int kLinkMessage = 2026;
    // Results of the run (the modal sheet's values).
    static constexpr int kResultCancelled = 0;
    static constexpr int kResultFinished = 1;

    // Builds the page at `index` as a child of `parent` (tests substitute their own pages).
    using PageMaker = std::function<CWizardPage*(int index, QWidget* parent)>;

    // The production wizard with its eight pages, working with `services`.
    CInstallationWizard(IUiThread& uiThread, CTimeBase timeBase, const WizardServices& services,
                        QWidget* parent = nullptr);
    CInstallationWizard(IUiThread& uiThread, CTimeBase timeBase, const WizardServices& services,
                        const PageMaker& makePage, QWidget* parent = nullptr);
    ~CInstallationWizard() override;

    CWizardPage* Page(int index) const;

    // IWizardFrame.
    void SetWizardButtons(int flags) override;
    bool GoToPage(int index) override;
    void EndWizard(int exitCode) override;
    bool RunStep(std::function<QCoro::Task<void>()> step) override;
    CStepRunner& Steps() override { return steps; }
    void LossReported() override { lossPending = false; }
    int CurrentPage() const override { return current; }
    int PreviousPage() const override { return previous; }
    IUiThread& UiThread() override { return uiThread; }
    const CTimeBase& TimeBase() const override { return timeBase; }
    const WizardServices& Services() const override { return services; }

    // The frame's buttons, as a person presses them.
    void PressBack();
    void PressNext();
    void PressFinish();
    // Cancel and the window's close button: asks the page, then closes.
    void reject() override;

    // IMessageTarget: the link came up or was lost (any thread).
    void PostMessage(int message) override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildFrame();
    QPushButton* AddButton(const QString& text, const QString& name);
    void ShowPageKind(const CWizardPage& page);
    QCoro::Task<void> Move(int from, int step, CWizardPage::Answer answer);
    QCoro::Task<void> EndAfter(int from, CWizardPage::Answer answer, int result);
    void SettleUnlessStepRuns();
    // Carries out the page change or end that the step just ended asked for.
    QCoro::Task<void> Settle();
    void PlaceNotice();

    IUiThread& uiThread;
    CTimeBase timeBase;
    WizardServices services;
    std::array<CWizardPage*, kPageCount> pages{}; // children of `stack`
    int current = -1;
    int previous = -1;
    int requestedPage = -1; // a page change asked for during the running step
    int requestedEnd = -1;  // an end asked for (its result), else -1
    bool ended = false;
    bool lossPending = false;   // a step was cancelled for a lost link
    bool reportingLoss = false; // the frame's lost-communication box is open
    bool shownOnce = false;

    CArtworkView* header = nullptr;
    QFrame* headerLine = nullptr;
    CArtworkView* watermark = nullptr;
    QStackedWidget* stack = nullptr;
    QPushButton* backButton = nullptr;
    QPushButton* nextButton = nullptr;
    QPushButton* finishButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* notice = nullptr;
    CStepRunner steps; // the destructor cancels its step while the pages are whole
};
