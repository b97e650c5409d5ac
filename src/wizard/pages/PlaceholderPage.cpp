#include "wizard/pages/PlaceholderPage.h"

#include "wizard/Geometry.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int kTitleFontHeight = 18;

} // namespace

CPlaceholderPage::CPlaceholderPage(const QString& title, QWidget* parent)
    : CWizardPage(Kind::Interior, QString(), parent) {
    setObjectName(QStringLiteral("placeholderPage"));
    auto* layout = new QVBoxLayout(this);
    const int margin = DialogUnitsToPixels(this, 14, 0).width();
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(margin);
    auto* heading = new QLabel(title);
    heading->setObjectName(QStringLiteral("pageTitle"));
    heading->setFont(BoldFontOfHeight(this, kTitleFontHeight));
    layout->addWidget(heading);
    auto* note = new QLabel(QStringLiteral("This step is not available in this build."));
    note->setObjectName(QStringLiteral("placeholderText"));
    layout->addWidget(note);
    layout->addStretch(1);
}

CPlaceholderPage::Step CPlaceholderPage::OnSetActive() {
    SetWizardButtons(IWizardFrame::kBack);
    co_return;
}
