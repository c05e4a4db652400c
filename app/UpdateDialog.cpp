#include "app/UpdateDialog.h"

#include "common/MediaApp.h"
#include "converter/ui/FileReveal.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

UpdateDialog::UpdateDialog(ConverterUpdates& updates, QWidget* parent)
    : QDialog(parent)
    , m_updates(updates) {
    setObjectName(QStringLiteral("updateDialog"));
    setWindowTitle(QStringLiteral("Software Update"));
    resize(520, 380);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 16);
    layout->setSpacing(10);
    m_heading = new QLabel(this);
    m_heading->setObjectName(QStringLiteral("updateHeading"));
    QFont big = m_heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.25);
    big.setWeight(QFont::DemiBold);
    m_heading->setFont(big);
    m_heading->setWordWrap(true);
    layout->addWidget(m_heading);

    m_detail = new QLabel(this);
    m_detail->setObjectName(QStringLiteral("updateDetail"));
    m_detail->setWordWrap(true);
    layout->addWidget(m_detail);

    m_notes = new QTextBrowser(this);
    m_notes->setObjectName(QStringLiteral("updateNotes"));
    // Links in the notes open in the browser; nothing in them is loaded into this window.
    m_notes->setOpenLinks(false);
    connect(m_notes, &QTextBrowser::anchorClicked, this, [](const QUrl& url) {
        if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
            QDesktopServices::openUrl(url);
    });
    layout->addWidget(m_notes, 1);

    auto* buttons = new QDialogButtonBox(this);
    m_download = buttons->addButton(QStringLiteral("Download"), QDialogButtonBox::AcceptRole);
    m_download->setObjectName(QStringLiteral("updateDownload"));
    m_close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    m_close->setObjectName(QStringLiteral("updateClose"));
    layout->addWidget(buttons);
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_download, &QPushButton::clicked, this, [this] {
        if (!m_item)
            return;
        m_download->setEnabled(false);
        m_detail->setText(QStringLiteral("Downloading version %1…").arg(m_item->shortVersion));
        m_updates.download(*m_item);
    });
    connect(&m_updates, &ConverterUpdates::checked, this, &UpdateDialog::showOutcome);
    connect(&m_updates, &ConverterUpdates::downloaded, this, &UpdateDialog::showDownloaded);
    showChecking();
}

void UpdateDialog::showChecking() {
    m_item.reset();
    m_heading->setText(QStringLiteral("Checking for updates…"));
    m_detail->setText(QString());
    m_notes->hide();
    m_download->hide();
}

void UpdateDialog::showOutcome(const ConverterUpdates::Outcome& outcome) {
    m_item = outcome.item;
    m_download->setVisible(outcome.result == ConverterUpdates::Result::available);
    m_download->setEnabled(true);
    m_notes->setVisible(outcome.result == ConverterUpdates::Result::available);
    switch (outcome.result) {
    case ConverterUpdates::Result::upToDate:
        m_heading->setText(QStringLiteral("You're up to date."));
        m_detail->setText(QStringLiteral("%1 %2 is the newest version.")
                              .arg(MediaApp::name(), ConverterUpdates::version()));
        break;
    case ConverterUpdates::Result::failed:
        m_heading->setText(QStringLiteral("Couldn't check for updates."));
        m_detail->setText(outcome.message);
        break;
    case ConverterUpdates::Result::available:
        m_heading->setText(QStringLiteral("A new version of %1 is available.").arg(MediaApp::name()));
        m_detail->setText(QStringLiteral("Version %1 is ready to download. You have %2.")
                              .arg(outcome.item->shortVersion, ConverterUpdates::version()));
        if (!outcome.item->notes.isEmpty())
            m_notes->setHtml(outcome.item->notes);
        else if (outcome.item->notesLink.isValid())
            m_notes->setHtml(QStringLiteral("<a href=\"%1\">Read the release notes</a>")
                                 .arg(outcome.item->notesLink.toString().toHtmlEscaped()));
        else
            m_notes->setPlainText(outcome.item->title);
        break;
    }
}

void UpdateDialog::showDownloaded(const QString& path, const QString& error) {
    m_download->setEnabled(true);
    if (path.isEmpty()) {
        m_detail->setText(error);
        return;
    }
    m_download->hide();
    m_detail->setText(QStringLiteral("Saved as %1 in %2. It carries the maker's signature.")
                          .arg(QFileInfo(path).fileName(), QFileInfo(path).absolutePath()));
    FileReveal::showInFolder(path);
}
