#include "converter/estimate/SizeSampler.h"

#include "converter/ffmpeg/FFmpeg.h"
#include "support/ConverterTestSupport.h"
#include "support/MediaFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using ConverterTestSupport::target;

QStringList leftovers() {
    return QDir(QDir::tempPath()).entryList({QStringLiteral("converter-estimate-*")}, QDir::Files);
}

// Points the system temporary folder at a folder of this test alone, so that other processes'
// measurements (tests running in parallel) cannot show up in `leftovers`.
class PrivateTemp {
public:
    PrivateTemp()
        : m_old(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", m_dir.path().toUtf8());
    }
    ~PrivateTemp() { qputenv("TMPDIR", m_old); }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

TEST(SizeSamplerTest, Pieces) {
    using SizeSampler::Piece;
    EXPECT_TRUE(SizeSampler::pieces(0).isEmpty());
    EXPECT_TRUE(SizeSampler::pieces(-3).isEmpty());
    EXPECT_EQ(SizeSampler::pieces(10), (QList<Piece>{Piece{0, true}}));
    EXPECT_EQ(SizeSampler::pieces(22), (QList<Piece>{Piece{0, true}}));
    EXPECT_EQ(SizeSampler::pieces(100), (QList<Piece>{{17.5, false}, {47.5, false}, {77.5, false}}));
    // Just over the whole-file limit the first piece cannot start before the beginning.
    const QList<Piece> short23 = SizeSampler::pieces(23);
    ASSERT_EQ(short23.size(), 3);
    EXPECT_DOUBLE_EQ(short23.at(0).start, 2.1);
    EXPECT_DOUBLE_EQ(short23.at(1).start, 9.0);
    EXPECT_DOUBLE_EQ(short23.at(2).start, 15.9);
}

TEST(SizeSamplerTest, Extrapolation) {
    // 100 s from three pieces totalling S bytes: 100 × S ÷ 15 × 0.88.
    EXPECT_EQ(SizeSampler::extrapolate(100, 1'500'000, 3), 8'800'000);
    EXPECT_EQ(SizeSampler::extrapolate(100, 1'000'000, 3), qint64(100.0 * 1'000'000 / 15 * 0.88));
    // A whole file is its own measurement.
    EXPECT_EQ(SizeSampler::extrapolate(10, 123'456, 1), 123'456);
}

TEST(SizeSamplerTest, PieceArguments) {
    const QStringList partial =
        SizeSampler::arguments(QStringLiteral("/in/a.mov"), QStringLiteral("/tmp/o.mp4"),
                               SizeSampler::Piece{47.5, false}, target("mp4"), nullptr, {});
    ASSERT_GE(partial.size(), 12);
    EXPECT_EQ(partial.mid(0, 9), (QStringList{"-hide_banner", "-nostdin", "-y", "-loglevel", "error", "-ss",
                                              "47.50", "-t", "5.00"}));
    EXPECT_EQ(partial.at(9), QStringLiteral("-i"));
    EXPECT_EQ(partial.last(), QStringLiteral("/tmp/o.mp4"));

    const QStringList whole =
        SizeSampler::arguments(QStringLiteral("/in/a.mov"), QStringLiteral("/tmp/o.mp4"),
                               SizeSampler::Piece{0, true}, target("mp4"), nullptr, {});
    EXPECT_FALSE(whole.contains(QStringLiteral("-ss")));
    EXPECT_EQ(whole.at(5), QStringLiteral("-i"));
}

TEST(SizeSamplerTest, MeasuresAShortClipWholeAndLeavesNothingBehind) {
    QTemporaryDir dir;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), {160, 120, 2.0});
    ASSERT_FALSE(clip.isEmpty());
    const std::optional<FFmpeg::Probe> probe = FFmpeg::probeBlocking(clip);
    ASSERT_TRUE(probe);
    PrivateTemp temp;
    const QStringList before = leftovers();
    ASSERT_TRUE(before.isEmpty());
    const std::optional<qint64> size =
        SizeSampler::measure(clip, probe->duration(), target("mp4"), &*probe, {});
    ASSERT_TRUE(size);
    EXPECT_GT(*size, 0);
    EXPECT_EQ(leftovers(), before);
}

TEST(SizeSamplerTest, MeasuresThreePiecesOfALongerClip) {
    QTemporaryDir dir;
    MediaFixtures::Video shape{64, 48, 30.0, 10};
    shape.soundTracks = {};
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("long.mp4"), shape);
    ASSERT_FALSE(clip.isEmpty());
    const std::optional<FFmpeg::Probe> probe = FFmpeg::probeBlocking(clip);
    ASSERT_TRUE(probe);
    const std::optional<qint64> size =
        SizeSampler::measure(clip, probe->duration(), target("gif"), &*probe, {});
    ASSERT_TRUE(size);
    EXPECT_GT(*size, 0);
}

TEST(SizeSamplerTest, FailuresGiveNoneAndDeleteTheirFiles) {
    QTemporaryDir dir;
    const QString junk =
        TestSupport::writeFile(dir.filePath(QStringLiteral("junk.mp4")), QByteArray(4096, 'j'));
    const QStringList before = leftovers();
    // The tool fails on a file that is not a video.
    EXPECT_EQ(SizeSampler::measure(junk, 10, target("mp4"), nullptr, {}), std::nullopt);
    EXPECT_EQ(leftovers(), before);
    // Nothing to measure.
    EXPECT_EQ(SizeSampler::measure(junk, 0, target("mp4"), nullptr, {}), std::nullopt);

    // No ffmpeg.
    FFmpeg::setFolderForTesting(dir.filePath(QStringLiteral("nothing-here")));
    EXPECT_EQ(SizeSampler::measure(junk, 10, target("mp4"), nullptr, {}), std::nullopt);
    FFmpeg::setFolderForTesting({});
}

TEST(SizeSamplerTest, StopEndsTheRun) {
    QTemporaryDir dir;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), {160, 120, 1.0});
    ASSERT_FALSE(clip.isEmpty());
    auto stop = std::make_shared<std::atomic_bool>(true);
    EXPECT_EQ(SizeSampler::measure(clip, 1.0, target("mp4"), nullptr, {}, stop), std::nullopt);
}

} // namespace
