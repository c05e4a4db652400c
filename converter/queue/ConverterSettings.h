#pragma once

#include "converter/catalogue/ConvertKind.h"
#include "converter/catalogue/ConvertQuality.h"

#include <QMap>
#include <QString>

// The converter's remembered choices in the settings store: the format per kind of input, the
// quality, the size limit and the output folder. Main thread (the store is the application's).
namespace ConverterSettings {

struct Remembered {
    QMap<ConvertKind::Value, QString> choice;
    ConvertQuality quality = ConvertQuality::balanced;
    int maxSize = 0;
    // Empty = next to the originals.
    QString folder;
};

// The keys.
QString choiceKey(ConvertKind kind);
QString qualityKey();
QString maxSizeKey();
QString folderKey();

// The stored choices as the window restores them: unknown ids replaced by the kind's first
// target, a folder only when it exists. Reads the store, writes nothing.
Remembered read();

} // namespace ConverterSettings
