#include "addresses/MailtoLinks.h"

#include "core/Blanks.h"

namespace MailtoLinks {

namespace {

// A recipient as a link carries it: its UTF-8 bytes, each but the letters,
// digits, -._~ and @ as %XX, so that commas inside a name separate nothing.
QByteArray encoded(QStringView recipient)
{
    return recipient.toUtf8().toPercentEncoding("@");
}

} // namespace

QStringList of(const QStringList &recipients, Field field, qsizetype longest)
{
    const QByteArray start = field == Field::Bcc ? "mailto:?bcc=" : "mailto:?to=";
    QStringList links;
    QByteArray link;
    for (const QString &recipient : recipients) {
        const QByteArray item = encoded(Blanks::trimmed(recipient));
        if (!link.isEmpty() && link.size() + 1 + item.size() > longest) {
            links.append(QString::fromLatin1(link));
            link.clear();
        }
        link += link.isEmpty() ? start : QByteArray(",");
        link += item;
    }
    if (!link.isEmpty())
        links.append(QString::fromLatin1(link));
    return links;
}

qsizetype recipientsIn(const QString &link)
{
    return link.count(u',') + 1;
}

} // namespace MailtoLinks
