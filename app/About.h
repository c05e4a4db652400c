#pragma once

#include <QString>

class QWidget;

// The About box: name, version "1.0 (1)", what the application does, and links to the maker's
// web site and the acknowledgements. Main thread.
namespace About {

QString text();
void show(QWidget* parent);

} // namespace About
