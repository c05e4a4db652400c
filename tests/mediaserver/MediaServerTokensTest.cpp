#include "mediaserver/MediaServerTokens.h"

#include "common/Paths.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

// Each test gets its own data folder, so nothing carries over between tests.
class MediaServerTokensTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_data.isValid());
        m_previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", m_previous); }

    static QJsonObject fileObject() {
        QFile file(MediaServerTokens::file());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(file.readAll()).object();
    }
    static int mode(const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
    }

    QTemporaryDir m_data;
    QByteArray m_previous;
};

const int kWritesPerProcess = 150;

} // namespace

TEST_F(MediaServerTokensTest, LivesInTheSuitesDataFolder) {
    EXPECT_EQ(MediaServerTokens::file(),
              m_data.path() + QStringLiteral("/Halcyrin/Media Server Tokens.json"));
    EXPECT_EQ(MediaServerTokens::file(),
              Paths::applicationSupport() + QStringLiteral("/Media Server Tokens.json"));
}

TEST_F(MediaServerTokensTest, MissingOrUnreadableFilesHoldNoTokens) {
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
    for (const QByteArray& content :
         {QByteArray("not json"), QByteArray("[\"S1\"]"), QByteArray(""), QByteArray(R"({"S1": 42})")}) {
        TestSupport::writeFile(MediaServerTokens::file(), content);
        EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1"))) << content.toStdString();
    }
}

TEST_F(MediaServerTokensTest, WritingOverABadFileLeavesJustTheTokenPrivately) {
    TestSupport::writeFile(MediaServerTokens::file(), "not json {");
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("tok-1"), QStringLiteral("S1")));

    EXPECT_EQ(fileObject(), (QJsonObject{{QStringLiteral("S1"), QStringLiteral("tok-1")}}));
    EXPECT_EQ(MediaServerTokens::get(QStringLiteral("S1")), QStringLiteral("tok-1"));
    EXPECT_EQ(mode(MediaServerTokens::file()), 0600);
    // No temporary file stays behind.
    const QStringList left = QDir(Paths::applicationSupport())
                                 .entryList({QStringLiteral(".tokens-*")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
}

TEST_F(MediaServerTokensTest, AFreshFolderIsPrivate) {
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("tok-1"), QStringLiteral("S1")));
    EXPECT_EQ(mode(Paths::applicationSupport()), 0700);
    EXPECT_EQ(mode(MediaServerTokens::file()), 0600);
}

TEST_F(MediaServerTokensTest, SetReplacesAndRemovesOneMember) {
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("a"), QStringLiteral("S1")));
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("b"), QStringLiteral("S2")));
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("c"), QStringLiteral("S1")));
    EXPECT_EQ(fileObject(), (QJsonObject{{QStringLiteral("S1"), QStringLiteral("c")},
                                         {QStringLiteral("S2"), QStringLiteral("b")}}));
    ASSERT_TRUE(MediaServerTokens::set(std::nullopt, QStringLiteral("S1")));
    ASSERT_TRUE(MediaServerTokens::set(std::nullopt, QStringLiteral("never-there")));
    EXPECT_EQ(fileObject(), (QJsonObject{{QStringLiteral("S2"), QStringLiteral("b")}}));
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
}

TEST_F(MediaServerTokensTest, AFailedReplacementReportsItAndLeavesNoTemporaryFile) {
    // A folder in the file's place: the rename fails, even for root.
    ASSERT_TRUE(QDir().mkpath(MediaServerTokens::file() + QStringLiteral("/blocked")));
    EXPECT_FALSE(MediaServerTokens::set(QStringLiteral("a"), QStringLiteral("S1")));
    EXPECT_FALSE(MediaServerTokens::get(QStringLiteral("S1")));
    const QStringList left = QDir(Paths::applicationSupport())
                                 .entryList({QStringLiteral(".tokens-*")}, QDir::Files | QDir::Hidden);
    EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
}

// Run only as a child of TwoProcessesNeverTearOrLoseTheFile: writes its own ids into the shared
// folder, reading the file back after each write.
TEST_F(MediaServerTokensTest, WriterProcess) {
    const QByteArray folder = qgetenv("QC_TOKENS_WRITER_DATA");
    if (folder.isEmpty())
        GTEST_SKIP() << "helper of TwoProcessesNeverTearOrLoseTheFile";
    qputenv("XDG_DATA_HOME", folder);
    const QString prefix = qEnvironmentVariable("QC_TOKENS_WRITER_PREFIX");
    for (int i = 0; i < kWritesPerProcess; ++i) {
        const QString id = prefix + QString::number(i);
        ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("token-") + id, id));
        ASSERT_EQ(MediaServerTokens::get(id), QStringLiteral("token-") + id);
    }
}

TEST_F(MediaServerTokensTest, TwoProcessesNeverTearOrLoseTheFile) {
    ASSERT_TRUE(MediaServerTokens::set(QStringLiteral("seed"), QStringLiteral("S0")));
    QList<QProcess*> writers;
    for (const char* prefix : {"a", "b"}) {
        auto* process = new QProcess;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QC_TOKENS_WRITER_DATA"), m_data.path());
        environment.insert(QStringLiteral("QC_TOKENS_WRITER_PREFIX"), QString::fromLatin1(prefix));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedChannels);
        process->start(QCoreApplication::applicationFilePath(),
                       {QStringLiteral("--gtest_filter=MediaServerTokensTest.WriterProcess")});
        writers.append(process);
    }
    // Meanwhile this process reads the file without any lock: the rename must make every read see
    // a whole file.
    int reads = 0;
    const bool finished = TestSupport::waitFor(
        [&] {
            QFile file(MediaServerTokens::file());
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray bytes = file.readAll();
                EXPECT_TRUE(QJsonDocument::fromJson(bytes).isObject()) << bytes.toStdString();
                ++reads;
            }
            return std::all_of(writers.cbegin(), writers.cend(),
                               [](QProcess* p) { return p->state() == QProcess::NotRunning; });
        },
        240000);
    ASSERT_TRUE(finished);
    for (QProcess* process : writers) {
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process->exitCode(), 0);
        delete process;
    }
    EXPECT_GT(reads, 0);
    // Both writers' read-modify-writes were serialised: not one id went missing.
    const QJsonObject object = fileObject();
    EXPECT_EQ(object.size(), 1 + 2 * kWritesPerProcess);
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kWritesPerProcess; ++i) {
            const QString id = QString::fromLatin1(prefix) + QString::number(i);
            EXPECT_EQ(object.value(id).toString(), QStringLiteral("token-") + id);
        }
    }
}
