#pragma once

class ConverterAppDelegate;
class QMainWindow;

// The menu bar: File ("Show Converter" Ctrl+N, "Convert Files…" Ctrl+O, "Settings…", "Quit")
// and Help (the legal items, "Check for Updates…", "About"). Main thread.
namespace ConverterMenus {

void install(QMainWindow* window, ConverterAppDelegate& delegate);

} // namespace ConverterMenus
