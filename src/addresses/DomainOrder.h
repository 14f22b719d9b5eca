#pragma once

#include <QByteArray>
#include <QByteArrayView>

// Where a domain stands among others when a list is sorted by domain: by
// the name registered under its public suffix (x.org, x.co.uk), then by
// its subdomains, nearest first, so that mail.x.org stands beside x.org
// and a.mail.x.org beside mail.x.org.
namespace DomainOrder {

// The domain's key (lower case) appended to out, whose bytes compare as
// the domains are ordered.
void appendKey(QByteArrayView domain, QByteArray &out);

} // namespace DomainOrder
