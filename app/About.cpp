#include "app/About.h"

#include "app/ConverterUpdates.h"
#include "common/MediaApp.h"
#include "converter/ui/Legal.h"
#include "converter/ui/Maker.h"

#include <QMessageBox>

namespace About {

QString text() {
    return QStringLiteral("<h3>%1</h3><p>Version %2</p>"
                          "<p>Converts videos, music, pictures, PDFs and documents. Your originals are never "
                          "changed.</p>"
                          "<p><a href=\"%3\">%3</a><br><a href=\"%4\">Acknowledgements</a></p>")
        .arg(MediaApp::name().toHtmlEscaped(), ConverterUpdates::version().toHtmlEscaped(), Maker::website(),
             Legal::openSource().toString());
}

void show(QWidget* parent) {
    QMessageBox::about(parent, QStringLiteral("About ") + MediaApp::name(), text());
}

} // namespace About
