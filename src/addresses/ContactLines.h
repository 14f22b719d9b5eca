#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// Lines as address books and mail programs write them, read for the text
// that holds addresses, one line at a time:
// - a folded line is unfolded first: in a vCard (BEGIN:VCARD to
//   END:VCARD), an LDIF record (from dn: to an empty line), or after a
//   property that holds addresses (EMAIL:, mail:), a line starting with a
//   space or tab goes on the one before without that space; after a mail
//   header's field (To:, Note:) it goes on with it; a vCard 2.1
//   quoted-printable value ending in = goes on on the next line;
// - LDIF's base64 values (mail:: YW5uQHgub3Jn) and vCard's quoted-printable
//   and base64 values are decoded, in the character set they name;
// - in a vCard or an LDIF record only the properties that hold addresses
//   are read (EMAIL, mail, mozillaSecondEmail, the mail= of a dn: or
//   member:), never a name, a note or a comment; a mail: that a dn: has
//   named is read once;
// - a value too long to hold an address (AddressTokens::longestRead) is
//   passed over; other text that long is read a part at a time;
// - every other line is read as it stands.
// Each piece of text is told with the tag of the line it starts on.
class ContactLines
{
public:
    using Search = std::function<void(QStringView text, qsizetype tag)>;

    // The next line, which holds no line break; what is complete goes to
    // search, now or later.
    void feed(QStringView line, qsizetype tag, const Search &search);
    // The end of the lines: what is left goes to search.
    void finish(const Search &search);
    // Whether a line fed now that is no property (as a bare address is
    // none) goes to search as it stands, at once: no line waits for more,
    // and none is inside a vCard or an LDIF record.
    bool readsAsItStands() const { return !m_pending && m_block == Block::None; }
    // The tag of the line that waits for the next (which may go on it), or
    // -1: what every line before it holds has gone to search.
    qsizetype waitingTag() const { return m_pending ? m_tag : -1; }

private:
    enum class Block { None, VCard, Ldif };
    void append(QStringView more, const Search &search);
    void flush(const Search &search);

    Block m_block = Block::None;
    bool m_pending = false;
    bool m_overlong = false; // the value at hand is too long to hold an address: passed over
    QString m_line;          // a line that the next may go on
    qsizetype m_tag = 0;
    bool m_dropsBlank = false; // a line going on loses its first space or tab
    bool m_softBreaks = false; // a value in quoted-printable, whose = at the end goes on
    QStringList m_entryAddresses; // what the LDIF record's dn: names
};
