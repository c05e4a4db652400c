#include "media/transcode/PlaybackContainers.h"

#include <gst/gst.h>

#include <gtest/gtest.h>

TEST(PlaybackContainersTest, theListOfTwentyEight) {
    EXPECT_EQ(PlaybackContainers::unsupported().size(), 28);
    for (const QString& ext : PlaybackContainers::unsupported()) {
        EXPECT_EQ(ext, ext.toLower());
        EXPECT_FALSE(PlaybackContainers::demuxers(ext).isEmpty()) << ext.toStdString();
    }
}

TEST(PlaybackContainersTest, listNarrowedByTheRegistry) {
    const auto nothing = [](const QString&) { return false; };
    const auto only = [](const char* name) {
        return [name](const QString& f) { return f == QLatin1String(name); };
    };
    const struct {
        const char* ext;
        std::function<bool(const QString&)> registry;
        bool needs;
    } rows[] = {
        {"MKV", nothing, true},
        {"mkv", only("matroskademux"), false},
        {"webm", only("matroskademux"), false},
        {"opus", nothing, true},
        {"opus", only("oggdemux"), false},
        {"avi", only("oggdemux"), true},
        {"mxf", only("avdemux_mxf"), false},
        {"mp4", nothing, false},
        {"m4v", nothing, false},
        {"mov", nothing, false},
        {"mp3", nothing, false},
        {"flac", nothing, false},
        {"mpg", nothing, false},
        {"3gp", nothing, false},
        {"", nothing, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(PlaybackContainers::needsConversion(QString::fromLatin1(row.ext), row.registry), row.needs)
            << row.ext;
}

TEST(PlaybackContainersTest, installedGStreamerDecides) {
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    for (const QString& ext : PlaybackContainers::unsupported()) {
        bool present = false;
        for (const QString& factory : PlaybackContainers::demuxers(ext)) {
            if (GstElementFactory* found = gst_element_factory_find(factory.toUtf8().constData())) {
                present = true;
                gst_object_unref(found);
            }
        }
        EXPECT_EQ(PlaybackContainers::needsConversion(ext), !present) << ext.toStdString();
        EXPECT_EQ(PlaybackContainers::needsConversion(ext.toUpper()), !present) << ext.toStdString();
    }
    EXPECT_FALSE(PlaybackContainers::needsConversion(QStringLiteral("mp4")));
}
