#pragma once

#include <QString>

// Opening files and showing them in the file manager. Main thread.
namespace FileReveal {

// Shows the file selected in the file manager (org.freedesktop.FileManager1.ShowItems on the
// session bus), or opens its folder when no file manager answers there.
void showInFolder(const QString& path);

// Opens the file with its default application.
void open(const QString& path);

} // namespace FileReveal
