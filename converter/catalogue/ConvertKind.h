#pragma once

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The five kinds of input the converter accepts, and how a file's kind is decided.
class ConvertKind {
public:
    enum Value { video, audio, image, pdf, document };

    constexpr ConvertKind(Value value)
        : m_value(value) {}
    constexpr operator Value() const { return m_value; }

    // All kinds in display order.
    static QList<ConvertKind> all();
    // The kind whose id is `id` ("video", "audio", "image", "pdf", "document"), or none.
    static std::optional<ConvertKind> fromId(const QString& id);

    QString id() const;
    QString title() const;
    // The logical icon name of the kind (an icon-theme name or a bundled SVG).
    QString symbol() const;

    // Lower-case extensions without the dot.
    static const QSet<QString>& videoExtensions();
    static const QSet<QString>& audioExtensions();
    static const QSet<QString>& documentExtensions();

    // The kind of the file at `path`, or none when it is not convertible. The file's content
    // decides PDFs and pictures (a PDF named .txt is a PDF); then the extension lists decide
    // video, audio and documents; then the broader content-type tests. Blocks on file I/O.
    static std::optional<ConvertKind> of(const QString& path);

private:
    Value m_value;
};
