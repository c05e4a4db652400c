#pragma once

#include <QByteArray>
#include <QString>

// Decoding plain-text files whose encoding nobody declared. Pure functions; any thread.
namespace TextEncoding {

enum class Encoding { utf8, utf16le, utf16be, latin1 };

// UTF-16 when the bytes start with its byte-order mark, UTF-8 when they are valid UTF-8 (with or
// without a mark), otherwise Latin-1, which every byte sequence is.
Encoding detect(const QByteArray& bytes);

// The text of `bytes` in the detected encoding, without the byte-order mark.
QString decode(const QByteArray& bytes);

// True when `bytes` look like text rather than binary data: no NUL or other control bytes
// except tab, line feed, carriage return and form feed (UTF-16 with a mark counts as text).
bool looksLikeText(const QByteArray& bytes);

} // namespace TextEncoding
