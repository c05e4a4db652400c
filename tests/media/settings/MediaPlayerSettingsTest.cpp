#include "media/settings/MediaPlayerSettings.h"
#include "common/UserDefaults.h"
#include "common/WindowsSettings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace MPS = MediaPlayerSettings;

namespace {

class MediaPlayerSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const QString& key : {MPS::Keys::eqOn, MPS::Keys::eqBands, MPS::Keys::eqPreset,
                                   MPS::Keys::keepPitch, MPS::Keys::rotation, MPS::Keys::resumePositions})
            UserDefaults::media().remove(key);
        for (const QString& key :
             {MPS::Keys::endAction, MPS::Keys::longSkip, MPS::Keys::slideSeconds, MPS::Keys::resume})
            WindowsSettings::shared().set(key, QVariant());
    }
};

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

} // namespace

TEST_F(MediaPlayerSettingsTest, SharedSettingsDefaultsAndClamping) {
    EXPECT_EQ(MPS::endAction(), QStringLiteral("next"));
    EXPECT_EQ(MPS::longSkip(), 10.0);
    EXPECT_EQ(MPS::slideSeconds(), 4.0);
    EXPECT_TRUE(MPS::resume());

    struct Case {
        QVariant stored;
        double longSkip;
        double slideSeconds;
    };
    for (const Case& c :
         {Case{3.0, 5, 3}, Case{0.2, 5, 1}, Case{12.0, 12, 12}, Case{kNaN, 5, 1}, Case{-4.0, 5, 1}}) {
        WindowsSettings::shared().set(MPS::Keys::longSkip, c.stored);
        WindowsSettings::shared().set(MPS::Keys::slideSeconds, c.stored);
        EXPECT_EQ(MPS::longSkip(), c.longSkip) << c.stored.toDouble();
        EXPECT_EQ(MPS::slideSeconds(), c.slideSeconds) << c.stored.toDouble();
    }
    WindowsSettings::shared().set(MPS::Keys::endAction, QStringLiteral("repeat"));
    WindowsSettings::shared().set(MPS::Keys::resume, false);
    EXPECT_EQ(MPS::endAction(), QStringLiteral("repeat"));
    EXPECT_FALSE(MPS::resume());
    EXPECT_EQ(UserDefaults::media().string(QStringLiteral("wx.player.endAction")), QStringLiteral("repeat"));
}

TEST_F(MediaPlayerSettingsTest, EqualiserValues) {
    EXPECT_FALSE(MPS::eqOn());
    EXPECT_EQ(MPS::eqBands(), (std::array<double, 10>{}));
    EXPECT_EQ(MPS::eqPreset(), QStringLiteral("Flat"));
    EXPECT_TRUE(MPS::keepPitch());

    MPS::setEqOn(true);
    MPS::setEqBands({6, 5, 4, 2, 0, 0, 0, 0, 0, -1.5});
    MPS::setEqPreset(QStringLiteral("Custom"));
    MPS::setKeepPitch(false);
    EXPECT_TRUE(MPS::eqOn());
    EXPECT_EQ(MPS::eqBands(), (std::array<double, 10>{6, 5, 4, 2, 0, 0, 0, 0, 0, -1.5}));
    EXPECT_EQ(MPS::eqPreset(), QStringLiteral("Custom"));
    EXPECT_FALSE(MPS::keepPitch());
}

TEST_F(MediaPlayerSettingsTest, WrongTypesReadAsDefaults) {
    struct Case {
        QString key;
        QVariant stored;
    };
    const Case cases[] = {
        {MPS::Keys::eqBands, QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                         QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                         QStringLiteral("7"), QStringLiteral("8"), QStringLiteral("9")}},
        {MPS::Keys::eqBands, QStringLiteral("loud")},
        {MPS::Keys::eqBands, 3.0},
        {MPS::Keys::keepPitch, QStringLiteral("no")},
        {MPS::Keys::keepPitch, 0},
        {MPS::Keys::eqPreset, 4},
    };
    for (const Case& c : cases) {
        UserDefaults::media().setValue(c.key, c.stored);
        EXPECT_EQ(MPS::eqBands(), (std::array<double, 10>{})) << c.key.toStdString();
        EXPECT_TRUE(MPS::keepPitch()) << c.key.toStdString();
        EXPECT_EQ(MPS::eqPreset(), QStringLiteral("Flat")) << c.key.toStdString();
        UserDefaults::media().remove(c.key);
    }
    // Nine numbers read as ten zeros.
    UserDefaults::media().setNumbers(MPS::Keys::eqBands, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(MPS::eqBands(), (std::array<double, 10>{}));
    UserDefaults::media().setMap(MPS::Keys::rotation, {{QStringLiteral("/a.mov"), QStringLiteral("90")}});
    EXPECT_EQ(MPS::rotation(QStringLiteral("/a.mov")), 0);
    UserDefaults::media().setMap(MPS::Keys::resumePositions,
                                 {{QStringLiteral("/a.mov"), QStringLiteral("60")}});
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/a.mov")), std::nullopt);
}

TEST_F(MediaPlayerSettingsTest, SaveResumeRules) {
    struct Case {
        double seconds;
        double duration;
        std::optional<double> stored;
    };
    const Case cases[] = {
        {60, 119, std::nullopt},    // shorter than two minutes
        {60, 120, 60},              // exactly two minutes
        {7190, 7200, std::nullopt}, // a film left at 1:59:50
        {6, 7200, 6},
        {5, 7200, std::nullopt},    // only its first 5 s
        {7185, 7200, std::nullopt}, // exactly 15 s before the end
        {7184.5, 7200, 7184.5},
        {kNaN, 7200, std::nullopt},
        {60, kNaN, std::nullopt},
    };
    const QString key = QStringLiteral("/films/a.mkv");
    for (const Case& c : cases) {
        MPS::saveResume(key, 100, 600); // a position the case must replace or remove
        MPS::saveResume(key, c.seconds, c.duration);
        EXPECT_EQ(MPS::resumePosition(key), c.stored) << c.seconds << " of " << c.duration;
    }
}

TEST_F(MediaPlayerSettingsTest, ResumePositionNeedsMoreThanFiveSeconds) {
    struct Case {
        QVariant stored;
        std::optional<double> read;
    };
    for (const Case& c :
         {Case{5.0, std::nullopt}, Case{5.5, 5.5}, Case{qint64(30), 30.0}, Case{QVariant(), std::nullopt}}) {
        QVariantMap map;
        if (c.stored.isValid())
            map.insert(QStringLiteral("k"), c.stored);
        UserDefaults::media().setMap(MPS::Keys::resumePositions, map);
        EXPECT_EQ(MPS::resumePosition(QStringLiteral("k")), c.read) << c.stored.toDouble();
    }
}

TEST_F(MediaPlayerSettingsTest, MapsKeepAtMostThreeHundredEntries) {
    for (int i = 0; i < 301; ++i) {
        MPS::saveResume(QStringLiteral("/v/%1.mp4").arg(i, 3, 10, QLatin1Char('0')), 60, 600);
        MPS::saveRotation(QStringLiteral("/v/%1.mp4").arg(i, 3, 10, QLatin1Char('0')), 90);
    }
    EXPECT_EQ(UserDefaults::media().map(MPS::Keys::resumePositions).size(), 300);
    EXPECT_EQ(UserDefaults::media().map(MPS::Keys::rotation).size(), 300);
}

TEST_F(MediaPlayerSettingsTest, ForgetResume) {
    for (const char* key : {"/a", "/b", "/c"})
        MPS::saveResume(QString::fromLatin1(key), 60, 600);
    MPS::forgetResume(QSet<QString>{QStringLiteral("/a"), QStringLiteral("/zzz")});
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/a")), std::nullopt);
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/b")), 60.0);
    MPS::forgetResume();
    EXPECT_FALSE(UserDefaults::media().contains(MPS::Keys::resumePositions));
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/c")), std::nullopt);
}

TEST_F(MediaPlayerSettingsTest, Rotation) {
    const QString key = QStringLiteral("/p/photo.jpg");
    EXPECT_EQ(MPS::rotation(key), 0);
    MPS::saveRotation(key, 270);
    EXPECT_EQ(MPS::rotation(key), 270);
    MPS::saveRotation(key, 0);
    EXPECT_EQ(MPS::rotation(key), 0);
    EXPECT_FALSE(UserDefaults::media().map(MPS::Keys::rotation).contains(key));
}

TEST_F(MediaPlayerSettingsTest, Labels) {
    struct Case {
        double rate;
        const char* label;
    };
    for (const Case& c :
         {Case{1.25, "1.25×"}, Case{1, "1×"}, Case{0.1, "0.1×"}, Case{1.006, "1.01×"}, Case{4, "4×"}})
        EXPECT_EQ(MPS::rateLabel(c.rate), QString::fromUtf8(c.label));
    EXPECT_EQ(MPS::rates.size(), 12u);
    EXPECT_EQ(MPS::rates.front(), 0.1f);
    EXPECT_EQ(MPS::rates.back(), 4.0f);
    EXPECT_EQ(MPS::serverPlaybackFailed, QStringLiteral("This couldn't be played from the server."));
}

TEST_F(MediaPlayerSettingsTest, SkipSymbolAndHelp) {
    struct Case {
        QVariant stored;
        const char* forward;
        const char* backward;
        const char* help;
    };
    const Case cases[] = {
        {QVariant(), "goforward.10", "gobackward.10", "10 seconds"},
        {12.0, "goforward", "gobackward", "12 seconds"},
        {30.0, "goforward.30", "gobackward.30", "30 seconds"},
        {3.0, "goforward.5", "gobackward.5", "5 seconds"},
        {3.5, "goforward.5", "gobackward.5", "5 seconds"},
        {15.5, "goforward", "gobackward", "15 seconds"},
        {90.0, "goforward.90", "gobackward.90", "90 seconds"},
        {120.0, "goforward", "gobackward", "120 seconds"},
    };
    for (const Case& c : cases) {
        WindowsSettings::shared().set(MPS::Keys::longSkip, c.stored);
        EXPECT_EQ(MPS::skipSymbol(true), QString::fromLatin1(c.forward)) << c.stored.toDouble();
        EXPECT_EQ(MPS::skipSymbol(false), QString::fromLatin1(c.backward)) << c.stored.toDouble();
        EXPECT_EQ(MPS::skipHelp(), QString::fromLatin1(c.help)) << c.stored.toDouble();
    }
}

TEST(MediaPlayerSettingsHelper, WritesAResumePosition) {
    if (!TestSupport::joinParentSettings())
        GTEST_SKIP() << "runs only as the second process of TwoProcessesShareTheStore";
    MPS::saveResume(QStringLiteral("/shared/film.mkv"), 1234, 7200);
    MPS::setEqPreset(QStringLiteral("Rock"));
}

TEST_F(MediaPlayerSettingsTest, TwoProcessesShareTheStore) {
    MPS::saveResume(QStringLiteral("/mine.mkv"), 100, 7200);
    UserDefaults::media().sync();
    ASSERT_EQ(TestSupport::runHelperTest(QStringLiteral("MediaPlayerSettingsHelper.WritesAResumePosition")),
              0);
    UserDefaults::media().sync();
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/shared/film.mkv")), 1234.0);
    EXPECT_EQ(MPS::resumePosition(QStringLiteral("/mine.mkv")), 100.0);
    EXPECT_EQ(MPS::eqPreset(), QStringLiteral("Rock"));
}
