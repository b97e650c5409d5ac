#include "wizard/InstallationWizard.h"

#include "device/AhrsLink.h"
#include "wizard/Artwork.h"
#include "wizard/ArtworkView.h"
#include "wizard/ErrorBox.h"
#include "wizard/Geometry.h"
#include "wizard/StandardPages.h"
#include "wizard/WizardPage.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

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
    : QDialog(parent), uiThread(uiThread), timeBase(timeBase), services(services),
      steps(services.link, timeBase) {
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
    // First in the link's list: a loss reaches the frame before any page.
    services.link.Subscribe(this, kLinkMessage);
}

CInstallationWizard::~CInstallationWizard() {
    // A step still running unwinds now, at once, while its page is there; then the pages
    // go while the frame is still whole (the mount page resets the magnetometer on its way
    // out).
    UnsubscribeAll();
    ended = true;
    steps.Cancel();
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
    requestedPage = index;
    SettleUnlessStepRuns();
    return true;
}

void CInstallationWizard::EndWizard(int exitCode) {
    if (ended) {
        return;
    }
    requestedEnd = exitCode;
    SettleUnlessStepRuns();
}

// A request while a step runs is carried out when it ends; otherwise at once.
void CInstallationWizard::SettleUnlessStepRuns() {
    if (!steps.IsRunning()) {
        RunStep([]() -> QCoro::Task<void> { co_return; });
    }
}

bool CInstallationWizard::RunStep(std::function<QCoro::Task<void>()> step) {
    return !ended && steps.Start(std::move(step), [this] { return Settle(); });
}

void CInstallationWizard::PostMessage(int message) {
    QCoreApplication::postEvent(this, new QEvent(static_cast<QEvent::Type>(message)));
}

bool CInstallationWizard::event(QEvent* event) {
    if (event->type() != kLinkMessage) {
        return QDialog::event(event);
    }
    // A step of a page that works with the unit ends at once: nothing it would still do
    // (send, wait, ask) makes sense without the unit.
    if (!ended && steps.IsRunning() && !reportingLoss && current >= 0 &&
        pages[current]->LeavesOnLinkLoss() && !pages[current]->IsReportingLoss() &&
        !services.link.IsLinkAlive()) {
        lossPending = true;
        steps.Cancel();
    }
    return true;
}

QCoro::Task<void> CInstallationWizard::Settle() {
    while (!ended) {
        // A step cancelled for a lost link has unwound: the frame's part waits again.
        steps.Renew();
        if (std::exchange(lossPending, false)) {
            // Whatever the cancelled step chose, the recovery path decides.
            requestedPage = kConnectionPage;
            requestedEnd = -1;
            reportingLoss = true;
            co_await ShowLostCommunicationBox(steps.Token());
            reportingLoss = false;
            continue;
        }
        if (requestedEnd >= 0) {
            const int result = std::exchange(requestedEnd, -1);
            ended = true;
            if (current >= 0 && pages[current]->IsActivePage()) {
                co_await pages[current]->Deactivate();
            }
            done(result);
            co_return;
        }
        if (requestedPage < 0) {
            co_return;
        }
        const int index = std::exchange(requestedPage, -1);
        if (current >= 0 && pages[current]->IsActivePage()) {
            co_await pages[current]->Deactivate();
            if (lossPending || requestedPage >= 0 || requestedEnd >= 0) {
                if (requestedPage < 0 && requestedEnd < 0) {
                    requestedPage = index; // where it was going, unless the loss decides
                }
                continue; // the page chose another way on its way out, or the link was lost
            }
        }
        if (ended) {
            co_return;
        }
        previous = current;
        current = index;
        stack->setCurrentIndex(index);
        ShowPageKind(*pages[index]);
        co_await pages[index]->Activate();
    }
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
    if (ended || current < 0 || !backButton->isEnabled() || steps.IsRunning()) {
        return;
    }
    const int from = current;
    RunStep([this, from]() -> QCoro::Task<void> {
        return Move(from, -1, pages[from]->OnWizardBack());
    });
}

void CInstallationWizard::PressNext() {
    if (ended || current < 0 || !nextButton->isEnabled() || !nextButton->isVisible() ||
        steps.IsRunning()) {
        return;
    }
    const int from = current;
    RunStep([this, from]() -> QCoro::Task<void> {
        return Move(from, +1, pages[from]->OnWizardNext());
    });
}

// Takes the default move unless the handler stayed or chose the page itself.
QCoro::Task<void> CInstallationWizard::Move(int from, int step, CWizardPage::Answer answer) {
    const int result = co_await std::move(answer);
    if (result == CWizardPage::kProceed && requestedPage < 0 && requestedEnd < 0 &&
        current == from) {
        requestedPage = from + step;
    }
}

void CInstallationWizard::PressFinish() {
    if (ended || current < 0 || !finishButton->isEnabled() || !finishButton->isVisible() ||
        steps.IsRunning()) {
        return;
    }
    const int from = current;
    RunStep([this, from]() -> QCoro::Task<void> {
        return EndAfter(from, pages[from]->OnWizardFinish(), kResultFinished);
    });
}

// Ends the wizard with `result` unless the handler stayed or chose the way itself.
QCoro::Task<void> CInstallationWizard::EndAfter(int from, CWizardPage::Answer answer, int result) {
    const int proceed = co_await std::move(answer);
    if (proceed == CWizardPage::kProceed && requestedPage < 0 && requestedEnd < 0 &&
        current == from) {
        requestedEnd = result;
    }
}

void CInstallationWizard::reject() {
    if (ended || steps.IsRunning()) {
        return; // the wizard does not close while a step runs
    }
    if (current < 0) {
        EndWizard(kResultCancelled);
        return;
    }
    const int from = current;
    RunStep([this, from]() -> QCoro::Task<void> {
        return EndAfter(from, pages[from]->OnQueryCancel(), kResultCancelled);
    });
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
