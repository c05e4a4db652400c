#include "converter/ui/Legal.h"

#include "common/Paths.h"
#include "converter/ui/Maker.h"

#include <QFileInfo>

namespace Legal {

QUrl page(const QString& name) {
    const QString file = Paths::resources() + QStringLiteral("/Legal/") + name + QStringLiteral(".html");
    if (QFileInfo(file).isFile())
        return QUrl::fromLocalFile(file);
    return QUrl(Maker::website() + name + QStringLiteral(".html"));
}

QUrl privacy() {
    static const QUrl address = page(QStringLiteral("privacy"));
    return address;
}

QUrl terms() {
    static const QUrl address = page(QStringLiteral("terms"));
    return address;
}

QUrl openSource() {
    static const QUrl address = page(QStringLiteral("open-source"));
    return address;
}

QString supportEmail() {
    return Maker::supportEmail();
}

QUrl support() {
    static const QUrl address(QStringLiteral("mailto:") + supportEmail());
    return address;
}

} // namespace Legal
