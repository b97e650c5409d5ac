#include "wizard/pages/WelcomePage.h"

#include "records/FileNames.h"
#include "records/InstallationSession.h"
#include "records/PlainText.h"
#include "wizard/ApplicationTitle.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/IdentificationFile.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cerrno>
#include <system_error>

namespace {

constexpr int kTitleFontHeight = 20;
constexpr int kHeadingFontHeight = 18;
constexpr int kEditWidthUnits = 160;

QLabel* AddLabel(QVBoxLayout* layout, const QString& text, const QString& name) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setWordWrap(true);
    layout->addWidget(label);
    return label;
}

QString Printable(const QString& text) {
    return QString::fromStdString(WithoutControlCharacters(text.toStdString()));
}

// Takes every control character out of the field as soon as it arrives: typed, pasted, or
// set through the accessibility interface, which bypasses any validator.
void KeepOutControlCharacters(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& text) {
        const QString kept = Printable(text);
        if (kept == text) {
            return;
        }
        const int cursor = static_cast<int>(Printable(text.left(edit->cursorPosition())).size());
        edit->setText(kept);
        edit->setCursorPosition(cursor);
    });
}

} // namespace

CWelcomePage::CWelcomePage(QWidget* parent)
    : CWizardPage(Kind::Exterior, QString::fromUtf8(kApplicationTitle), parent) {
    setObjectName(QStringLiteral("welcomePage"));
    auto* layout = new QVBoxLayout(this);
    const int margin = DialogUnitsToPixels(this, 14, 0).width();
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(DialogUnitsToPixels(this, 0, 4).height());

    QLabel* title = AddLabel(
        layout, QStringLiteral("Welcome to the Korvan HX410 AHRS Installation/Calibration Utility"),
        QStringLiteral("welcomeTitle"));
    title->setFont(BoldFontOfHeight(this, kTitleFontHeight));
    layout->addSpacing(margin);
    AddLabel(layout, QStringLiteral("Installation Software Part Number: 47305-26"),
             QStringLiteral("partNumberLabel"));
    versionLabel = AddLabel(layout, QString(), QStringLiteral("versionLabel"));
    layout->addSpacing(margin * 2);
    QLabel* heading = AddLabel(layout,
                               QStringLiteral("Enter identifying information for calibration "
                                              "report.\n(tail number is mandatory)"),
                               QStringLiteral("identificationHeading"));
    heading->setFont(BoldFontOfHeight(this, kHeadingFontHeight));
    layout->addSpacing(margin / 2);

    entries = new QGridLayout;
    entries->setHorizontalSpacing(margin);
    entries->setColumnStretch(3, 1);
    layout->addLayout(entries);
    tailNumberEdit = AddEntry(0, QStringLiteral("Tail Number"), QStringLiteral("(mandatory)"),
                              QStringLiteral("tailNumberEdit"));
    shopNameEdit = AddEntry(1, QStringLiteral("Shop Name:"), QStringLiteral("(optional)"),
                            QStringLiteral("shopNameEdit"));
    installerEdit = AddEntry(2, QStringLiteral("Installer:"), QStringLiteral("(optional)"),
                             QStringLiteral("installerEdit"));

    layout->addStretch(1);
    AddLabel(layout, QStringLiteral("To continue, click Next."), QStringLiteral("continueLabel"));
    layout->addSpacing(margin / 2);
    folderLabel = AddLabel(layout, QString(), QStringLiteral("folderLabel"));
    QFont small = folderLabel->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    folderLabel->setFont(small);
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

QLineEdit* CWelcomePage::AddEntry(int row, const QString& label, const QString& hint,
                                  const QString& name) {
    auto* caption = new QLabel(label);
    auto* edit = new QLineEdit;
    auto* note = new QLabel(hint);
    caption->setBuddy(edit);
    edit->setObjectName(name);
    edit->setAccessibleName(QString(label).remove(QLatin1Char(':')));
    edit->setMaxLength(static_cast<int>(CIdentificationFile::kEntryLimit));
    KeepOutControlCharacters(edit);
    edit->setMinimumWidth(DialogUnitsToPixels(this, kEditWidthUnits, 0).width());
    note->setForegroundRole(QPalette::PlaceholderText);
    entries->addWidget(caption, row, 0);
    entries->addWidget(edit, row, 1);
    entries->addWidget(note, row, 2);
    return edit;
}

CWelcomePage::Step CWelcomePage::OnSetActive() {
    CIdentificationFile::Entries last;
    if (CIdentificationFile::Read(CIdentificationFile::Path(), last)) {
        ShowFileEntry(tailNumberEdit, last.tailNumber, tailNumberRead);
        ShowFileEntry(shopNameEdit, last.shopName, shopNameRead);
        ShowFileEntry(installerEdit, last.installer, installerRead);
    }
    SetWizardButtons(IWizardFrame::kNext);
    versionLabel->setText(QStringLiteral("Installation Software Version: ") +
                          QStringLiteral(HX410_VERSION));
    ShowFolder();
    tailNumberEdit->setFocus();
    co_return;
}

// Where the identification and measurement files go, and whether they can: a folder that
// cannot be written would lose the free-field measurement at Finish.
void CWelcomePage::ShowFolder() {
    const std::string directory = CurrentDirectory();
    const std::string problem = DirectoryWriteProblem(directory);
    QString text = QStringLiteral("Identification and measurement files are kept in %1")
                       .arg(QString::fromStdString(directory));
    if (!problem.empty()) {
        text += QStringLiteral("\nThis folder cannot be written (%1): measurements made now "
                               "could not be saved. Start the program from a folder you can "
                               "write to.")
                    .arg(QString::fromStdString(problem));
    }
    folderLabel->setText(text);
    folderLabel->setForegroundRole(problem.empty() ? QPalette::PlaceholderText
                                                   : QPalette::WindowText);
}

// Bytes that are not UTF-8 (a file from an 8-bit code page) are shown as Latin-1 characters
// rather than as replacement characters, and kept to be written back unchanged.
void CWelcomePage::ShowFileEntry(QLineEdit* edit, const std::string& bytes, FileEntry& read) {
    edit->setText(QString::fromStdString(Utf8FromBytes(bytes)));
    read = {bytes, edit->text()};
}

// The field's entry: the bytes read from the file while the field still shows them, otherwise
// the text in the field.
std::string CWelcomePage::EntryOf(const QLineEdit* edit, const FileEntry& read) {
    const std::string entry = edit->text() == read.shown ? read.bytes : edit->text().toStdString();
    return CIdentificationFile::Limit(entry, CIdentificationFile::kEntryLimit);
}

CWelcomePage::Answer CWelcomePage::OnWizardNext() {
    CIdentificationFile::Entries entered{EntryOf(tailNumberEdit, tailNumberRead),
                                         EntryOf(installerEdit, installerRead),
                                         EntryOf(shopNameEdit, shopNameRead)};
    CInstallationSession& info = Session();
    info.SetTailNumber(entered.tailNumber);
    info.SetInstaller(entered.installer);
    info.SetShopName(entered.shopName);
    const std::string path = CIdentificationFile::Path();
    errno = 0;
    if (!CIdentificationFile::Write(path, entered)) {
        co_await ShowWriteFailureBox(
            QStringLiteral("The identification entries could not be saved to"), path, errno,
            QStringLiteral("They are used for this installation, but the next "
                           "start of the program will not fill them in."),
            QStringLiteral("Error saving identification"));
    }
    // The entries serve this installation either way; only the next start would miss them.
    co_return kProceed;
}
