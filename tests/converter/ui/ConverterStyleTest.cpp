#include "converter/ui/ConverterStyle.h"
#include "converter/queue/ConverterModel.h"
#include "converter/ui/ConverterView.h"
#include "support/ConverterTestSupport.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

namespace {

double luminance(const QColor& color) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
           0.0722 * channel(color.blueF());
}

// WCAG contrast of a (possibly translucent) colour drawn over an opaque background.
double contrast(QColor over, const QColor& background) {
    const double a = over.alphaF();
    over = QColor::fromRgbF(float(over.redF() * a + background.redF() * (1 - a)),
                            float(over.greenF() * a + background.greenF() * (1 - a)),
                            float(over.blueF() * a + background.blueF() * (1 - a)));
    const double l1 = luminance(over) + 0.05;
    const double l2 = luminance(background) + 0.05;
    return l1 > l2 ? l1 / l2 : l2 / l1;
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x24, 0x22, 0x2c));
    palette.setColor(QPalette::WindowText, QColor(0xee, 0xec, 0xf4));
    palette.setColor(QPalette::Base, QColor(0x1b, 0x1a, 0x21));
    palette.setColor(QPalette::Text, QColor(0xee, 0xec, 0xf4));
    palette.setColor(QPalette::Button, QColor(0x33, 0x31, 0x3c));
    palette.setColor(QPalette::ButtonText, QColor(0xee, 0xec, 0xf4));
    return palette;
}

QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0xef, 0xef, 0xf2));
    palette.setColor(QPalette::WindowText, QColor(0x1d, 0x1b, 0x26));
    return palette;
}

// The colour of the backdrop at its top and bottom, where texts sit.
QList<QColor> backdrop(const QPalette& palette) {
    QImage image(4, 100, QImage::Format_RGB32);
    QPainter painter(&image);
    ConverterStyle::paintBackdrop(painter, QRectF(0, 0, 4, 100), palette);
    painter.end();
    return {image.pixelColor(1, 1), image.pixelColor(1, 98)};
}

} // namespace

TEST(ConverterStyle, TextsAndAccentsStayLegibleOnLightAndDark) {
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        const bool dark = ConverterStyle::isDark(palette);
        for (const QColor& background : backdrop(palette)) {
            EXPECT_GE(contrast(palette.color(QPalette::WindowText), background), 7.0) << dark;
            EXPECT_GE(contrast(ConverterStyle::secondaryText(palette), background), 4.5) << dark;
            EXPECT_GE(contrast(ConverterStyle::accent(palette), background), 4.5) << dark;
            EXPECT_GE(contrast(ConverterStyle::warning(palette), background), 3.0) << dark;
            EXPECT_GE(contrast(ConverterStyle::success(palette), background), 3.0) << dark;
        }
    }
    EXPECT_TRUE(ConverterStyle::isDark(darkPalette()));
    EXPECT_FALSE(ConverterStyle::isDark(lightPalette()));
}

TEST(ConverterStyle, EverySymbolIsBundled) {
    for (const char* name :
         {"arrow.triangle.2.circlepath", "exclamationmark.triangle.fill", "checkmark.circle.fill",
          "stop.circle", "magnifyingglass.circle", "xmark.circle.fill", "folder", "film", "music.note",
          "photo", "doc.richtext", "doc.text"}) {
        const QImage image = ConverterStyle::symbol(QString::fromLatin1(name), Qt::red, 24).toImage();
        ASSERT_FALSE(image.isNull()) << name;
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                painted += image.pixelColor(x, y).alpha() > 0 ? 1 : 0;
        EXPECT_GT(painted, 20) << name;
    }
    for (ConvertKind kind : ConvertKind::all())
        EXPECT_FALSE(ConverterStyle::gradientSymbol(kind.symbol(), 18).isNull());
}

TEST(ConverterStyle, ViewDrawsInBothPalettes) {
    // Set QC_GRAB_DIR to look at the result.
    QTemporaryDir dir;
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    ConverterModel model;
    ConverterTestSupport::addAndWait(
        model, {TestSupport::writeFile(dir.filePath(QStringLiteral("picture.png")), bytes),
                TestSupport::writeFile(dir.filePath(QStringLiteral("notes.txt")), "hello")});
    model.cancel(model.items().last().id);
    for (const QPalette& palette : {lightPalette(), darkPalette()}) {
        QApplication::setPalette(palette);
        ConverterView view(model);
        view.resize(800, 720);
        view.show();
        QCoreApplication::processEvents();
        const QImage grab = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(grab.isNull());
        // What a person sees: a light window in the light palette and a dark one in the dark
        // palette, and the violet Convert button for the waiting picture.
        const QColor accent = ConverterStyle::accent(palette);
        double lightness = 0;
        int violet = 0;
        for (int y = 0; y < grab.height(); ++y) {
            for (int x = 0; x < grab.width(); ++x) {
                const QColor pixel = grab.pixelColor(x, y);
                lightness += pixel.lightnessF();
                if (std::abs(pixel.red() - accent.red()) < 24 && std::abs(pixel.green() - accent.green()) < 24 &&
                    std::abs(pixel.blue() - accent.blue()) < 24)
                    ++violet;
            }
        }
        lightness /= double(grab.width()) * grab.height();
        if (ConverterStyle::isDark(palette))
            EXPECT_LT(lightness, 0.35);
        else
            EXPECT_GT(lightness, 0.65);
        EXPECT_GT(violet, 500) << "the Convert button's accent fill";
        if (!qEnvironmentVariableIsEmpty("QC_GRAB_DIR"))
            grab.save(qEnvironmentVariable("QC_GRAB_DIR") +
                      (ConverterStyle::isDark(palette) ? "/dark.png" : "/light.png"));
    }
}
