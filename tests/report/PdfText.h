#pragma once

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

// The words of a PDF as `pdftotext -bbox-layout` finds them, boxed in inches from the paper's
// top-left corner.
struct PdfText {
    struct Word {
        int page = 0; // from 1
        QString text;
        QRectF box;
    };

    int pages = 0;
    std::vector<Word> words;

    // Each printed line as "<page> <words>", top to bottom; " | " marks a gap between columns.
    QStringList Rows() const {
        std::vector<Word> sorted = words;
        std::sort(sorted.begin(), sorted.end(), [](const Word& a, const Word& b) {
            return std::pair(a.page, a.box.top()) < std::pair(b.page, b.box.top());
        });
        std::vector<std::vector<Word>> lines;
        for (const Word& word : sorted) {
            if (lines.empty() || lines.back()[0].page != word.page ||
                word.box.top() - lines.back()[0].box.top() > 0.01) {
                lines.emplace_back();
            }
            lines.back().push_back(word);
        }
        QStringList rows;
        for (std::vector<Word>& line : lines) {
            std::sort(line.begin(), line.end(),
                      [](const Word& a, const Word& b) { return a.box.left() < b.box.left(); });
            QString row = QString::number(line[0].page);
            for (std::size_t i = 0; i < line.size(); ++i) {
                const bool column = i > 0 && line[i].box.left() - line[i - 1].box.right() > 0.25;
                row += (column ? " | " : " ") + line[i].text;
            }
            rows << row;
        }
        return rows;
    }
};

inline bool HavePdfToText() {
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

inline std::optional<PdfText> ReadPdfText(const QString& pdf) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox-layout"), pdf, "-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        return std::nullopt;
    }
    static const QRegularExpression word(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)")re"
                                         R"re( xMax="([-\d.]+)" yMax="([-\d.]+)">(.*)</word>)re");
    const auto inches = [](const QRegularExpressionMatch& m, int i) {
        return m.captured(i).toDouble() / 72.0;
    };
    PdfText text;
    for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
        if (line.trimmed().startsWith("<page ")) {
            ++text.pages;
        } else if (const auto w = word.match(line); w.hasMatch()) {
            text.words.push_back(
                {text.pages, w.captured(5),
                 QRectF(QPointF(inches(w, 1), inches(w, 2)), QPointF(inches(w, 3), inches(w, 4)))});
        }
    }
    return text;
}
