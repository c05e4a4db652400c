#pragma once

#include <QByteArray>
#include <QString>

// What kind of document a file holds, decided from its first bytes and, for plain text and
// Markdown, its extension; so that the office never guesses at binary data (it would read any
// file as text). Pure functions; any thread.
namespace DocumentInput {

enum class Kind {
    markdown,   // .md, .markdown: our own reader
    text,       // plain text: our own reader
    office,     // ZIP (DOCX, ODT) or OLE (DOC) container: the office, page setup kept
    rtf,        // the office, page setup kept
    html,       // a web page: the office, given our paper and margins
    xml,        // other markup (Word 2003 XML, flat ODF): the office
    unreadable, // empty or binary data
};

// How many leading bytes `classify` looks at.
inline constexpr qsizetype kHeadSize = 64 * 1024;

// `extension` without the dot, any case; `head` the file's first bytes (at most kHeadSize).
Kind classify(const QString& extension, const QByteArray& head);

} // namespace DocumentInput
