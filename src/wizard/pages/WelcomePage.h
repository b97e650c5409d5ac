#pragma once

#include "wizard/WizardPage.h"

#include <string>

class QGridLayout;
class QLabel;
class QLineEdit;

// Page 0: greets the installer, shows the software's part number and version, and takes
// the tail number, shop name and installer for the report and the log. The entries are
// pre-filled from the identification file of the last run on every activation and, on
// Next, kept in the installation session and written back to the file. Next always proceeds; a file
// that cannot be written is reported first. The entries take no control characters, however
// they arrive (typed, pasted, set through the accessibility interface, read from the file),
// and an entry read from the file that was not edited is written back byte for byte, even
// when its bytes are not UTF-8.
class CWelcomePage : public CWizardPage {
    Q_OBJECT

public:
    explicit CWelcomePage(QWidget* parent = nullptr);

    Step OnSetActive() override;
    Answer OnWizardNext() override;

private:
    // An entry as the identification file gave it, and the text its field showed for it.
    struct FileEntry {
        std::string bytes;
        QString shown;
    };

    QLineEdit* AddEntry(int row, const QString& label, const QString& hint, const QString& name);
    void ShowFolder();
    static void ShowFileEntry(QLineEdit* edit, const std::string& bytes, FileEntry& read);
    static std::string EntryOf(const QLineEdit* edit, const FileEntry& read);

    QLabel* versionLabel = nullptr;
    QLabel* folderLabel = nullptr;
    QLineEdit* tailNumberEdit = nullptr;
    QLineEdit* shopNameEdit = nullptr;
    QLineEdit* installerEdit = nullptr;
    FileEntry tailNumberRead;
    FileEntry shopNameRead;
    FileEntry installerRead;
    QGridLayout* entries = nullptr;
};
