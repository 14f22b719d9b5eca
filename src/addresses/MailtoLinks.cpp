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

// A text as a header field's value in a link: percent-encoded UTF-8, every
// line break in it CR LF.
QByteArray encodedText(const QString &text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    lines.replace(u'\n', QStringLiteral("\r\n"));
    return lines.toUtf8().toPercentEncoding();
}

// What follows the recipients: the subject and body, each when given.
QByteArray tail(const Message &message)
{
    QByteArray tail;
    if (!message.subject.isEmpty())
        tail += "&subject=" + encodedText(message.subject);
    if (!message.body.isEmpty())
        tail += "&body=" + encodedText(message.body);
    return tail;
}

} // namespace

QStringList of(const QStringList &recipients, Field field, qsizetype longest, const Message &message)
{
    const QByteArray start = "mailto:" + encoded(Blanks::trimmed(message.to))
                             + (field == Field::Bcc ? "?bcc=" : "?to=");
    const QByteArray end = tail(message);
    QStringList links;
    QByteArray link;
    for (const QString &recipient : recipients) {
        const QByteArray item = encoded(Blanks::trimmed(recipient));
        if (!link.isEmpty() && link.size() + 1 + item.size() + end.size() > longest) {
            links.append(QString::fromLatin1(link + end));
            link.clear();
        }
        link += link.isEmpty() ? start : QByteArray(",");
        link += item;
    }
    if (!link.isEmpty())
        links.append(QString::fromLatin1(link + end));
    return links;
}

qsizetype recipientsIn(const QString &link)
{
    const qsizetype from = link.indexOf(u'=');
    const qsizetype to = link.indexOf(u'&', from);
    return QStringView(link).sliced(from, (to < 0 ? link.size() : to) - from).count(u',') + 1;
}

} // namespace MailtoLinks
