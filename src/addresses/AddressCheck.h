#pragma once

#include <QString>
#include <QStringView>

// Whether a line is one e-mail address as mail programs take it in a
// recipient field, and why not, in plain words. Trimmed of spaces and tabs,
// the line is a bare address (local@domain) or a named one (Name
// <local@domain>), either perhaps followed by comments (ann@x.org (Ann
// Lee)), whose address has
// - a local part that is a dot-atom (letters of any script, digits and the
//   signs !#$%&'*+-/=?^_`{|}~, no dot at either end, no two dots together)
//   or a quoted string, at most 64 bytes in UTF-8;
// - a domain of two labels or more, each of 1 to 63 letters, digits or
//   hyphens and neither starting nor ending with a hyphen, at most 253
//   characters in its ASCII form, the last label not all digits; an
//   internationalised domain is checked and compared through IDNA2008
//   (münchen.de is xn--mnchen-3ya.de, and the ideographic full stop
//   separates labels as a dot does); an address literal ([192.0.2.1])
//   does too;
// - at most 254 bytes in all, as SMTP carries it, the domain counted in
//   whichever of its forms is longer;
// - no character that shows nothing (a zero-width space, a joiner).
// Nothing is looked up on the network. IDNA running out of memory raises
// std::bad_alloc.
namespace AddressCheck {

struct Verdict
{
    bool empty = false; // nothing but spaces and tabs: neither an address nor not one
    QString reason;     // why the line is no address
    bool isAddress() const { return !empty && reason.isEmpty(); }
};

// A line longer than any address can be (AddressTokens::longestRead) is
// none, for this reason, without being read.
QString tooLongReason();

Verdict check(QStringView line);
// The same, without the words: quicker for counting.
bool isAddress(QStringView line);

// The address of a line that is one, as written there: local@domain
// without the name, the brackets or a comment; empty for a line that is
// none.
QStringView address(QStringView line);

// The address of a line that is one, as addresses are compared: the local
// part and the domain case-folded, the domain in its ASCII form, a name
// and comments left out, a quoted local part without the quotes where it
// needs none ("ann"@x.org is ann@x.org); empty for a line that is no
// address.
QString key(QStringView line);

} // namespace AddressCheck
