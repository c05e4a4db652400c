// A full disk and a folder we may not write, for every kind of conversion: the plain sentences,
// and nothing left behind. Needs a small file system of its own (tmpfs), so it runs as root and
// is skipped elsewhere.
#include "converter/ConverterEngine.h"
#include "converter/queue/ConverterModel.h"
#include "converter/queue/OutputFile.h"
#include "support/ConverterTestSupport.h"
#include "support/DocumentFixtures.h"
#include "support/MediaFixtures.h"
#include "support/PictureFixtures.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using ConverterTestSupport::target;

bool mountCommand(const QStringList& arguments) {
    QProcess mount;
    mount.start(QStringLiteral("mount"), arguments);
    return mount.waitForFinished(10000) && mount.exitStatus() == QProcess::NormalExit &&
           mount.exitCode() == 0;
}

class SaveFailuresTest : public ::testing::Test {
protected:
    void SetUp() override {
        DocumentFixtures::useSharedOfficeProfile();
        if (::geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system for the test needs root";
        volume = dir.filePath(QStringLiteral("volume"));
        QDir().mkpath(volume);
        if (!mountCommand({QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=1m"), QStringLiteral("tmpfs"), volume}))
            GTEST_SKIP() << "tmpfs cannot be mounted here";
        mounted = true;
        inputs = dir.filePath(QStringLiteral("inputs"));
        QDir().mkpath(inputs);
    }
    void TearDown() override {
        if (mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), volume});
    }
    // Fills the volume to the last byte.
    void fill() {
        const int fd = ::open(QFile::encodeName(volume + QStringLiteral("/filler")).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const QByteArray block(65536, 'x');
        for (qsizetype size = block.size(); size >= 1; size /= 2)
            while (::write(fd, block.constData(), size_t(size)) == ssize_t(size)) {
            }
        ::close(fd);
    }
    void makeReadOnly() {
        ASSERT_TRUE(mountCommand({QStringLiteral("-o"), QStringLiteral("remount,ro"), volume}));
    }
    QStringList leftovers() const {
        QStringList names = QDir(volume).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral("filler"));
        return names;
    }
    // One conversion of each kind that writes far more than nothing.
    QList<std::pair<QString, ConvertResult>> convertEveryKind() {
        const QString picture = PictureFixtures::picture(inputs + QStringLiteral("/photo.png"), 400, 300);
        const QString pdf = PictureFixtures::pdf(inputs + QStringLiteral("/report.pdf"),
                                                 {{QSizeF(300, 200), {{QStringLiteral("Some text")}}}});
        const QString page =
            TestSupport::writeFile(inputs + QStringLiteral("/page.html"), DocumentFixtures::html());
        return {
            {QStringLiteral("picture"),
             ConverterEngine::convertImage(picture, volume + QStringLiteral("/photo.tiff"), target("tiff"),
                                           {})},
            {QStringLiteral("pictures to PDF"),
             ConverterEngine::picturesToPDF({picture}, volume + QStringLiteral("/photo.pdf"), {})},
            {QStringLiteral("PDF pages"),
             ConverterEngine::convertPDF(pdf, volume + QStringLiteral("/report pages"), target("pdf-png"),
                                         {})},
            {QStringLiteral("PDF text"),
             ConverterEngine::convertPDF(pdf, volume + QStringLiteral("/report.txt"), target("pdf-txt"), {})},
            {QStringLiteral("document"),
             ConverterEngine::convertDocument(page, volume + QStringLiteral("/page.pdf"), target("doc-pdf"))},
        };
    }
    ConverterModel::Status convertVideo() {
        const QString clip = MediaFixtures::video(inputs, QStringLiteral("clip.mov"));
        ConverterModel model;
        model.setFolder(volume);
        model.setChoice(QStringLiteral("mov-prores"), ConvertKind::video);
        ConverterTestSupport::addAndWait(model, {clip});
        model.convertAll();
        TestSupport::waitFor([&] { return !model.isBusy() && model.items().first().status.finished(); },
                             60000);
        return model.items().first().status;
    }

    QTemporaryDir dir;
    QString volume;
    QString inputs;
    bool mounted = false;
};

TEST_F(SaveFailuresTest, AFullDiskSaysSoForEveryKind) {
    fill();
    for (const auto& [kind, result] : convertEveryKind())
        EXPECT_EQ(ConverterTestSupport::message(result), OutputFile::diskFullMessage()) << kind.toStdString();
    EXPECT_EQ(convertVideo(), ConverterModel::Status::failed(OutputFile::diskFullMessage()));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(QLatin1Char(',')).toStdString();
}

TEST_F(SaveFailuresTest, AFolderWeMayNotWriteSaysSoForEveryKind) {
    makeReadOnly();
    for (const auto& [kind, result] : convertEveryKind())
        EXPECT_EQ(ConverterTestSupport::message(result), OutputFile::notAllowedMessage())
            << kind.toStdString();
    EXPECT_EQ(convertVideo(), ConverterModel::Status::failed(OutputFile::notAllowedMessage()));
}

} // namespace
