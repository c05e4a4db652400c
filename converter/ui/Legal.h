#pragma once

#include <QString>
#include <QUrl>

// The legal links shared by the window's footer and the Help menu. A page resolves to the
// bundled copy in the resources' Legal/ folder when it exists (so it opens offline), else to
// the page on the maker's web site. Each address is computed once; main thread.
namespace Legal {

QUrl privacy();
QUrl terms();
QUrl openSource();
QString supportEmail();
// "mailto:" + supportEmail().
QUrl support();

// The address of page `name` (without ".html"), worked out now.
QUrl page(const QString& name);

} // namespace Legal
