#include "reading/DroppedContacts.h"

#include "addresses/ContactProperties.h"
#include "reading/ContactReader.h"

#include <QStringDecoder>

namespace DroppedContacts {

namespace {

// UTF-16 by its byte-order mark, or by ASCII's zero high bytes; otherwise
// UTF-8, or Windows-1252 where it is not valid UTF-8.
QString textOf(const QByteArray &data)
{
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16)(data);
    if (data.size() >= 2 && data.size() % 2 == 0 && data[0] != 0 && data[1] == 0)
        return QStringDecoder(QStringDecoder::Utf16LE)(data);
    return ContactProperties::inCharacterSet(data, {});
}

} // namespace

const QStringList &types()
{
    static const QStringList all = {QStringLiteral("text/vcard"), QStringLiteral("text/x-vcard"),
                                    QStringLiteral("text/directory"), QStringLiteral("text/x-moz-address")};
    return all;
}

QString linesOf(QStringView type, const QByteArray &data)
{
    QString lines;
    const auto kind = type == u"text/x-moz-address" ? ContactReader::Kind::AddressList : ContactReader::Kind::AddressBook;
    ContactReader reader(kind, [&lines](const Mailboxes::Mailbox &mailbox) {
        lines += Mailboxes::line(mailbox);
        lines += QStringLiteral("\r\n");
    });
    QString text = textOf(data);
    while (text.endsWith(QChar(0))) // as strings are ended where they were copied from
        text.chop(1);
    for (QStringView line : QStringView(text).tokenize(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        reader.feed(line);
    }
    reader.finish();
    return lines;
}

} // namespace DroppedContacts
