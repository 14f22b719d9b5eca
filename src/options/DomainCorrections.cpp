#include "options/DomainCorrections.h"

#include "addresses/AddressAdvice.h"
#include "addresses/AddressCheck.h"

#include <QSet>

namespace DomainCorrections {

namespace {

constexpr qsizetype reportEvery = 1 << 14;

QStringView domainOf(QStringView address)
{
    return address.sliced(address.lastIndexOf(u'@') + 1);
}

} // namespace

AddressAdvice::Answers lookUp(const QList<QStringView> &lines, WorkProgress *progress)
{
    QSet<QByteArray> asked;
    QList<QByteArray> domains;
    for (const QStringView line : lines)
        for (const QByteArray &domain : AddressAdvice::domainsToAsk(AddressCheck::address(line)))
            if (!asked.contains(domain)) {
                asked.insert(domain);
                domains.append(domain);
            }
    return DomainLookup::lookUp(domains, progress);
}

QList<Correction> find(const QList<QStringView> &lines, WorkProgress *progress, const AddressAdvice::Answers *answers)
{
    QList<Correction> found;
    AddressAdvice adviser;
    if (answers)
        adviser.setLookedUp(answers);
    for (qsizetype line = 0; line < lines.size(); ++line) {
        if (progress && line % reportEvery == 0) {
            if (progress->cancelled.load(std::memory_order_relaxed))
                throw WorkCancelled{};
            progress->permille.store(int(1000 * line / lines.size()), std::memory_order_relaxed);
        }
        const QStringView address = AddressCheck::address(lines[line]);
        if (address.isEmpty())
            continue;
        QString meant = adviser.onAddress(address).suggestion;
        if (meant.isEmpty())
            continue;
        const QStringView domain = domainOf(address);
        found.append({line, domain.data() - lines[line].data(), domain.size(), address.toString(), std::move(meant)});
    }
    return found;
}

Corrected apply(const QList<QStringView> &lines, const QList<Correction> &chosen)
{
    Corrected corrected;
    corrected.lines = lines;
    for (const Correction &correction : chosen) {
        const QStringView line = lines[correction.line];
        QString made = line.first(correction.start).toString();
        made.append(domainOf(correction.meant)).append(line.sliced(correction.start + correction.size));
        corrected.made.append(std::move(made));
        corrected.lines[correction.line] = corrected.made.constLast();
    }
    return corrected;
}

} // namespace DomainCorrections
