#include "converter/queue/ConverterSettings.h"

#include "common/UserDefaults.h"
#include "converter/catalogue/ConvertTarget.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace ConverterSettings {

QString choiceKey(ConvertKind kind) {
    return QStringLiteral("fx.converter.") + kind.id();
}

QString qualityKey() {
    return QStringLiteral("fx.converter.quality");
}

QString maxSizeKey() {
    return QStringLiteral("fx.converter.maxSize");
}

QString folderKey() {
    return QStringLiteral("fx.converter.folder");
}

Remembered read() {
    UserDefaults& store = UserDefaults::media();
    Remembered result;
    for (ConvertKind kind : ConvertKind::all()) {
        const QList<ConvertTarget> targets = ConvertTarget::targets(kind);
        if (targets.isEmpty())
            continue;
        const QString stored = store.string(choiceKey(kind));
        const bool known =
            std::any_of(targets.begin(), targets.end(),
                        [&stored](const ConvertTarget& target) { return target.id == stored; });
        result.choice[kind] = known ? stored : targets.first().id;
    }
    result.quality = ConvertQuality::fromId(store.string(qualityKey())).value_or(ConvertQuality::balanced);
    const qint64 maxSize = store.integer(maxSizeKey());
    result.maxSize = maxSize > 0 && maxSize <= std::numeric_limits<int>::max() ? int(maxSize) : 0;
    const QString folder = store.string(folderKey());
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        result.folder = folder;
    return result;
}

} // namespace ConverterSettings
