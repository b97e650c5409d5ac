#pragma once

#include "wizard/WizardPage.h"

class QGridLayout;
class QLabel;
class QLineEdit;

// Page 0: greets the installer, shows the software's part number and version, and takes
// the tail number, shop name and installer for the report and the log. The entries are
// pre-filled from the identification file of the last run on every activation and, on
// Next, kept in CInstallationInfo and written back to the file. Next always proceeds.
class CWelcomePage : public CWizardPage {
    Q_OBJECT

public:
    explicit CWelcomePage(QWidget* parent = nullptr);

    void OnSetActive() override;
    int OnWizardNext() override;

private:
    QLineEdit* AddEntry(int row, const QString& label, const QString& hint, const QString& name);
    void ShowFolder();

    QLabel* versionLabel = nullptr;
    QLabel* folderLabel = nullptr;
    QLineEdit* tailNumberEdit = nullptr;
    QLineEdit* shopNameEdit = nullptr;
    QLineEdit* installerEdit = nullptr;
    QGridLayout* entries = nullptr;
};
