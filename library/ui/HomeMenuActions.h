#pragma once

class QWidget;

// Actions of the library home screen's menu that the player settings section shares. Main thread.
namespace HomeMenuActions {

// Asks "Clear all watch history?" ("Clear History" / "Cancel"); only "Clear History" empties the
// whole history. Modal.
void confirmClearAll(QWidget* parent = nullptr);

} // namespace HomeMenuActions
