#pragma once

#include <QPointF>
#include <QString>
#include <QStringList>

// Reads a PDF with poppler's tools (pdfinfo, pdftotext), as a person checking a printout would.
struct PdfProbe {
    explicit PdfProbe(QString path) : file(std::move(path)) {}

    // A field of pdfinfo's report ("Title", "Pages"); empty when missing or the tool failed.
    QString Info(const QString &field) const;
    int Pages() const { return Info(QStringLiteral("Pages")).toInt(); }
    // The text of one page (1-based), or of every page when page is 0, line by line with the
    // empty lines dropped and each line's outer blanks trimmed.
    QStringList Lines(int page = 0) const;
    // The top-left corner, in points, of the first word on page 1; (-1, -1) when none.
    QPointF FirstWordTopLeft() const;

    QString file;
};
