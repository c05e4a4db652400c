#include "media/transcode/PlaybackContainers.h"

#include <QHash>

#include <gst/gst.h>

#include <mutex>

namespace PlaybackContainers {

const QSet<QString>& unsupported() {
    static const QSet<QString> extensions{
        QStringLiteral("mkv"),  QStringLiteral("webm"), QStringLiteral("avi"),  QStringLiteral("wmv"),
        QStringLiteral("flv"),  QStringLiteral("f4v"),  QStringLiteral("ogv"),  QStringLiteral("rm"),
        QStringLiteral("rmvb"), QStringLiteral("asf"),  QStringLiteral("divx"), QStringLiteral("vob"),
        QStringLiteral("ts"),   QStringLiteral("m2ts"), QStringLiteral("mts"),  QStringLiteral("mxf"),
        QStringLiteral("opus"), QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("wma"),
        QStringLiteral("ape"),  QStringLiteral("wv"),   QStringLiteral("dsf"),  QStringLiteral("dff"),
        QStringLiteral("mka"),  QStringLiteral("dts"),  QStringLiteral("mpc"),  QStringLiteral("tta"),
    };
    return extensions;
}

QStringList demuxers(const QString& extension) {
    static const QHash<QString, QStringList> table = [] {
        QHash<QString, QStringList> made;
        const auto add = [&](std::initializer_list<const char*> extensions, QStringList factories) {
            for (const char* ext : extensions)
                made.insert(QString::fromLatin1(ext), factories);
        };
        add({"mkv", "mka", "webm"}, {QStringLiteral("matroskademux")});
        add({"avi", "divx"}, {QStringLiteral("avidemux")});
        add({"wmv", "wma", "asf"}, {QStringLiteral("asfdemux")});
        add({"ogg", "ogv", "oga", "opus"}, {QStringLiteral("oggdemux")});
        add({"ts", "m2ts", "mts"}, {QStringLiteral("tsdemux")});
        add({"flv"}, {QStringLiteral("flvdemux")});
        // F4V is an MP4-family file.
        add({"f4v"}, {QStringLiteral("qtdemux")});
        add({"rm", "rmvb"}, {QStringLiteral("rmdemux")});
        add({"vob"}, {QStringLiteral("mpegpsdemux")});
        add({"mxf"}, {QStringLiteral("mxfdemux"), QStringLiteral("avdemux_mxf")});
        add({"ape"}, {QStringLiteral("avdemux_ape")});
        add({"wv"}, {QStringLiteral("wavpackparse")});
        add({"dsf"}, {QStringLiteral("avdemux_dsf")});
        // DSDIFF is read by libav's IFF demuxer.
        add({"dff"}, {QStringLiteral("avdemux_iff")});
        add({"dts"}, {QStringLiteral("dcaparse")});
        add({"mpc"}, {QStringLiteral("avdemux_mpc"), QStringLiteral("avdemux_mpc8")});
        add({"tta"}, {QStringLiteral("avdemux_tta"), QStringLiteral("ttaparse")});
        return made;
    }();
    return table.value(extension);
}

bool needsConversion(const QString& extension,
                     const std::function<bool(const QString& factory)>& registryHas) {
    const QString ext = extension.toLower();
    if (!unsupported().contains(ext))
        return false;
    for (const QString& factory : demuxers(ext))
        if (registryHas(factory))
            return false;
    return true;
}

bool needsConversion(const QString& extension) {
    static std::once_flag initialised;
    static bool available = false;
    std::call_once(initialised, [] { available = gst_init_check(nullptr, nullptr, nullptr); });
    static std::mutex lock;
    static QHash<QString, bool> known;
    const QString ext = extension.toLower();
    std::lock_guard guard(lock);
    const auto found = known.constFind(ext);
    if (found != known.constEnd())
        return *found;
    const bool answer = needsConversion(ext, [](const QString& factory) {
        if (!available)
            return false;
        GstElementFactory* made = gst_element_factory_find(factory.toUtf8().constData());
        if (!made)
            return false;
        gst_object_unref(made);
        return true;
    });
    known.insert(ext, answer);
    return answer;
}

} // namespace PlaybackContainers
