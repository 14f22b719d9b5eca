// Address books and mail in any bytes: reading them never fails; every
// address a header's list gives goes back out as a line that reads as the
// same address; and every address book written holds lines as its format
// allows (a vCard's no longer than 75 bytes, none of any format broken by
// a stray line break).
#include "FuzzInput.h"
#include "addresses/AddressBookWriter.h"
#include "reading/ContactReader.h"

#include <QByteArrayList>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto kind = ContactReader::Kind(data[0] % 4);
    const auto format = AddressBookWriter::Format(data[0] / 4 % 4);
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    AddressBookWriter writer(format, QStringLiteral("List"));
    QByteArray book;
    qsizetype contacts = 0;
    ContactReader reader(kind, [&](const Mailboxes::Mailbox &mailbox) {
        const QString line = Mailboxes::line(mailbox);
        FUZZ_CHECK(!line.contains(u'\n') && !line.contains(u'\r'));
        if (kind != ContactReader::Kind::AddressBook) {
            const std::optional<Mailboxes::Mailbox> again = Mailboxes::of(line);
            FUZZ_CHECK(again && again->address == mailbox.address);
        }
        writer.add(mailbox, book);
        ++contacts;
    });
    for (const QStringView line : QStringView(text).tokenize(u'\n'))
        reader.feed(line);
    reader.finish();
    writer.finish(book);
    if (format == AddressBookWriter::Format::VCard) {
        const QByteArrayList lines = book.split('\n');
        for (const QByteArray &line : lines)
            FUZZ_CHECK(line.size() <= 76 && (line.isEmpty() || line.endsWith('\r')));
        FUZZ_CHECK(lines.count("BEGIN:VCARD\r") == contacts);
    }
    return 0;
}
