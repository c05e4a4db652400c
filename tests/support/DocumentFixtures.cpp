#include "support/DocumentFixtures.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace DocumentFixtures {

namespace {

QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return {};
    return process.readAllStandardOutput();
}

} // namespace

void useSharedOfficeProfile() {
#ifdef QC_BUILD_DIR
    if (!qEnvironmentVariableIsSet("QC_OFFICE_PROFILES"))
        qputenv("QC_OFFICE_PROFILES", QByteArray(QC_BUILD_DIR) + "/test-office-profiles");
#endif
}

QByteArray html() {
    return QByteArray(
               "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Fixture</title></head><body>\n"
               "<p>") +
           kFirstWords + " \xC3\xA4\xC3\xB6\xC3\xBC</p>\n<p>Second <b>" + kBoldWord + "</b> and <i>" +
           kItalicWord + "</i>.</p>\n</body></html>\n";
}

QByteArray rtf() {
    return QByteArray("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Helvetica;}}\\f0\\fs24 ") + kFirstWords +
           " \\'e4\\'f6\\'fc\\par\nSecond {\\b " + kBoldWord + "} and {\\i " + kItalicWord + "}.\\par\n}\n";
}

QByteArray plainText() {
    return QByteArray(kFirstWords) + " \xC3\xA4\xC3\xB6\xC3\xBC\nSecond " + kBoldWord + " and " +
           kItalicWord + ".\n";
}

QByteArray markdown() {
    return QByteArray("# ") + kFirstWords + "\n\n- Second **" + kBoldWord + "** and *" + kItalicWord +
           "*\n> quoted `code` [link](https://example.org/x)\n";
}

QByteArray longHtml(int paragraphs) {
    QByteArray bytes = "<!DOCTYPE html><html><body>\n";
    for (int i = 0; i < paragraphs; ++i)
        bytes +=
            "<p>Paragraph " + QByteArray::number(i) + " with <b>some</b> words to lay out on the page.</p>\n";
    return bytes + "</body></html>\n";
}

QString pdfText(const QString& path) {
    return QString::fromUtf8(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")}));
}

QString pdfPageSize(const QString& path) {
    const QString info = QString::fromUtf8(run(QStringLiteral("pdfinfo"), {path}));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(info);
    if (!match.hasMatch())
        return {};
    return QStringLiteral("%1 x %2")
        .arg(qRound(match.captured(1).toDouble()))
        .arg(qRound(match.captured(2).toDouble()));
}

double pdfFirstWordLeft(const QString& path) {
    const QString box = QString::fromUtf8(run(
        QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                      QStringLiteral("-l"), QStringLiteral("1"), path, QStringLiteral("-")}));
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("<word xMin=\"([0-9.]+)\"")).match(box);
    return match.hasMatch() ? match.captured(1).toDouble() : -1;
}

QByteArray zipMember(const QString& path, const QString& member) {
    return run(QStringLiteral("unzip"), {QStringLiteral("-p"), path, member});
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace DocumentFixtures
