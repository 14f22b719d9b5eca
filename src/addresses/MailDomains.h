#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <span>

// The mail domains people use most, worldwide, and the one of them a
// mistyped domain most likely meant: within one edit (a letter put in, left
// out, changed, or two side by side swapped) of a short domain, two of a
// longer one. A domain of the table is never taken for a typo of another.
namespace MailDomains {

// The table, commonest first.
std::span<const char *const> all();

// Whether the domain (lower case, ASCII form) is one of the table's.
bool isCommon(QByteArrayView domain);

// Whether the domain is a real mail domain that public lists of mail
// providers hold (resources/real-mail-domains.txt): every country's domain
// of the big providers and many regional ones, none a typo of the table's.
bool isKnownReal(QByteArrayView domain);

// Whether the domain hands out throwaway addresses, as a public list of
// such services holds (resources/disposable-mail-domains.txt).
bool isDisposable(QByteArrayView domain);

// The table's domain the domain was most likely meant to be: the nearest,
// the commoner of two as near; empty when none is near enough, or when
// the domain is in the table itself.
QByteArray meant(QByteArrayView domain);

// The table's domain of the same name whose suffix is nearest the
// domain's, within two edits (aol.c gives aol.com): for a domain whose
// suffix does not exist. Empty when there is none.
QByteArray sameNameMeant(QByteArrayView domain);

// The table's domains a mistyped domain might have been meant to be, with
// no regard for whether it may be real: within two edits of a name longer
// than four letters, one of a shorter; nearest first, then commonest. For
// when the mail system says the domain takes no mail.
QList<QByteArray> candidates(QByteArrayView domain);

// How many edits apart two strings are (optimal string alignment).
int editDistance(QByteArrayView a, QByteArrayView b);

} // namespace MailDomains
