#pragma once

#include <QString>

class QDialog;
class QVBoxLayout;

// The parts every modal dialog of the program shares: its title and a
// wrapped line of plain text at the top, OK and Cancel at the bottom.
namespace DialogParts {

// Titles the dialog and lays it out from the top with the text.
QVBoxLayout *begin(QDialog &dialog, const QString &title, const QString &text);
// Adds OK (accepting) and Cancel (rejecting).
void end(QDialog &dialog, QVBoxLayout *layout);

} // namespace DialogParts
