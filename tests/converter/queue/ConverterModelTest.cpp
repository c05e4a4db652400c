#include "converter/queue/ConverterModel.h"

#include "common/Log.h"
#include "common/MediaApp.h"
#include "common/Paths.h"
#include "common/UserDefaults.h"
#include "converter/ConverterEngine.h"
#include "converter/ffmpeg/FFmpeg.h"
#include "support/ConverterTestSupport.h"
#include "support/MediaFixtures.h"
#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

// Readable statuses in failure messages.
void PrintTo(const ConverterModel::Status& status, std::ostream* out) {
    static const char* const states[] = {"running", "done", "failed", "waiting", "cancelled"};
    *out << states[int(status.state)] << '(' << status.fraction << ", \"" << status.output.toStdString()
         << "\", \"" << status.message.toStdString() << "\")";
}

namespace {

using ConverterTestSupport::target;

using Status = ConverterModel::Status;
using State = ConverterModel::Status::State;

QString fileName(const QString& path) {
    return QFileInfo(path).fileName();
}

QStringList names(const ConverterModel& model) {
    QStringList result;
    for (const ConverterModel::Item& item : model.items())
        result.append(fileName(item.url));
    return result;
}

bool allFinished(const ConverterModel& model) {
    return std::all_of(model.items().begin(), model.items().end(),
                       [](const ConverterModel::Item& item) { return item.status.finished(); }) &&
           !model.isBusy();
}

bool allProbed(const ConverterModel& model) {
    return std::all_of(model.items().begin(), model.items().end(),
                       [](const ConverterModel::Item& item) { return item.probed; });
}

MediaFixtures::Video tinyVideo(double seconds = 1.0) {
    MediaFixtures::Video video;
    video.width = 96;
    video.height = 64;
    video.seconds = seconds;
    return video;
}

QString picture(const QString& folder, const QString& name) {
    const QString path = QDir(folder).filePath(name);
    if (!MediaFixtures::run({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                             QStringLiteral("testsrc2=size=64x48"), QStringLiteral("-frames:v"),
                             QStringLiteral("1"), path}))
        return {};
    return path;
}

// ---- settings

TEST(ConverterModelTest, ADetachedModelStartsOnDefaultsAndStoresNothing) {
    UserDefaults::media().setValue(QStringLiteral("fx.converter.quality"), QStringLiteral("small"));
    ConverterModel model;
    for (ConvertKind kind : ConvertKind::all())
        EXPECT_EQ(model.choice(kind), ConvertTarget::targets(kind).first().id);
    EXPECT_EQ(model.quality(), ConvertQuality::balanced);
    EXPECT_EQ(model.maxSize(), 0);
    EXPECT_TRUE(model.folder().isEmpty());
    EXPECT_FALSE(model.combinePDF());

    QTemporaryDir dir;
    model.setChoice(QStringLiteral("webm"), ConvertKind::video);
    model.setQuality(ConvertQuality::best);
    model.setMaxSize(720);
    model.setFolder(dir.path());
    EXPECT_EQ(model.choice(ConvertKind::video), QStringLiteral("webm"));
    EXPECT_EQ(model.options(), (ConvertOptions{ConvertQuality::best, 720}));
    EXPECT_FALSE(UserDefaults::media().contains(QStringLiteral("fx.converter.video")));
    EXPECT_FALSE(UserDefaults::media().contains(QStringLiteral("fx.converter.maxSize")));
    EXPECT_FALSE(UserDefaults::media().contains(QStringLiteral("fx.converter.folder")));
    EXPECT_EQ(UserDefaults::media().string(QStringLiteral("fx.converter.quality")), QStringLiteral("small"));
}

TEST(ConverterModelTest, TheSharedModelRestoresAndStoresItsChoices) {
    QTemporaryDir dir;
    UserDefaults& store = UserDefaults::media();
    store.setValue(QStringLiteral("fx.converter.video"), QStringLiteral("webm"));
    store.setValue(QStringLiteral("fx.converter.audio"), QStringLiteral("no-such-format"));
    store.setValue(QStringLiteral("fx.converter.quality"), QStringLiteral("small"));
    store.setValue(QStringLiteral("fx.converter.maxSize"), 480);
    store.setValue(QStringLiteral("fx.converter.folder"), dir.path());

    ConverterModel& model = ConverterModel::shared();
    EXPECT_EQ(&model, &ConverterModel::shared());
    EXPECT_EQ(model.choice(ConvertKind::video), QStringLiteral("webm"));
    EXPECT_EQ(model.choice(ConvertKind::audio), ConvertTarget::targets(ConvertKind::audio).first().id);
    EXPECT_EQ(model.quality(), ConvertQuality::small);
    EXPECT_EQ(model.maxSize(), 480);
    EXPECT_EQ(model.folder(), dir.path());
    EXPECT_FALSE(model.combinePDF());

    model.setChoice(QStringLiteral("mp3"), ConvertKind::video);
    model.setQuality(ConvertQuality::best);
    model.setMaxSize(1080);
    EXPECT_EQ(store.string(QStringLiteral("fx.converter.video")), QStringLiteral("mp3"));
    EXPECT_EQ(store.string(QStringLiteral("fx.converter.quality")), QStringLiteral("best"));
    EXPECT_EQ(store.integer(QStringLiteral("fx.converter.maxSize")), 1080);
    model.setFolder({});
    EXPECT_FALSE(store.contains(QStringLiteral("fx.converter.folder")));
}

TEST(ConverterModelTest, RememberedIgnoresWhatNoLongerFits) {
    UserDefaults& store = UserDefaults::media();
    store.setValue(QStringLiteral("fx.converter.image"), QStringLiteral("mp4")); // not a picture format
    store.setValue(QStringLiteral("fx.converter.quality"), QStringLiteral("great"));
    store.setValue(QStringLiteral("fx.converter.folder"), QStringLiteral("/no/such/folder"));
    const ConverterModel::Remembered remembered = ConverterModel::remembered();
    EXPECT_EQ(remembered.choice.value(ConvertKind::image),
              ConvertTarget::targets(ConvertKind::image).first().id);
    EXPECT_EQ(remembered.quality, ConvertQuality::balanced);
    EXPECT_TRUE(remembered.folder.isEmpty());
}

// ---- adding

TEST(ConverterModelTest, FoldersAreExpandedTwoLevelsDeep) {
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("drop"));
    for (const char* path : {"a.mp4", "sub/b.mp3", "sub/deeper/c.png", ".hidden.mp4", "sub/.secret.mp3",
                             ".cache/d.mp4", "Film.app/Contents/e.mp4"})
        TestSupport::writeFile(root + QLatin1Char('/') + QString::fromLatin1(path), "x");
    EXPECT_EQ(ConverterModel::expand({root}), (QStringList{root + "/a.mp4", root + "/sub/b.mp3"}));
    // A pipe is never read (deciding its kind would wait for a writer for ever).
    ASSERT_EQ(::mkfifo(QFile::encodeName(root + "/pipe.mp4").constData(), 0600), 0);
    EXPECT_EQ(ConverterModel::expand({root + "/pipe.mp4"}), QStringList());
    // A named file is taken as it is, a missing one is ignored.
    EXPECT_EQ(ConverterModel::expand({root + "/.hidden.mp4", root + "/missing.mp4"}),
              QStringList{root + "/.hidden.mp4"});

    ConverterModel model;
    ConverterTestSupport::addAndWait(model, {root});
    EXPECT_EQ(names(model), (QStringList{"a.mp4", "b.mp3"}));
    EXPECT_EQ(model.items().at(0).kind, ConvertKind::video);
    EXPECT_EQ(model.items().at(1).kind, ConvertKind::audio);
    EXPECT_EQ(model.items().at(0).size, 1);
    EXPECT_EQ(model.items().at(0).status, Status::waiting());
}

TEST(ConverterModelTest, WaitingDuplicatesAreLeftOutAndSkippedIsReplaced) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    const QString notes = TestSupport::writeFile(dir.filePath(QStringLiteral("notes.xyz")),
                                                 QByteArray(64, char(0)) + QByteArray("\xff\xfe\x00\x07", 4));
    ASSERT_FALSE(song.isEmpty());

    ConverterModel model;
    QSignalSpy inserted(&model, &ConverterModel::itemInserted);
    ConverterTestSupport::addAndWait(model, {notes, song});
    EXPECT_EQ(model.items().size(), 1);
    EXPECT_EQ(model.skipped(), 1);
    ConverterTestSupport::addAndWait(model, {song, dir.path() + QStringLiteral("/./song.wav")});
    EXPECT_EQ(model.items().size(), 1);
    EXPECT_EQ(model.skipped(), 0);
    EXPECT_EQ(inserted.size(), 1);

    // Once done, the same file can be converted again.
    model.setChoice(QStringLiteral("mp3"), ConvertKind::audio);
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    EXPECT_EQ(model.items().at(0).status.state, State::done);
    ConverterTestSupport::addAndWait(model, {song});
    EXPECT_EQ(model.items().size(), 2);
}

TEST(ConverterModelTest, VideoAndSoundItemsAreProbed) {
    QTemporaryDir dir;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), tinyVideo());
    const QString junk =
        TestSupport::writeFile(dir.filePath(QStringLiteral("junk.mp3")), QByteArray(100, 'j'));
    ConverterModel model;
    ConverterTestSupport::addAndWait(model, {clip, junk});
    EXPECT_FALSE(model.items().at(0).probed);
    ASSERT_TRUE(TestSupport::waitFor([&] { return allProbed(model); }));
    ASSERT_TRUE(model.items().at(0).probe);
    EXPECT_TRUE(model.items().at(0).probe->video());
    EXPECT_FALSE(model.items().at(1).probe);
}

// ---- converting

TEST(ConverterModelTest, FiveVideosConvertTwoAtATimeInListOrder) {
    QTemporaryDir dir;
    QStringList clips;
    for (int i = 1; i <= 5; ++i) {
        clips.append(MediaFixtures::video(dir.path(), QStringLiteral("clip%1.mkv").arg(i), tinyVideo()));
        ASSERT_FALSE(clips.last().isEmpty());
    }
    ConverterModel model;
    ConverterTestSupport::addAndWait(model, clips);
    QStringList started;
    int most = 0;
    QObject::connect(&model, &ConverterModel::itemChanged, [&](int row) {
        const ConverterModel::Item& item = model.items().at(row);
        if (item.status.isRunning() && !started.contains(fileName(item.url)))
            started.append(fileName(item.url));
        most = std::max(most, model.running());
    });
    QSignalSpy busy(&model, &ConverterModel::busyChanged);
    model.convertAll();
    EXPECT_EQ(model.running(), 2);
    EXPECT_EQ(model.pending(), 3);
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 120000));
    EXPECT_EQ(most, 2);
    EXPECT_EQ(started, (QStringList{"clip1.mkv", "clip2.mkv", "clip3.mkv", "clip4.mkv", "clip5.mkv"}));
    for (const ConverterModel::Item& item : model.items()) {
        EXPECT_EQ(item.status.state, State::done) << item.status.message.toStdString();
        EXPECT_EQ(fileName(item.status.output),
                  QFileInfo(item.url).completeBaseName() + QStringLiteral(".mp4"));
        EXPECT_TRUE(QFileInfo(item.status.output).size() > 0);
    }
    ASSERT_GE(busy.size(), 2);
    EXPECT_EQ(busy.first().at(0).toBool(), true);
    EXPECT_EQ(busy.last().at(0).toBool(), false);
    EXPECT_TRUE(model.kinds().isEmpty());
    EXPECT_TRUE(model.hasFinished());
}

TEST(ConverterModelTest, SameNamesFromTwoFoldersIntoOneFolderGetTwoNames) {
    QTemporaryDir dir;
    const QString first =
        MediaFixtures::video(dir.filePath(QStringLiteral("one")), QStringLiteral("a.mov"), tinyVideo());
    const QString second =
        MediaFixtures::video(dir.filePath(QStringLiteral("two")), QStringLiteral("a.mov"), tinyVideo());
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    ConverterModel model;
    model.setFolder(out);
    ConverterTestSupport::addAndWait(model, {first, second});
    model.convertAll();
    EXPECT_EQ(model.running(), 2);
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    EXPECT_EQ(model.items().at(0).status, Status::done(out + QStringLiteral("/a.mp4")));
    EXPECT_EQ(model.items().at(1).status, Status::done(out + QStringLiteral("/a (converted).mp4")));
}

TEST(ConverterModelTest, AFileAppearingUnderTheChosenNameStaysAndTheOutputTakesTheNext) {
    QTemporaryDir dir;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mov"), tinyVideo());
    const QString picture = PictureFixtures::picture(dir.filePath(QStringLiteral("photo.jpg")), 40, 30);
    ConverterModel model;
    model.setChoice(QStringLiteral("png"), ConvertKind::image);
    ConverterTestSupport::addAndWait(model, {clip, picture});
    model.convertAll();
    // While the video is probed again and the picture is written, files of the user's appear
    // under the names the queue chose.
    const QString video = TestSupport::writeFile(dir.filePath(QStringLiteral("clip.mp4")), "the user's");
    const QString png = TestSupport::writeFile(dir.filePath(QStringLiteral("photo.png")), "the user's too");
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    EXPECT_EQ(TestSupport::readFile(video), QByteArray("the user's"));
    EXPECT_EQ(TestSupport::readFile(png), QByteArray("the user's too"));
    EXPECT_EQ(model.items().at(0).status, Status::done(dir.filePath(QStringLiteral("clip (converted).mp4"))));
    EXPECT_EQ(model.items().at(1).status, Status::done(dir.filePath(QStringLiteral("photo (converted).png"))));
    EXPECT_GT(QFileInfo(dir.filePath(QStringLiteral("clip (converted).mp4"))).size(), 1000);
    EXPECT_TRUE(QDir(dir.path()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ConverterModelTest, StoppedPicturesPdfsAndDocumentsLeaveNothing) {
    QTemporaryDir dir;
    const QString big = TestSupport::writeFile(dir.filePath(QStringLiteral("notes.txt")), QByteArray(200000, 'a'));
    ConverterModel model;
    ConverterTestSupport::addAndWait(model, {big});
    ASSERT_EQ(model.items().size(), 1);
    model.convertAll();
    model.cancelAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 120000));
    EXPECT_EQ(model.items().at(0).status, Status::cancelled());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("notes.txt")});
}

struct FailureCase {
    const char* name;
    MediaFixtures::Video video;
    QStringList ffmpeg; // made with these arguments instead when not empty
    const char* target;
    const char* message;
};

TEST(ConverterModelTest, ToolFailuresBecomePlainSentencesAndLeaveNoOutput) {
    QTemporaryDir dir;
    MediaFixtures::Video silent = tinyVideo();
    silent.soundTracks = {};
    const QString songOnly = dir.filePath(QStringLiteral("song-only.mp4"));
    const QString ffv1 = dir.filePath(QStringLiteral("lossless.mkv"));
    const FailureCase cases[] = {
        {"silent.mp4", silent, {}, "mp3", "This video has no sound to save."},
        {"song-only.mp4",
         {},
         {"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac", songOnly},
         "mp3",
         "No picture found in this file."},
        {"lossless.mkv",
         {},
         {"-f", "lavfi", "-i", "testsrc2=size=64x48:duration=1", "-c:v", "ffv1", ffv1},
         "mp4-copy",
         "This video's format can't go into MP4 without converting. Choose MP4 (H.264) instead."},
    };
    for (const FailureCase& c : cases) {
        QString input;
        if (c.ffmpeg.isEmpty()) {
            input = MediaFixtures::video(dir.path(), QString::fromLatin1(c.name), c.video);
        } else {
            ASSERT_TRUE(MediaFixtures::run(c.ffmpeg));
            input = dir.filePath(QString::fromLatin1(c.name));
        }
        ASSERT_FALSE(input.isEmpty());
        const QStringList before = QDir(dir.path()).entryList(QDir::Files);
        ConverterModel model;
        model.setChoice(QString::fromLatin1(c.target), ConvertKind::video);
        ConverterTestSupport::addAndWait(model, {input});
        ASSERT_EQ(model.items().size(), 1) << c.name;
        model.convertAll();
        ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
        EXPECT_EQ(model.items().at(0).status, Status::failed(QString::fromUtf8(c.message))) << c.name;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), before) << c.name;
    }
}

TEST(ConverterModelTest, ResultMapping) {
    const ConvertTarget copy = target("mp4-copy");
    const ConvertTarget mp4 = target("mp4");
    const QString out = QStringLiteral("/out/a.mp4");
    const QString name = MediaApp::name();
    struct Case {
        std::optional<QString> text;
        ConvertTarget target;
        Status status;
    };
    const Case cases[] = {
        {std::nullopt, mp4, Status::done(out)},
        {QStringLiteral("Cancelled"), mp4, Status::cancelled()},
        {QStringLiteral("Could not find tag for codec ffv1 in stream #0"), copy,
         Status::failed(QStringLiteral(
             "This video's format can't go into MP4 without converting. Choose MP4 (H.264) instead."))},
        {QStringLiteral("Codec not currently supported in container"), copy,
         Status::failed(QStringLiteral(
             "This video's format can't go into MP4 without converting. Choose MP4 (H.264) instead."))},
        // The rewrap sentence is for the rewrap only.
        {QStringLiteral("\nUnknown codec\nmore"), mp4, Status::failed(QStringLiteral("Unknown codec"))},
        {QStringLiteral("av_interleaved_write_frame(): No space left on device"), mp4,
         Status::failed(QStringLiteral("The disk is full."))},
        {QStringLiteral("/out/a.mp4: Permission denied"), mp4,
         Status::failed(name +
                        QStringLiteral(" isn't allowed to save in that folder. Choose another folder."))},
        {QStringLiteral("in.mp4: Invalid data found when processing input"), mp4,
         Status::failed(QStringLiteral("This file looks damaged or isn't really a video or audio file."))},
        {QStringLiteral("  \n\n"), mp4, Status::failed(QStringLiteral("  \n\n"))},
        {QStringLiteral("FFmpeg stopped with code 1."), mp4,
         Status::failed(QStringLiteral("FFmpeg stopped with code 1."))},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ConverterModel::statusForResult(c.text, c.target, out), c.status)
            << c.text.value_or(QStringLiteral("none")).toStdString();
}

TEST(ConverterModelTest, AMissingFFmpegFailsWithTheReinstallSentence) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    FFmpeg::setFolderForTesting(dir.filePath(QStringLiteral("no-tools")));
    ConverterModel model;
    ConverterTestSupport::addAndWait(model, {song});
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }));
    FFmpeg::setFolderForTesting({});
    EXPECT_EQ(
        model.items().at(0).status,
        Status::failed(QStringLiteral("The converter's FFmpeg is missing from QuorvaneConverter. Reinstall "
                                      "QuorvaneConverter.")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"song.wav"});
}

TEST(ConverterModelTest, WithoutAFormatAnItemFails) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 0.5);
    ConverterModel model;
    model.setChoice(QString(), ConvertKind::audio);
    ConverterTestSupport::addAndWait(model, {song});
    model.convertAll();
    EXPECT_EQ(model.items().at(0).status, Status::failed(QStringLiteral("Choose a format first.")));
    EXPECT_FALSE(model.isBusy());
}

TEST(ConverterModelTest, CancelWaitingAtOnceAndRunningWhenTheToolHasStopped) {
    QTemporaryDir dir;
    MediaFixtures::Video longer = tinyVideo(20);
    longer.width = 320;
    longer.height = 240;
    const QString a = MediaFixtures::video(dir.path(), QStringLiteral("a.mp4"), longer);
    const QString b = MediaFixtures::video(dir.path(), QStringLiteral("b.mp4"), tinyVideo());
    const QString c = MediaFixtures::video(dir.path(), QStringLiteral("c.mp4"), tinyVideo());
    ConverterModel model;
    model.setChoice(QStringLiteral("webm"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, {a, b, c});
    model.convertAll();
    const QUuid running = model.items().at(0).id;
    const QUuid waiting = model.items().at(2).id;
    model.cancel(waiting);
    EXPECT_EQ(model.items().at(2).status, Status::cancelled());

    // Let the tool write a little first.
    TestSupport::waitFor([&] { return model.items().at(0).status.fraction > 0; }, 20000);
    model.cancel(running);
    EXPECT_TRUE(model.items().at(0).status.isRunning());
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    EXPECT_EQ(model.items().at(0).status, Status::cancelled());
    EXPECT_EQ(model.items().at(1).status.state, State::done);
    EXPECT_EQ(model.items().at(2).status, Status::cancelled());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("a.webm"))));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("b.webm"))));
}

TEST(ConverterModelTest, CancelAllStopsEverythingAndRemoveAndClearTakeItemsOut) {
    QTemporaryDir dir;
    QStringList clips;
    for (int i = 1; i <= 4; ++i)
        clips.append(MediaFixtures::video(dir.path(), QStringLiteral("v%1.mp4").arg(i), tinyVideo(10)));
    ConverterModel model;
    model.setChoice(QStringLiteral("webm"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, clips);
    model.convertAll();
    model.cancelAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    for (const ConverterModel::Item& item : model.items())
        EXPECT_EQ(item.status, Status::cancelled());
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.webm")}, QDir::Files), QStringList());

    QSignalSpy removed(&model, &ConverterModel::itemRemoved);
    model.remove(model.items().at(1).id);
    EXPECT_EQ(names(model), (QStringList{"v1.mp4", "v3.mp4", "v4.mp4"}));
    EXPECT_EQ(removed.takeFirst().at(0).toInt(), 1);
    ConverterTestSupport::addAndWait(model, {clips.at(0)}); // finished items do not block a new one
    model.clearFinished();
    EXPECT_EQ(names(model), QStringList{"v1.mp4"});
    EXPECT_TRUE(model.items().at(0).status.isWaiting());
}

TEST(ConverterModelTest, PicturesPdfsAndTheCombinedPdf) {
    QTemporaryDir dir;
    const QString one = picture(dir.path(), QStringLiteral("one.png"));
    const QString two = picture(dir.path(), QStringLiteral("two.png"));
    ASSERT_FALSE(one.isEmpty());
    ASSERT_FALSE(two.isEmpty());
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);

    // One picture is not combined: it converts on its own.
    {
        ConverterModel model;
        model.setChoice(QStringLiteral("pdf"), ConvertKind::image);
        model.setCombinePDF(true);
        model.setFolder(out);
        ConverterTestSupport::addAndWait(model, {one});
        model.convertAll();
        ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
        EXPECT_EQ(model.items().at(0).status, Status::done(out + QStringLiteral("/one.pdf")));
    }
    // Two are combined into Pictures.pdf.
    {
        ConverterModel model;
        model.setChoice(QStringLiteral("pdf"), ConvertKind::image);
        model.setCombinePDF(true);
        model.setFolder(out);
        ConverterTestSupport::addAndWait(model, {one, two});
        model.convertAll();
        ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
        const Status combined = Status::done(out + QStringLiteral("/Pictures.pdf"));
        EXPECT_EQ(model.items().at(0).status, combined);
        EXPECT_EQ(model.items().at(1).status, combined);
    }
    // The PDF's pages as pictures go into "<name> pages".
    {
        ConverterModel model;
        model.setChoice(QStringLiteral("pdf-png"), ConvertKind::pdf);
        ConverterTestSupport::addAndWait(model, {out + QStringLiteral("/Pictures.pdf")});
        ASSERT_EQ(model.items().size(), 1);
        EXPECT_EQ(model.items().at(0).kind, ConvertKind::pdf);
        model.convertAll();
        ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
        EXPECT_EQ(model.items().at(0).status, Status::done(out + QStringLiteral("/Pictures pages")));
        EXPECT_EQ(QDir(out + QStringLiteral("/Pictures pages")).entryList(QDir::Files).size(), 2);
    }
}

TEST(ConverterModelTest, FinishedConversionsAreLoggedWithoutFileNames) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("secret-song.wav"), 0.5);
    ConverterModel model;
    model.setChoice(QStringLiteral("mp3"), ConvertKind::audio);
    ConverterTestSupport::addAndWait(model, {song});
    model.convertAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    Log::flush();
    const QString tail = Log::tail(20).join(QLatin1Char('\n'));
    EXPECT_TRUE(tail.contains(QStringLiteral("Converter: audio → mp3 done"))) << tail.toStdString();
    EXPECT_FALSE(tail.contains(QStringLiteral("secret-song")));
}

// ---- estimates

TEST(ConverterModelTest, SoundIsCalculatedAndTheRewrapKeepsTheSize) {
    QTemporaryDir dir;
    const QString song = MediaFixtures::sound(dir.path(), QStringLiteral("song.wav"), 60, 2);
    ASSERT_FALSE(song.isEmpty());
    ConverterModel model;
    ConverterTestSupport::addAndWait(model, {song});
    const ConverterModel::Item before = model.items().at(0);
    EXPECT_TRUE(model.isEstimating(before, target("wav")));
    EXPECT_EQ(model.estimatedTotal(ConvertKind::audio, target("wav")),
              (ConverterModel::Total{0, false, true}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return allProbed(model); }));
    const ConverterModel::Item item = model.items().at(0);
    EXPECT_FALSE(model.isEstimating(item, target("wav")));
    EXPECT_EQ(model.estimate(item, target("wav")), 10'584'000);
    EXPECT_EQ(model.estimate(item, target("flac")), 6'350'400);
    EXPECT_EQ(model.estimate(item, target("mp3")), 1'440'000);
    EXPECT_EQ(model.estimatedTotal(ConvertKind::audio, target("mp3")),
              (ConverterModel::Total{1'440'000, true, false}));
    EXPECT_EQ(model.originalTotal(ConvertKind::audio), item.size);
    EXPECT_EQ(model.originalTotal(ConvertKind::video), 0);
}

TEST(ConverterModelTest, VideoFormatsAreMeasuredPerQualityAndKeptWhenSwitchingBack) {
    QTemporaryDir dir;
    const QString clip = MediaFixtures::video(dir.path(), QStringLiteral("clip.mp4"), tinyVideo(2));
    ConverterModel model;
    model.setChoice(QStringLiteral("mp4"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, {clip});
    const ConvertTarget mp4 = target("mp4");
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return model.estimate(model.items().at(0), mp4).has_value(); }, 60000));
    const qint64 balanced = *model.estimate(model.items().at(0), mp4);
    EXPECT_GT(balanced, 0);
    EXPECT_EQ(model.sampled().size(), 1);
    EXPECT_TRUE(model.sampled().contains(ConverterModel::sampleKey(
        model.items().at(0).id, QStringLiteral("mp4"), {ConvertQuality::balanced, 0})));
    // Another format that is not chosen is not measured.
    EXPECT_TRUE(model.isEstimating(model.items().at(0), target("webm")));

    model.setQuality(ConvertQuality::best);
    EXPECT_TRUE(model.isEstimating(model.items().at(0), mp4));
    EXPECT_EQ(model.estimatedTotal(ConvertKind::video, mp4), (ConverterModel::Total{0, false, true}));
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return model.estimate(model.items().at(0), mp4).has_value(); }, 60000));
    const qint64 best = *model.estimate(model.items().at(0), mp4);
    EXPECT_GT(best, balanced);

    model.setQuality(ConvertQuality::balanced);
    EXPECT_EQ(model.estimate(model.items().at(0), mp4), balanced);
    EXPECT_FALSE(model.isEstimating(model.items().at(0), mp4));
    EXPECT_FALSE(model.isSampling());
}

TEST(ConverterModelTest, AFailedMeasurementIsNotRetried) {
    QTemporaryDir dir;
    // A picture-less "video" with a duration: nothing to measure, so never "estimating".
    const QString songOnly = dir.filePath(QStringLiteral("song-only.mp4"));
    ASSERT_TRUE(MediaFixtures::run({"-f", "lavfi", "-i", "sine=duration=1", "-c:a", "aac", songOnly}));
    ConverterModel model;
    model.setChoice(QStringLiteral("mp4"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, {songOnly});
    ASSERT_TRUE(TestSupport::waitFor([&] { return allProbed(model); }));
    EXPECT_FALSE(model.isEstimating(model.items().at(0), target("mp4")));
    EXPECT_FALSE(model.isSampling());
    EXPECT_EQ(model.estimatedTotal(ConvertKind::video, target("mp4")), ConverterModel::Total{});
}

// A stand-in ffmpeg that holds every conversion until the gate file exists; measurements
// ("converter-estimate-" outputs) and probes run at once with the real tools.
class GatedTools {
public:
    explicit GatedTools(const QString& folder)
        : m_folder(folder + QStringLiteral("/tools"))
        , m_gate(folder + QStringLiteral("/gate")) {
        QDir().mkpath(m_folder);
        const QString real = Paths::toolFolder();
        QFile::link(real + QStringLiteral("/ffprobe"), m_folder + QStringLiteral("/ffprobe"));
        TestSupport::writeFile(
            m_folder + QStringLiteral("/ffmpeg"),
            QStringLiteral("#!/bin/sh\n"
                           "case \"$*\" in *converter-estimate-*) exec \"%1/ffmpeg\" \"$@\";; esac\n"
                           "while [ ! -e \"%2\" ]; do sleep 0.05; done\n"
                           "exec \"%1/ffmpeg\" \"$@\"\n")
                .arg(real, m_gate)
                .toUtf8());
        QFile::setPermissions(m_folder + QStringLiteral("/ffmpeg"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        FFmpeg::setFolderForTesting(m_folder);
    }
    ~GatedTools() { FFmpeg::setFolderForTesting({}); }
    void open() { TestSupport::writeFile(m_gate, "open"); }

private:
    QString m_folder;
    QString m_gate;
};

TEST(ConverterModelTest, MeasuringPausesWhileConvertingAndResumesAfter) {
    QTemporaryDir dir;
    GatedTools tools(dir.path());
    const QString v1 = MediaFixtures::video(dir.path(), QStringLiteral("v1.mp4"), tinyVideo());
    const QString v2 = MediaFixtures::video(dir.path(), QStringLiteral("v2.mp4"), tinyVideo());
    const QString v3 = MediaFixtures::video(dir.path(), QStringLiteral("v3.mp4"), tinyVideo());
    const QString v4 = MediaFixtures::video(dir.path(), QStringLiteral("v4.mp4"), tinyVideo());

    ConverterModel model;
    bool sampledWhileBusy = false;
    const auto watch = [&] { sampledWhileBusy = sampledWhileBusy || (model.isSampling() && model.isBusy()); };
    QObject::connect(&model, &ConverterModel::itemChanged, watch);
    QObject::connect(&model, &ConverterModel::estimatesChanged, watch);
    QObject::connect(&model, &ConverterModel::busyChanged, watch);

    model.setChoice(QStringLiteral("mp4-copy"), ConvertKind::video);
    ConverterTestSupport::addAndWait(model, {v1, v2});
    model.convertAll();
    ASSERT_EQ(model.running(), 2);
    ConverterTestSupport::addAndWait(model, {v3});
    ASSERT_TRUE(TestSupport::waitFor([&] { return model.items().at(2).probed; }));
    // A measured format is chosen while both conversions are held: nothing is measured.
    model.setChoice(QStringLiteral("mp4"), ConvertKind::video);
    EXPECT_FALSE(model.isSampling());
    EXPECT_TRUE(model.isEstimating(model.items().at(2), target("mp4")));
    QCoreApplication::processEvents();
    EXPECT_FALSE(model.isSampling());
    EXPECT_TRUE(model.sampled().isEmpty());

    tools.open();
    ASSERT_TRUE(TestSupport::waitFor([&] { return allFinished(model); }, 60000));
    EXPECT_FALSE(sampledWhileBusy);

    // With the queue idle, measuring resumes.
    ConverterTestSupport::addAndWait(model, {v4});
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return model.estimate(model.items().at(3), target("mp4")).has_value(); }, 60000));
    EXPECT_FALSE(sampledWhileBusy);
}

} // namespace
