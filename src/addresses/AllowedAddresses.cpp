#include "addresses/AllowedAddresses.h"

#include "addresses/AddressCheck.h"
#include "core/Blanks.h"
#include "core/Failure.h"
#include "core/FileAccess.h"

#include <QStandardPaths>

namespace {

QString domainKey(QStringView domain)
{
    const QString key = AddressCheck::key(QStringLiteral("x@") + domain.toString());
    return key.isEmpty() ? domain.toString().toLower() : key.sliced(key.lastIndexOf(u'@') + 1);
}

} // namespace

AllowedAddresses &AllowedAddresses::shared()
{
    static AllowedAddresses allowed = [] {
        AllowedAddresses own;
        try {
            own.addFile(userFile());
        } catch (const Failure &) {
            // An unreadable file of one's own vouches for nothing.
        }
        return own;
    }();
    return allowed;
}

QString AllowedAddresses::userFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kestrava/allow.txt");
}

void AllowedAddresses::addFile(const QString &path)
{
    const std::optional<QByteArray> bytes = readOrdinaryFile(path);
    if (!bytes)
        return;
    const QString text = QString::fromUtf8(*bytes);
    for (QStringView line : QStringView(text).split(u'\n'))
        addLine(line);
}

void AllowedAddresses::addLine(QStringView line)
{
    const qsizetype comment = line.indexOf(u'#');
    const QStringView text = Blanks::trimmed(comment < 0 ? line : line.first(comment));
    if (text.isEmpty())
        return;
    if (text.contains(u'@')) {
        const QString key = AddressCheck::key(text);
        m_addresses.insert(key.isEmpty() ? text.toString().toLower() : key);
    } else {
        m_domains.insert(domainKey(text));
    }
}

bool AllowedAddresses::allows(QStringView address) const
{
    if (isEmpty())
        return false;
    const QString key = AddressCheck::key(address);
    if (key.isEmpty())
        return false;
    return m_addresses.contains(key) || m_domains.contains(key.sliced(key.lastIndexOf(u'@') + 1));
}
