#include "converter/pictures/PictureDecoder.h"

#include <QFile>

#include <vips/vips8>

#include <algorithm>
#include <mutex>

using vips::VImage;

namespace PictureDecoder {

bool ensureInitialised() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] {
        if (VIPS_INIT("quorvane-converter") != 0) {
            vips_error_clear();
            return;
        }
        // The operation cache is keyed by file name: a file replaced on disk between two
        // conversions would come back from the cache as it was.
        vips_cache_set_max(0);
        vips_leak_set(FALSE);
        ready = true;
    });
    return ready;
}

std::optional<PictureSource> open(const QString& path) {
    if (!ensureInitialised())
        return std::nullopt;
    const QByteArray name = QFile::encodeName(path);
    const char* loader = vips_foreign_find_load(name.constData());
    if (!loader) {
        vips_error_clear();
        return std::nullopt;
    }
    try {
        const VImage header =
            VImage::new_from_file(name.constData(), VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL));
        PictureSource source;
        source.path = path;
        source.width = header.width();
        source.height = header.height();
        source.bands = header.bands();
        // vips names the loader's class ("VipsForeignLoadJpegFile"); keep its short name.
        const char* nickname = vips_nickname_find(g_type_from_name(loader));
        source.loader = QString::fromLatin1(nickname ? nickname : loader);
        if (header.get_typeof(VIPS_META_ORIENTATION) != 0) {
            const int orientation = header.get_int(VIPS_META_ORIENTATION);
            source.orientation = orientation >= 1 && orientation <= 8 ? orientation : 1;
        }
        if (source.width < 1 || source.height < 1)
            return std::nullopt;
        return source;
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

static VImage thumbnail(const PictureSource& source, int maxSize) {
    const int longest = std::max({source.width, source.height, 1});
    const int limit = maxSize < 1 ? longest : std::min(maxSize, longest);
    // thumbnail applies the orientation tag and lets JPEG, WebP, HEIF and others decode at a
    // reduced size; "down" guarantees nothing is enlarged.
    return VImage::thumbnail(QFile::encodeName(source.path).constData(), limit,
                             VImage::option()
                                 ->set("height", limit)
                                 ->set("size", VIPS_SIZE_DOWN)
                                 ->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
}

static VImage toSrgb8(const VImage& in) {
    VImage out = in;
    const bool hasProfile = out.get_typeof(VIPS_META_ICC_NAME) != 0;
    bool transformed = false;
    if (hasProfile && out.interpretation() != VIPS_INTERPRETATION_CMYK) {
        try {
            out = out.icc_transform("srgb", VImage::option()->set("embedded", true)->set("depth", 8));
            transformed = true;
        } catch (const vips::VError&) {
            // A broken profile: show the numbers as they are rather than fail.
            vips_error_clear();
            out = in;
        }
    }
    if (out.interpretation() != VIPS_INTERPRETATION_sRGB || out.format() != VIPS_FORMAT_UCHAR)
        out = out.colourspace(VIPS_INTERPRETATION_sRGB);
    if (out.format() != VIPS_FORMAT_UCHAR)
        out = out.cast(VIPS_FORMAT_UCHAR);
    if (hasProfile && !transformed) {
        // The embedded profile described the old numbers, not these.
        out = out.copy();
        out.remove(VIPS_META_ICC_NAME);
    }
    return out;
}

std::optional<Picture> image(const PictureSource& source, int maxSize, bool flatten) {
    if (!ensureInitialised())
        return std::nullopt;
    try {
        VImage picture = thumbnail(source, maxSize);
        if (flatten && picture.has_alpha()) {
            picture =
                toSrgb8(picture).flatten(VImage::option()->set("background", std::vector<double>{255.0}));
            if (picture.format() != VIPS_FORMAT_UCHAR)
                picture = picture.cast(VIPS_FORMAT_UCHAR);
        }
        if (picture.width() < 1 || picture.height() < 1)
            return std::nullopt;
        return Picture(picture);
    } catch (const vips::VError&) {
        vips_error_clear();
        return std::nullopt;
    }
}

Picture srgb8(const Picture& picture) {
    if (picture.isNull())
        return picture;
    try {
        return Picture(toSrgb8(picture.image()));
    } catch (const vips::VError&) {
        vips_error_clear();
        return picture;
    }
}

bool decodes(const PictureSource& source, int maxSize) {
    if (!ensureInitialised())
        return false;
    try {
        (void)thumbnail(source, maxSize).avg();
        return true;
    } catch (const vips::VError&) {
        vips_error_clear();
        return false;
    }
}

} // namespace PictureDecoder
