#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// Finding the e-mail addresses in text as people paste it, in order of
// appearance, as mail reads them: only mailboxes are recipients, never an
// address inside a display name, a quoted name or a comment.
// - A line that is one address as AddressCheck takes it gives exactly that
//   address, whatever letters or signs it holds ("Lee, Ann" <ann@x.org>,
//   ann@x.org (Ann Lee), "bob@y.org" <ann@x.org> all give ann@x.org).
// - Other lines are searched around each @: headers with several
//   mailboxes, groups and field names (To: Ann <ann@x.org>, bob@y.org),
//   rows of CSV or tab-separated exports whatever the column, free text
//   with punctuation around the address ((ann@x.org). or {ann@x.org}), and
//   mailto: links, percent-encoded, with an empty path and ?to=, several
//   addresses, cc= and bcc=, in plain text or in HTML (&amp;). A quoted
//   string or comment next to an address in angle brackets is its name; a
//   comment after an address is its comment; punctuation that cannot
//   belong to an address stays out of it.
// What is found need not be a valid address (carl@z): AddressCheck tells.
// Obfuscated forms (ann at x dot org) are not guessed.
namespace AddressExtraction {

// The addresses of one line, unfolded (ContactLines unfolds lines), in
// order; each view lasts for the call.
using Found = std::function<void(QStringView address)>;
void each(QStringView line, const Found &found);
QStringList in(QStringView line);

// The addresses of the lines of a text, read as ContactLines reads them:
// folded lines unfolded, encoded values decoded.
QStringList inLines(const QList<QStringView> &lines);

} // namespace AddressExtraction
