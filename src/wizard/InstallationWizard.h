#pragma once

#include "wizard/PageIndex.h"
#include "wizard/WizardFrame.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>

class CArtworkView;
class CWizardPage;
class QFrame;
class QLabel;
class QPushButton;
class QStackedWidget;

// The installation wizard: a classic wizard frame holding the eight pages in PageIndex
// order, with a header band over the interior pages, the watermark beside the exterior
// (welcome) page, and the buttons Back, Next, Finish and Cancel. Back and Next move by
// index; any page can be selected with GoToPage. Run shows it modally and returns its
// result, the process exit code.
class CInstallationWizard : public QDialog, public IWizardFrame {
    Q_OBJECT

public:
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

    // Shows the wizard, starting on the welcome page, and returns when it has closed.
    int Run();

    CWizardPage* Page(int index) const;

    // IWizardFrame.
    void SetWizardButtons(int flags) override;
    bool GoToPage(int index) override;
    void EndWizard(int exitCode) override;
    int CurrentPage() const override { return current; }
    IUiThread& UiThread() override { return uiThread; }
    const CTimeBase& TimeBase() const override { return timeBase; }
    const WizardServices& Services() const override { return services; }

    // The frame's buttons, as a person presses them.
    void PressBack();
    void PressNext();
    void PressFinish();
    // Cancel and the window's close button: asks the page, then closes.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildFrame();
    QPushButton* AddButton(const QString& text, const QString& name);
    void ShowPageKind(const CWizardPage& page);
    void MoveBy(int step, int answer, std::uint64_t serial, int from);
    void Close(int result);
    void PlaceNotice();

    IUiThread& uiThread;
    CTimeBase timeBase;
    WizardServices services;
    std::array<CWizardPage*, kPageCount> pages{}; // children of `stack`
    int current = -1;
    std::uint64_t navigation = 0; // counts page changes, so a handler's own move wins
    bool ended = false;
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
};
