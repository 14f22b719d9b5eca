#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

// Finding the e-mail addresses in text as people paste it, in order of
// appearance, names and surrounding text left out:
// - mailboxes as mail headers write them (Ann Lee <ann@x.org>, "Lee, Ann"
//   <ann@x.org>, encoded names, several to a line, groups, a header's
//   field name), parsed by GMime;
// - everything else around each @: rows of CSV or tab-separated exports
//   whatever the column, vCard and LDIF lines, free text with punctuation
//   around the address (ann@x.org). or <ann@x.org>,), and mailto: links,
//   percent-encoded or with ?subject=..., in plain text or in HTML.
// What is found need not be a valid address (carl@z): AddressCheck tells.
// Obfuscated forms (ann at x dot org) are not guessed.
namespace AddressExtraction {

QStringList in(QStringView line);

} // namespace AddressExtraction
