#include "wizard/InstallationWizard.h"

#include "wizard/Artwork.h"
#include "wizard/ArtworkView.h"
#include "wizard/Geometry.h"
#include "wizard/StandardPages.h"
#include "wizard/WizardPage.h"

#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The page area of every page, in dialog units.
constexpr int kPageWidthUnits = 593;
constexpr int kPageHeightUnits = 279;
// Logical pixels at 96 dots per inch.
constexpr int kHeaderHeight = 58;
constexpr int kWatermarkWidth = 164;
constexpr int kButtonWidthUnits = 50;
constexpr int kButtonHeightUnits = 14;
constexpr int kNoticeX = 10;
constexpr int kNoticeAboveBottom = 30;
constexpr int kNoticeWidth = 190;
constexpr int kNoticeHeight = 22;

const char kNoticeText[] = "Korvan Avionics \u00b7 HX410 AHRS";

int Scaled(const QWidget* widget, int pixels) {
    return static_cast<int>(std::lround(pixels * ScreenScale(widget)));
}

QFrame* EtchedLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

CInstallationWizard::CInstallationWizard(IUiThread& uiThread, CTimeBase timeBase,
                                         const WizardServices& services, QWidget* parent)
    : CInstallationWizard(uiThread, timeBase, services, &MakeStandardPage, parent) {}

CInstallationWizard::CInstallationWizard(IUiThread& uiThread, CTimeBase timeBase,
                                         const WizardServices& services, const PageMaker& makePage,
                                         QWidget* parent)
    : QDialog(parent), uiThread(uiThread), timeBase(timeBase), services(services) {
    setObjectName(QStringLiteral("installationWizard"));
    setWindowIcon(Artwork::ApplicationIcon());
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    BuildFrame();
    for (int index = 0; index < kPageCount; ++index) {
        CWizardPage* page = makePage ? makePage(index, stack) : nullptr;
        if (page == nullptr) {
            // A page that cannot be made leaves an empty page in its place, so that every
            // other page keeps its index.
            page = new CWizardPage(CWizardPage::Kind::Interior, QString(), stack);
        }
        page->AttachFrame(this);
        pages[index] = page;
        stack->addWidget(page);
    }
    SetWizardButtons(0);
}

CInstallationWizard::~CInstallationWizard() {
    // The pages use the frame's objects until they are gone (the mount page resets the
    // magnetometer on its way out): they go while the frame is still whole.
    delete stack;
    pages = {};
}

void CInstallationWizard::BuildFrame() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    header = new CArtworkView(&Artwork::HeaderPicture, this);
    header->setObjectName(QStringLiteral("headerBand"));
    header->setFixedHeight(Scaled(this, kHeaderHeight));
    root->addWidget(header);
    headerLine = EtchedLine(this);
    root->addWidget(headerLine);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    watermark = new CArtworkView(&Artwork::WatermarkPicture, this);
    watermark->setObjectName(QStringLiteral("watermark"));
    watermark->setFixedWidth(Scaled(this, kWatermarkWidth));
    body->addWidget(watermark);
    stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("pageStack"));
    body->addWidget(stack, 1);
    root->addLayout(body, 1);

    root->addWidget(EtchedLine(this));
    auto* buttons = new QHBoxLayout;
    const int margin = Scaled(this, 10);
    buttons->setContentsMargins(margin, margin, margin, margin);
    buttons->setSpacing(0);
    buttons->addStretch(1);
    backButton = AddButton(QStringLiteral("< &Back"), QStringLiteral("backButton"));
    nextButton = AddButton(QStringLiteral("&Next >"), QStringLiteral("nextButton"));
    finishButton = AddButton(QStringLiteral("Finish"), QStringLiteral("finishButton"));
    cancelButton = AddButton(QStringLiteral("Cancel"), QStringLiteral("cancelButton"));
    buttons->addWidget(backButton);
    buttons->addWidget(nextButton);
    buttons->addWidget(finishButton);
    buttons->addSpacing(Scaled(this, 8));
    buttons->addWidget(cancelButton);
    root->addLayout(buttons);
    connect(backButton, &QPushButton::clicked, this, &CInstallationWizard::PressBack);
    connect(nextButton, &QPushButton::clicked, this, &CInstallationWizard::PressNext);
    connect(finishButton, &QPushButton::clicked, this, &CInstallationWizard::PressFinish);
    connect(cancelButton, &QPushButton::clicked, this, &CInstallationWizard::reject);

    notice = new QLabel(this);
    notice->setObjectName(QStringLiteral("noticeLabel"));
    notice->setForegroundRole(QPalette::PlaceholderText);
    notice->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The page area of an interior page is the dialog layout's size; the frame's size
    // follows from it and stays the same on every page.
    const QSize page = DialogUnitsToPixels(this, kPageWidthUnits, kPageHeightUnits);
    const int height = header->height() + headerLine->sizeHint().height() + page.height() +
                       headerLine->sizeHint().height() + buttons->sizeHint().height();
    resize(page.width(), height);
    setMinimumSize(page.width(), height);
    PlaceNotice();
}

QPushButton* CInstallationWizard::AddButton(const QString& text, const QString& name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    QString plain = text;
    button->setAccessibleName(
        plain.remove(QLatin1Char('&')).remove(QLatin1Char('<')).remove(QLatin1Char('>')).trimmed());
    button->setAutoDefault(false);
    button->setMinimumSize(DialogUnitsToPixels(this, kButtonWidthUnits, kButtonHeightUnits));
    return button;
}

int CInstallationWizard::Run() {
    return exec();
}

CWizardPage* CInstallationWizard::Page(int index) const {
    return index >= 0 && index < kPageCount ? pages[index] : nullptr;
}

void CInstallationWizard::SetWizardButtons(int flags) {
    const bool finish = (flags & kFinish) != 0;
    backButton->setEnabled((flags & kBack) != 0);
    nextButton->setVisible(!finish);
    nextButton->setEnabled(!finish && (flags & kNext) != 0);
    finishButton->setVisible(finish);
    finishButton->setEnabled(finish);
    (finish ? finishButton : nextButton)->setDefault(true);
}

bool CInstallationWizard::GoToPage(int index) {
    if (ended || index < 0 || index >= kPageCount) {
        return false;
    }
    const std::uint64_t serial = ++navigation;
    if (current >= 0) {
        pages[current]->Deactivate();
        if (ended || serial != navigation) {
            return true; // the page left for another page on its way out
        }
    }
    current = index;
    stack->setCurrentIndex(index);
    ShowPageKind(*pages[index]);
    pages[index]->Activate();
    return true;
}

void CInstallationWizard::EndWizard(int exitCode) {
    Close(exitCode);
}

void CInstallationWizard::ShowPageKind(const CWizardPage& page) {
    const bool exterior = page.PageKind() == CWizardPage::Kind::Exterior;
    header->setVisible(!exterior);
    headerLine->setVisible(!exterior);
    watermark->setVisible(exterior);
    layout()->activate(); // the page area takes its new place before anything paints
    // Interior pages have no title: the caption is empty there (the window system shows
    // the application's display name in its place).
    setWindowTitle(exterior ? page.Title() : QString());
}

void CInstallationWizard::PressBack() {
    if (ended || current < 0 || !backButton->isEnabled()) {
        return;
    }
    const std::uint64_t serial = navigation;
    const int from = current;
    MoveBy(-1, pages[from]->OnWizardBack(), serial, from);
}

void CInstallationWizard::PressNext() {
    if (ended || current < 0 || !nextButton->isEnabled() || !nextButton->isVisible()) {
        return;
    }
    const std::uint64_t serial = navigation;
    const int from = current;
    MoveBy(+1, pages[from]->OnWizardNext(), serial, from);
}

void CInstallationWizard::MoveBy(int step, int answer, std::uint64_t serial, int from) {
    if (ended || serial != navigation || answer != CWizardPage::kProceed) {
        return; // stayed, or the handler chose the page itself
    }
    GoToPage(from + step);
}

void CInstallationWizard::PressFinish() {
    if (ended || current < 0 || !finishButton->isEnabled() || !finishButton->isVisible()) {
        return;
    }
    const std::uint64_t serial = navigation;
    const int answer = pages[current]->OnWizardFinish();
    if (!ended && serial == navigation && answer == CWizardPage::kProceed) {
        Close(kResultFinished);
    }
}

void CInstallationWizard::reject() {
    if (ended) {
        return;
    }
    if (current >= 0) {
        const std::uint64_t serial = navigation;
        const int answer = pages[current]->OnQueryCancel();
        if (ended || serial != navigation || answer != CWizardPage::kProceed) {
            return;
        }
    }
    Close(kResultCancelled);
}

void CInstallationWizard::Close(int result) {
    if (ended) {
        return;
    }
    ended = true;
    if (current >= 0) {
        pages[current]->Deactivate();
    }
    done(result);
}

void CInstallationWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce) {
        return;
    }
    shownOnce = true;
    move(CentredPosition(this, parentWidget()));
    if (current < 0 && !ended) {
        GoToPage(kWelcomePage);
    }
}

void CInstallationWizard::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceNotice();
}

void CInstallationWizard::PlaceNotice() {
    const QRect place(Scaled(this, kNoticeX), height() - Scaled(this, kNoticeAboveBottom),
                      Scaled(this, kNoticeWidth), Scaled(this, kNoticeHeight));
    notice->setGeometry(place);
    notice->setText(notice->fontMetrics().elidedText(QString::fromUtf8(kNoticeText), Qt::ElideRight,
                                                     place.width()));
}
