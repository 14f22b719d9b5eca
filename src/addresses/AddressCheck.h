#pragma once

#include <QString>
#include <QStringView>

// Whether a line is one e-mail address as mail programs take it in a
// recipient field, and why not, in plain words. Trimmed of spaces and tabs,
// the line is a bare address (local@domain) or a named one (Name
// <local@domain>), whose address has
// - a local part that is a dot-atom (letters of any script, digits and the
//   signs !#$%&'*+-/=?^_`{|}~, no dot at either end, no two dots together)
//   or a quoted string, at most 64 bytes in UTF-8;
// - a domain of two labels or more, each of 1 to 63 letters, digits or
//   hyphens and neither starting nor ending with a hyphen, at most 253
//   characters in its ASCII form, the last label not all digits; an
//   internationalised domain is checked and compared through IDNA2008
//   (münchen.de is xn--mnchen-3ya.de); an address literal ([192.0.2.1])
//   does too.
// Nothing is looked up on the network.
namespace AddressCheck {

struct Verdict
{
    bool empty = false; // nothing but spaces and tabs: neither an address nor not one
    QString reason;     // why the line is no address
    bool isAddress() const { return !empty && reason.isEmpty(); }
};

Verdict check(QStringView line);
// The same, without the words: quicker for counting.
bool isAddress(QStringView line);

// The address of a line that is one, as addresses are compared: the local
// part and the domain case-folded, the domain in its ASCII form, a name
// left out; empty for a line that is no address.
QString key(QStringView line);

} // namespace AddressCheck
