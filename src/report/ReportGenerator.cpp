#include "report/ReportGenerator.h"

#include "report/DrawField.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr double kLetterWidth = 8.5; // inches
constexpr double kLetterHeight = 11.0;

// Names the job after the report, wherever the device keeps such a name.
void NameJob(QPagedPaintDevice& device, const QString& name) {
    if (auto* printer = dynamic_cast<QPrinter*>(&device)) {
        printer->setDocName(name);
    } else if (auto* pdf = dynamic_cast<QPdfWriter*>(&device)) {
        pdf->setTitle(name);
    }
}

} // namespace

void CReportGenerator::Clear() {
    sections.clear();
    name.clear();
}

int CReportGenerator::AddContainer(CContainer::Type type) {
    sections.push_back(std::make_unique<CContainer>(type));
    return SectionCount() - 1;
}

bool CReportGenerator::AddObject(std::unique_ptr<CDrawObject> object, int section) {
    if (section < 0 || section >= SectionCount()) {
        return false;
    }
    sections[static_cast<std::size_t>(section)]->Add(std::move(object));
    return true;
}

void CReportGenerator::SetFieldText(const QString& fieldName, const QString& text) {
    for (const auto& section : sections) {
        for (const auto& object : section->Objects()) {
            if (object->Name() == fieldName) {
                if (auto* field = dynamic_cast<CDrawField*>(object.get())) {
                    field->SetText(text);
                }
                return;
            }
        }
    }
}

const CContainer* CReportGenerator::Section(int index) const {
    return index >= 0 && index < SectionCount() ? sections[static_cast<std::size_t>(index)].get()
                                                : nullptr;
}

std::vector<CReportGenerator::PageSpan> CReportGenerator::PageSpans() const {
    std::vector<PageSpan> spans;
    int pages = 0;
    for (const auto& section : sections) {
        switch (section->GetType()) {
        case CContainer::Type::FirstPage:
            // Page 1, which a report that has a first-page section always has; it adds no
            // page when an earlier section already covers page 1.
            spans.push_back({1, 1});
            pages = std::max(pages, 1);
            break;
        case CContainer::Type::SinglePage:
            ++pages;
            spans.push_back({pages, pages});
            break;
        case CContainer::Type::Flowing:
            spans.push_back({pages + 1, pages + section->PagesNeeded()});
            pages += section->PagesNeeded();
            break;
        }
    }
    return spans;
}

int CReportGenerator::Paginate() const {
    int pages = 0;
    for (const PageSpan& span : PageSpans()) {
        pages = std::max(pages, span.last);
    }
    return pages;
}

void CReportGenerator::DrawPage(QPainter& painter, int page, const QDateTime& printed) const {
    const std::vector<PageSpan> spans = PageSpans();
    for (std::size_t i = spans.size(); i-- > 0;) {
        if (spans[i].first <= page && page <= spans[i].last) {
            sections[i]->Draw(painter, CPageContext::ForDevice(*painter.device(), page, printed));
            return;
        }
    }
}

bool CReportGenerator::Print(QPagedPaintDevice& device) {
    NameJob(device, name);
    const int pages = Paginate();
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    // One moment of printing for every page of the job.
    const QDateTime printed = QDateTime::currentDateTime();
    for (int page = 1; page <= pages; ++page) {
        if (page > 1 && !device.newPage()) {
            if (auto* printer = dynamic_cast<QPrinter*>(&device)) {
                printer->abort();
            }
            painter.end();
            return false;
        }
        DrawPage(painter, page, printed);
    }
    return painter.end();
}

QImage CReportGenerator::RenderPage(int page, int dpi) const {
    if (dpi <= 0) {
        return {};
    }
    QImage image(static_cast<int>(std::lround(kLetterWidth * dpi)),
                 static_cast<int>(std::lround(kLetterHeight * dpi)), QImage::Format_RGB32);
    if (image.isNull()) {
        return image; // too large to hold
    }
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    DrawPage(painter, page, QDateTime::currentDateTime());
    return image;
}
