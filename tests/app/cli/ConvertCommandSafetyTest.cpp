// What several runs, a kill and a terminal's Ctrl-C do to outputs: nothing replaced, nothing left
// half-written, nothing of anyone else's removed. Each case runs the real quorvane-convert.
#include "support/DocumentFixtures.h"
#include "support/MediaFixtures.h"
#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSet>
#include <QTemporaryDir>

#include <csignal>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QString program() {
    return QStringLiteral(QC_BUILD_DIR "/bin/quorvane-convert");
}

// Hidden entries in `folder` (our temporary outputs are the only hidden things we make).
QStringList hidden(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral(".*")},
                                  QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QStringList visible(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
}

// Runs share the test's settings and caches, and their own temporary folder.
QProcessEnvironment environment(const QString& temporary) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TMPDIR"), temporary);
    return env;
}

struct Input {
    const char* name;
    const char* target;
};

// One input of each kind that runs long enough to be caught in the middle under the sanitizers.
QString makeInput(const QString& folder, const QString& kind) {
    if (kind == QLatin1String("video")) {
        MediaFixtures::Video clip;
        clip.width = 640;
        clip.height = 480;
        clip.seconds = 20;
        return MediaFixtures::video(folder, QStringLiteral("clip.mp4"), clip);
    }
    if (kind == QLatin1String("picture"))
        return PictureFixtures::picture(folder + QStringLiteral("/photo.png"), 6000, 4000);
    if (kind == QLatin1String("pdf")) {
        QList<PictureFixtures::PdfPage> pages;
        for (int i = 0; i < 40; ++i)
            pages.append(PictureFixtures::PdfPage{QSizeF(600, 800), {{QStringLiteral("Page text")}}});
        return PictureFixtures::pdf(folder + QStringLiteral("/report.pdf"), pages);
    }
    return TestSupport::writeFile(folder + QStringLiteral("/letter.html"), DocumentFixtures::longHtml(400));
}

class ConvertCommandSafetyTest : public ::testing::Test {
protected:
    void SetUp() override {
        DocumentFixtures::useSharedOfficeProfile();
        ASSERT_TRUE(QDir().mkpath(temporary()));
    }
    QString temporary() const { return dir.filePath(QStringLiteral("tmp")); }
    QString folder() const { return dir.filePath(QStringLiteral("in")); }

    QTemporaryDir dir;
};

TEST_F(ConvertCommandSafetyTest, ThreeRunsAtOnceOnOneFileGiveThreeCompleteOutputs) {
    QDir().mkpath(folder());
    MediaFixtures::Video small;
    const QList<std::pair<QString, QString>> inputs{
        {MediaFixtures::video(folder(), QStringLiteral("clip.mp4"), small), QStringLiteral("mkv")},
        {PictureFixtures::picture(folder() + QStringLiteral("/photo.png"), 300, 200), QStringLiteral("jpeg")},
        {TestSupport::writeFile(folder() + QStringLiteral("/letter.html"), DocumentFixtures::html()),
         QStringLiteral("txt")}};
    for (const auto& [input, target] : inputs) {
        SCOPED_TRACE(target.toStdString());
        const QString out = dir.filePath(QStringLiteral("out-") + target);
        QDir().mkpath(out);
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 3; ++i) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(environment(temporary()));
            process->start(program(), {QStringLiteral("--json"), QStringLiteral("--to"), target,
                                       QStringLiteral("--folder"), out, input});
            runs.push_back(std::move(process));
        }
        QSet<QString> named;
        for (auto& process : runs) {
            ASSERT_TRUE(process->waitForFinished(180000));
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
            const QJsonObject result =
                QJsonDocument::fromJson(process->readAllStandardOutput().trimmed()).object();
            EXPECT_EQ(result.value(QStringLiteral("status")).toString(), QStringLiteral("done"));
            const QString output = result.value(QStringLiteral("output")).toString();
            EXPECT_GT(QFileInfo(output).size(), 0) << output.toStdString();
            named.insert(output);
        }
        // Each run reports the name it really got, and no run's output replaced another's.
        EXPECT_EQ(named.size(), 3);
        EXPECT_EQ(visible(out).size(), 3) << visible(out).join(QLatin1Char(',')).toStdString();
        EXPECT_TRUE(hidden(out).isEmpty());
    }
}

TEST_F(ConvertCommandSafetyTest, AKillInTheMiddleLeavesNothingAfterTheNextStart) {
    const QList<std::pair<QString, QString>> cases{{QStringLiteral("picture"), QStringLiteral("heic")},
                                                   {QStringLiteral("pdf"), QStringLiteral("pdf-png")},
                                                   {QStringLiteral("document"), QStringLiteral("doc-pdf")}};
    for (const auto& [kind, target] : cases) {
        SCOPED_TRACE(kind.toStdString());
        const QString here = dir.filePath(kind);
        QDir().mkpath(here);
        const QString input = makeInput(here, kind);
        ASSERT_FALSE(input.isEmpty());
        const QString bystander = TestSupport::writeFile(here + QStringLiteral("/keep.txt"), "mine");
        QProcess process;
        process.setProcessEnvironment(environment(temporary()));
        process.start(program(), {QStringLiteral("--to"), target, input});
        ASSERT_TRUE(process.waitForStarted());
        // Killed as soon as its hidden output exists.
        ASSERT_TRUE(TestSupport::waitFor([&] { return !hidden(here).isEmpty(); }, 120000))
            << process.readAllStandardError().toStdString();
        process.kill();
        ASSERT_TRUE(process.waitForFinished(10000));

        // The next start of either front end removes what the killed run made, and only that.
        QProcess next;
        next.setProcessEnvironment(environment(temporary()));
        next.start(program(), {QStringLiteral("--estimate"), bystander});
        ASSERT_TRUE(next.waitForFinished(60000));
        EXPECT_TRUE(hidden(here).isEmpty()) << hidden(here).join(QLatin1Char(',')).toStdString();
        QStringList expected{QFileInfo(input).fileName(), QStringLiteral("keep.txt")};
        expected.sort();
        EXPECT_EQ(visible(here), expected);
        EXPECT_EQ(TestSupport::readFile(bystander), QByteArray("mine"));
        // The office's private folder of the killed run went too.
        EXPECT_TRUE(QDir(temporary()).entryList({QStringLiteral("qc-document-*")}, QDir::Dirs).isEmpty());
    }
}

TEST_F(ConvertCommandSafetyTest, CtrlCToTheWholeProcessGroupStopsEveryKindCleanly) {
    QDir().mkpath(folder());
    const QString video = makeInput(folder(), QStringLiteral("video"));
    const QString document = makeInput(folder(), QStringLiteral("document"));
    QProcess process;
    process.setProcessEnvironment(environment(temporary()));
    // A terminal puts the command in a process group of its own and sends Ctrl-C to the group.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(program(), {QStringLiteral("--json"), QStringLiteral("--to"), QStringLiteral("webm"),
                              QStringLiteral("--to"), QStringLiteral("doc-pdf"), video, document});
    ASSERT_TRUE(process.waitForStarted());
    // Both are running once both hidden outputs exist.
    ASSERT_TRUE(TestSupport::waitFor([&] { return hidden(folder()).size() >= 2; }, 120000))
        << process.readAllStandardError().toStdString();
    ::kill(-pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1);
    int stopped = 0;
    for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject result = QJsonDocument::fromJson(line).object();
        EXPECT_EQ(result.value(QStringLiteral("status")).toString(), QStringLiteral("cancelled"))
            << line.toStdString();
        ++stopped;
    }
    EXPECT_EQ(stopped, 2);
    EXPECT_TRUE(hidden(folder()).isEmpty()) << hidden(folder()).join(QLatin1Char(',')).toStdString();
    QStringList expected{QFileInfo(video).fileName(), QFileInfo(document).fileName()};
    expected.sort();
    EXPECT_EQ(visible(folder()), expected);
}

} // namespace
