#pragma once

#include <QByteArray>
#include <QString>

// Small documents written at test time (no binaries in the tree): a web page and an RTF file
// with known words and styles, Markdown with inline and block markup, and helpers to read
// outputs back. The Word and OpenDocument fixtures are made from the web page by the engine
// itself, in the tests that need them.
namespace DocumentFixtures {

// The words every fixture holds; outputs are checked for them.
inline constexpr const char* kFirstWords = "Quorvane fixture alpha";
inline constexpr const char* kBoldWord = "boldword";
inline constexpr const char* kItalicWord = "italicword";

// Points the office worker at one profile in the build folder, shared by the test processes
// (a fresh profile takes seconds to build; the worker falls back to a private one when busy).
void useSharedOfficeProfile();

QByteArray html();
QByteArray rtf();
QByteArray plainText();
QByteArray markdown();
// A web page of `paragraphs` paragraphs, for slow conversions.
QByteArray longHtml(int paragraphs);

// The PDF's text (pdftotext -layout), empty when it cannot be read.
QString pdfText(const QString& path);
// "Page size: W x H pts" of the first page, from pdfinfo.
QString pdfPageSize(const QString& path);
// The left edge (points) of the first word on the first page, from pdftotext -bbox; -1 if none.
double pdfFirstWordLeft(const QString& path);
// One member of a ZIP container (unzip -p), empty when missing.
QByteArray zipMember(const QString& path, const QString& member);
QByteArray readAll(const QString& path);

} // namespace DocumentFixtures
