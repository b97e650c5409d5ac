#pragma once

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <cmath>
#include <optional>
#include <vector>

// The words of a PDF as `pdftotext -bbox-layout` finds them, boxed in inches from the paper's
// top-left corner.
struct PdfText {
    static constexpr double kNear = 0.01; // pdftotext boxes a word from the top of its row

    struct Word {
        int page = 0; // from 1
        QString text;
        QRectF box;
    };

    // A run of words that spells a phrase: its page, the box round it, the word after it.
    struct Found {
        int page = 0;
        QRectF box;
        std::size_t end = 0;
    };

    QString title;
    int pages = 0;
    std::vector<Word> words;

    // The first run of words on one page that spells `phrase`, from word `from` on.
    std::optional<Found> Find(const QString& phrase, std::size_t from = 0) const {
        const QStringList parts = phrase.split(' ');
        for (std::size_t i = from; i + parts.size() <= words.size(); ++i) {
            Found found{words[i].page, words[i].box, i};
            qsizetype k = 0;
            for (; k < parts.size() && words[found.end].text == parts[k] &&
                   words[found.end].page == found.page;
                 ++k, ++found.end) {
                found.box |= words[found.end].box;
            }
            if (k == parts.size()) {
                return found;
            }
        }
        return std::nullopt;
    }

    // The words on page `page` in line with `at` that start between `left` and `right` inches
    // from the paper's left edge.
    QString Between(int page, const QRectF& at, double left, double right) const {
        QStringList between;
        for (const Word& word : words) {
            if (word.page == page && std::abs(word.box.top() - at.top()) < kNear &&
                word.box.left() > left - kNear && word.box.left() < right - kNear) {
                between << word.text;
            }
        }
        return between.join(' ');
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
    static const QRegularExpression title(R"re(<title>(.*)</title>)re");
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
        } else if (const auto t = title.match(line); t.hasMatch()) {
            text.title = t.captured(1);
        }
    }
    return text;
}
