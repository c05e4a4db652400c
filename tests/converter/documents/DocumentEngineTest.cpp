#include "converter/documents/DocumentEngine.h"
#include "support/DocumentFixtures.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <csignal>

#include <gtest/gtest.h>

namespace {

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        DocumentFixtures::useSharedOfficeProfile();
        // The worker stands still on inputs whose path holds this marker: an office that hangs.
        qputenv("QC_DOCUMENT_WORKER_TEST_HANG", "hang-here");
        ASSERT_TRUE(m_dir.isValid());
    }

    DocumentEngine::Request request(const QString& name, const QByteArray& bytes, const QString& format) {
        DocumentEngine::Request r;
        r.input = TestSupport::writeFile(m_dir.path() + QLatin1Char('/') + name, bytes);
        r.output = m_dir.path() + QStringLiteral("/out-%1.%2").arg(++m_outputs).arg(format);
        r.format = format;
        r.folder = m_dir.path();
        r.normalize = true;
        r.inputSize = bytes.size();
        return r;
    }

    QTemporaryDir m_dir;
    int m_outputs = 0;
};

} // namespace

TEST(DocumentEngineLimits, TimeLimitGrowsWithInputSize) {
    EXPECT_EQ(DocumentEngine::timeLimit(0), 60'000);
    EXPECT_EQ(DocumentEngine::timeLimit(1024 * 1024), 90'000);
    EXPECT_LT(DocumentEngine::timeLimit(1024 * 1024), DocumentEngine::timeLimit(4 * 1024 * 1024));
    EXPECT_EQ(DocumentEngine::timeLimit(qint64(1) << 40), 600'000);
    EXPECT_EQ(DocumentEngine::timeLimit(-5), 60'000);
}

TEST_F(Engine, KilledWorkerFailsOnlyThatItem) {
    auto& engine = DocumentEngine::shared();
    const auto warm = request(QStringLiteral("warm.html"), DocumentFixtures::html(), QStringLiteral("pdf"));
    ASSERT_EQ(engine.convert(warm), std::nullopt);
    const qint64 first = engine.workerProcessId();
    ASSERT_GT(first, 0);

    const auto stuck =
        request(QStringLiteral("hang-here.html"), DocumentFixtures::html(), QStringLiteral("pdf"));
    QFuture<ConvertResult> pending = QtConcurrent::run([&engine, stuck] { return engine.convert(stuck); });
    // The worker now sits on the request; kill it as a crash would.
    QThread::msleep(300);
    ASSERT_EQ(::kill(pid_t(first), SIGKILL), 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return pending.isFinished(); }, 30000));
    EXPECT_EQ(pending.result(), ConvertError{DocumentEngine::unreadableMessage()});
    EXPECT_FALSE(QFileInfo::exists(stuck.output));

    const auto next = request(QStringLiteral("next.html"), DocumentFixtures::html(), QStringLiteral("docx"));
    EXPECT_EQ(engine.convert(next), std::nullopt);
    EXPECT_TRUE(QFileInfo(next.output).size() > 0);
    EXPECT_NE(engine.workerProcessId(), first);
}

TEST_F(Engine, HangPastTheTimeLimitFailsOnlyThatItem) {
    auto& engine = DocumentEngine::shared();
    // Warm first, so the short limit below is spent on the hang alone.
    ASSERT_EQ(
        engine.convert(request(QStringLiteral("warm.html"), DocumentFixtures::html(), QStringLiteral("pdf"))),
        std::nullopt);
    engine.setTimeLimitForTesting(1500);
    const auto stuck =
        request(QStringLiteral("hang-here.html"), DocumentFixtures::html(), QStringLiteral("pdf"));
    EXPECT_EQ(engine.convert(stuck), ConvertError{DocumentEngine::unreadableMessage()});
    EXPECT_EQ(engine.workerProcessId(), 0);
    engine.setTimeLimitForTesting(0);
    EXPECT_EQ(engine.convert(
                  request(QStringLiteral("after.html"), DocumentFixtures::html(), QStringLiteral("odt"))),
              std::nullopt);
}

TEST_F(Engine, RequestsFromSeveralThreadsAllSucceed) {
    auto& engine = DocumentEngine::shared();
    QList<DocumentEngine::Request> requests;
    for (const char* format : {"pdf", "docx", "odt", "rtf"})
        requests.append(request(QStringLiteral("page-%1.html").arg(QLatin1String(format)),
                                DocumentFixtures::html(), QString::fromLatin1(format)));
    QList<QFuture<ConvertResult>> futures;
    for (const auto& r : requests)
        futures.append(QtConcurrent::run([&engine, r] { return engine.convert(r); }));
    for (int i = 0; i < futures.size(); ++i) {
        futures[i].waitForFinished();
        EXPECT_EQ(futures[i].result(), std::nullopt) << i;
        EXPECT_GT(QFileInfo(requests[i].output).size(), 0) << i;
    }
}

TEST_F(Engine, IdleWorkerQuits) {
    auto& engine = DocumentEngine::shared();
    engine.setIdleTimeForTesting(300);
    ASSERT_EQ(
        engine.convert(request(QStringLiteral("page.html"), DocumentFixtures::html(), QStringLiteral("pdf"))),
        std::nullopt);
    const qint64 pid = engine.workerProcessId();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(TestSupport::waitFor([&] { return engine.workerProcessId() == 0; }, 20000));
    // The process really ends (the polite quit, else the kill after a few seconds).
    EXPECT_TRUE(TestSupport::waitFor([&] { return ::kill(pid_t(pid), 0) != 0; }, 20000));
    // And the next request starts a fresh one.
    EXPECT_EQ(engine.convert(
                  request(QStringLiteral("again.html"), DocumentFixtures::html(), QStringLiteral("pdf"))),
              std::nullopt);
}

TEST_F(Engine, MissingOfficeNamesWhatToInstall) {
    qputenv("QC_OFFICE_FOLDER", (m_dir.path() + QStringLiteral("/no-office")).toUtf8());
    const auto r = request(QStringLiteral("page.html"), DocumentFixtures::html(), QStringLiteral("pdf"));
    const ConvertResult result = DocumentEngine::shared().convert(r);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->message, DocumentEngine::officeMissingMessage());
    EXPECT_TRUE(result->message.contains(QLatin1String("libreoffice-writer-nogui")));
    EXPECT_FALSE(QFileInfo::exists(r.output));
}

TEST_F(Engine, GarbageInputIsAnErrorNotACrash) {
    auto& engine = DocumentEngine::shared();
    auto r = request(QStringLiteral("corrupt.docx"), QByteArray("PK\x03\x04 truncated", 14),
                     QStringLiteral("pdf"));
    r.normalize = false;
    EXPECT_EQ(engine.convert(r), ConvertError{DocumentEngine::unreadableMessage()});
    EXPECT_EQ(
        engine.convert(request(QStringLiteral("page.html"), DocumentFixtures::html(), QStringLiteral("pdf"))),
        std::nullopt);
}
