#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A flat OpenDocument text (.fodt) made from styled runs: how our own readers (plain text,
// Markdown, PDF page text) hand a document to the office worker. Every character is kept as
// written: line feeds end paragraphs, runs of spaces and tabs stay. Pure functions; any thread.
namespace FlatOdt {

struct Run {
    QString text;
    bool bold = false;
    bool italic = false;
    bool monospace = false;
    // Points; 0 = the document's size.
    double size = 0;
    // Font family; empty = the document's font (or the monospace font).
    QString font;
    // Link destination; empty = no link.
    QString link;

    bool operator==(const Run& other) const = default;
};

// Paper and margins in points.
struct Page {
    double width = 595.276; // A4
    double height = 841.89;
    double margin = 54;
};

// The system's default paper (A4, or Letter where the locale's paper is Letter) with 54-point
// margins.
Page defaultPage();

// A complete .fodt document; `font` and `size` are the base font of the whole text.
QByteArray document(const QList<Run>& runs, const Page& page, const QString& font, double size);

} // namespace FlatOdt
