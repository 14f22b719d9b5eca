#pragma once

#include "addresses/AddressAdvice.h"
#include "core/WorkProgress.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// The lines of a list whose address's domain looks mistyped, each with the
// address it was likely meant to be (ann@gmial.com, ann@gmail.com), for the
// user to accept or leave; and the lines with those accepted made.
namespace DomainCorrections {

struct Correction
{
    qsizetype line = 0;  // among the lines looked at
    qsizetype start = 0; // where the domain starts in the line
    qsizetype size = 0;  // and how long it is
    QString address;     // as written
    QString meant;       // as likely meant
};

// Raises WorkCancelled once the progress says the work is no longer wanted.
// With answers, what the mail system said of the domains (lookUp) guides
// the advice: a domain that takes mail is none to correct.
QList<Correction> find(const QList<QStringView> &lines, WorkProgress *progress = nullptr,
                       const AddressAdvice::Answers *answers = nullptr);

// The mail system asked about the domains of the lines' addresses, and
// those they might have been meant to be; raises WorkCancelled when the
// progress says so.
AddressAdvice::Answers lookUp(const QList<QStringView> &lines, WorkProgress *progress = nullptr);

// The lines with the corrections made (in the order found, at most one to a
// line): views of those left as they were, the others kept in made.
struct Corrected
{
    QList<QStringView> lines;
    QStringList made;
};
Corrected apply(const QList<QStringView> &lines, const QList<Correction> &chosen);

} // namespace DomainCorrections
