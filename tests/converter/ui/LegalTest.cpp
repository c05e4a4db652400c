#include "converter/ui/Legal.h"
#include "common/Paths.h"
#include "converter/ui/LegalLinks.h"
#include "converter/ui/Maker.h"
#include "support/TestSupport.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class OpenedUrls : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

} // namespace

TEST(Legal, BundledPageWinsOverTheWebSite) {
    QTemporaryDir resources;
    TestSupport::writeFile(resources.filePath(QStringLiteral("Legal/terms.html")), "<html></html>");
    Paths::setResourcesForTesting(resources.path());
    EXPECT_EQ(Legal::page(QStringLiteral("terms")),
              QUrl::fromLocalFile(resources.filePath(QStringLiteral("Legal/terms.html"))));
    // Missing from the bundle: the maker's page, a valid https address.
    const QUrl web = Legal::page(QStringLiteral("privacy"));
    EXPECT_EQ(web, QUrl(Maker::website() + QStringLiteral("privacy.html")));
    EXPECT_TRUE(web.isValid());
    EXPECT_EQ(web.scheme(), QStringLiteral("https"));
}

TEST(Legal, SupportIsAMailtoAddress) {
    EXPECT_EQ(Legal::support(), QUrl(QStringLiteral("mailto:") + Maker::supportEmail()));
    EXPECT_TRUE(Legal::supportEmail().contains(QLatin1Char('@')));
    EXPECT_EQ(Maker::updateFeed().scheme(), QStringLiteral("https"));
    EXPECT_TRUE(Maker::updateFeed().path().endsWith(QStringLiteral("/updates/converter/appcast.xml")));
}

TEST(LegalLinks, ShortAndLongTitlesOpenTheirPages) {
    OpenedUrls opened;
    for (const QString& scheme : {QStringLiteral("file"), QStringLiteral("https")})
        QDesktopServices::setUrlHandler(scheme, &opened, "open");

    LegalLinks shortLinks(true);
    EXPECT_EQ(shortLinks.privacyLink()->text(), QStringLiteral("Privacy"));
    EXPECT_EQ(shortLinks.termsLink()->text(), QStringLiteral("Terms"));
    LegalLinks longLinks(false);
    EXPECT_EQ(longLinks.privacyLink()->text(), QStringLiteral("Privacy Notice"));
    EXPECT_EQ(longLinks.termsLink()->text(), QStringLiteral("Terms of Service"));

    shortLinks.privacyLink()->click();
    shortLinks.termsLink()->click();
    ASSERT_EQ(opened.urls.size(), 2);
    EXPECT_EQ(opened.urls[0], Legal::privacy());
    EXPECT_EQ(opened.urls[1], Legal::terms());
    for (const QString& scheme : {QStringLiteral("file"), QStringLiteral("https")})
        QDesktopServices::unsetUrlHandler(scheme);
}

#include "LegalTest.moc"
