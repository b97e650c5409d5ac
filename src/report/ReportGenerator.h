#pragma once

#include "report/Container.h"

#include <QDateTime>
#include <QImage>
#include <QString>

#include <memory>
#include <vector>

class QPagedPaintDevice;
class QPainter;

// A report: sections of objects placed in inches on the paper, worked out into pages and drawn
// through QPainter, so the same report prints, writes a PDF or renders into an image.
class CReportGenerator {
public:
    // The pages a section covers; both -1 when it covers none.
    struct PageSpan {
        int first = -1;
        int last = -1;
    };

    CReportGenerator() = default;
    CReportGenerator(const CReportGenerator&) = delete;
    CReportGenerator& operator=(const CReportGenerator&) = delete;
    virtual ~CReportGenerator() = default;

    // Removes every section with its objects and the name.
    void Clear();
    void SetName(const QString& newName) { name = newName; }
    const QString& GetName() const noexcept { return name; }

    // Appends an empty section; returns its index.
    int AddContainer(CContainer::Type type);
    // Hands `object` to section `section`; an index out of range discards it and returns false.
    bool AddObject(std::unique_ptr<CDrawObject> object, int section);
    // Sets the text of the first field named `fieldName`, searching the sections in order.
    void SetFieldText(const QString& fieldName, const QString& text);
    int SectionCount() const { return static_cast<int>(sections.size()); }
    // Section `index`, or nullptr when there is none.
    const CContainer* Section(int index) const;

    // The pages each section covers, by section index, and the number of pages.
    std::vector<PageSpan> PageSpans() const;
    int Paginate() const;

    // Draws page `page` (from 1): the objects of the last section that covers it.
    void DrawPage(QPainter& painter, int page, const QDateTime& printed) const;

    // Prints every page as one job named after the report (a printer's document name, a PDF's
    // title). False when the job could not start or a page could not be begun.
    bool Print(QPagedPaintDevice& device);

    // Page `page` drawn on white letter paper (8.5 x 11 in) at `dpi` pixels per inch.
    QImage RenderPage(int page, int dpi) const;

private:
    QString name;
    std::vector<std::unique_ptr<CContainer>> sections;
};
