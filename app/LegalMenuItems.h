#pragma once

class QMenu;

// The Help menu's legal items: "Privacy Notice", "Terms of Service", "Acknowledgements" and
// "Contact Support…", each opening its Legal address with the desktop's default handler.
namespace LegalMenuItems {

void add(QMenu* menu);

} // namespace LegalMenuItems
