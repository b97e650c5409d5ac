#include "wizard/pages/WelcomePage.h"

#include "records/FileNames.h"
#include "wizard/ApplicationTitle.h"
#include "wizard/Geometry.h"
#include "wizard/IdentificationFile.h"
#include "wizard/InstallationInfo.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

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

std::string EntryOf(const QLineEdit* edit) {
    return CIdentificationFile::Limit(edit->text().toStdString(), CIdentificationFile::kEntryLimit);
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
    edit->setMinimumWidth(DialogUnitsToPixels(this, kEditWidthUnits, 0).width());
    note->setForegroundRole(QPalette::PlaceholderText);
    entries->addWidget(caption, row, 0);
    entries->addWidget(edit, row, 1);
    entries->addWidget(note, row, 2);
    return edit;
}

void CWelcomePage::OnSetActive() {
    CIdentificationFile::Entries last;
    if (CIdentificationFile::Read(CIdentificationFile::Path(), last)) {
        tailNumberEdit->setText(QString::fromStdString(last.tailNumber));
        shopNameEdit->setText(QString::fromStdString(last.shopName));
        installerEdit->setText(QString::fromStdString(last.installer));
    }
    SetWizardButtons(IWizardFrame::kNext);
    versionLabel->setText(QStringLiteral("Installation Software Version: ") +
                          QStringLiteral(HX410_VERSION));
    ShowFolder();
    tailNumberEdit->setFocus();
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

int CWelcomePage::OnWizardNext() {
    CIdentificationFile::Entries entered{EntryOf(tailNumberEdit), EntryOf(installerEdit),
                                         EntryOf(shopNameEdit)};
    CInstallationInfo& info = CInstallationInfo::Instance();
    info.SetTailNumber(entered.tailNumber);
    info.SetInstaller(entered.installer);
    info.SetShopName(entered.shopName);
    // A directory that cannot be written only loses the pre-filling of the next run.
    CIdentificationFile::Write(CIdentificationFile::Path(), entered);
    return kProceed;
}
