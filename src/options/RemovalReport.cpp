#include "options/RemovalReport.h"

#include "addresses/AddressCheck.h"
#include "options/LineKeys.h"
#include "options/ListedAddresses.h"

#include <QHash>

void RemovalReport::noteRemoved(const QList<QStringView> &before, const QList<QStringView> &kept)
{
    qsizetype next = 0;
    for (qsizetype i = 0; i < before.size(); ++i) {
        const QStringView line = before[i];
        if (next < kept.size() && kept[next].data() == line.data() && kept[next].size() == line.size())
            ++next;
        else
            m_removed.append({i, line.toString()});
    }
}

void RemovalReport::noteFound(qsizetype index, QStringView line, qsizetype addresses)
{
    if (addresses != 1)
        (addresses == 0 ? m_removed : m_split).append({index, line.toString(), addresses});
}

void RemovalReport::setLists(std::shared_ptr<const ListedAddresses> listed, QStringList names)
{
    m_listed = std::move(listed);
    m_listNames = std::move(names);
}

void RemovalReport::setRequiredLists(RequiredLists lists, QStringList names)
{
    m_required = std::move(lists);
    m_listNames = std::move(names);
}

QString RemovalReport::reasonFor(const Noted &line) const
{
    switch (m_step) {
    case Step::RemoveEmpty:
        return QStringLiteral("empty");
    case Step::RemoveNonAddresses:
        return QStringLiteral("not an address: ") + AddressCheck::check(line.text).reason;
    case Step::RemoveListed:
        return QStringLiteral("listed in ") + m_listNames.value(m_listed ? m_listed->listHolding(QStringView(line.text)) : -1);
    case Step::KeepListed:
        return QStringLiteral("not listed in ") + m_listNames.value(firstNotHolding(m_required, QStringView(line.text)));
    case Step::ExtractAddresses:
        return line.addresses == 0 ? QStringLiteral("no address found")
                                   : QStringLiteral("%1 addresses found").arg(line.addresses);
    case Step::RemoveDuplicates:
        break;
    }
    return {};
}

// The kept lines before the last removed one, by their keys: each removed
// line repeats the first kept line of its key.
QList<qsizetype> RemovalReport::firstsOfDuplicates(const QList<QStringView> &kept) const
{
    QHash<QString, qsizetype> firsts;
    QList<qsizetype> found;
    QString store;
    qsizetype keptIndex = 0;
    qsizetype next = 0; // the kept line's index among the lines before
    const auto keyOf = [this, &store](QStringView line) {
        QByteArray folded;
        LineKeys::appendFolded(LineKeys::duplicateKeyOf(line, store, m_sameMailbox), folded);
        return QString::fromUtf8(folded);
    };
    for (const Noted &removed : m_removed) {
        for (; next < removed.index; ++next, ++keptIndex)
            firsts.insert(keyOf(kept.value(keptIndex)), next);
        next = removed.index + 1;
        found.append(firsts.value(keyOf(removed.text), -1));
    }
    return found;
}

QString RemovalReport::text(qsizetype firstLine, const QList<QStringView> &kept) const
{
    const QList<qsizetype> firsts = m_step == Step::RemoveDuplicates ? firstsOfDuplicates(kept) : QList<qsizetype>();
    QString report;
    const auto add = [&](const Noted &line, const QString &reason) {
        report += QString::number(firstLine + line.index + 1) + u'\t' + reason + u'\t' + line.text + u'\n';
    };
    qsizetype split = 0;
    for (qsizetype i = 0; i < m_removed.size(); ++i) {
        const Noted &removed = m_removed[i];
        for (; split < m_split.size() && m_split[split].index < removed.index; ++split)
            add(m_split[split], reasonFor(m_split[split]));
        add(removed, m_step == Step::RemoveDuplicates
                         ? QStringLiteral("duplicate of line %1").arg(firstLine + firsts[i] + 1)
                         : reasonFor(removed));
    }
    for (; split < m_split.size(); ++split)
        add(m_split[split], reasonFor(m_split[split]));
    return report;
}
