#pragma once

#include "addresses/AddressCheck.h"
#include "addresses/MailboxAliases.h"
#include "core/Blanks.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVarLengthArray>

#include <algorithm>
#include <utility>

// How lines compare when a list is tidied, written once for the window's
// entries and the command line's options: by a key, the line without
// spaces and tabs at either end, under simple case folding (which keeps
// each character's length), in the order of code points.
namespace LineKeys {

// UTF-16 units ranked so that comparing them compares code points: the
// surrogates, which stand for code points above U+FFFF, after all others.
inline char16_t rank(char16_t unit)
{
    return unit < 0xD800 ? unit : unit >= 0xE000 ? char16_t(unit - 0x800) : char16_t(unit + 0x2000);
}

// The unit at i of a text under simple case folding: keys are folded as
// they are compared, never copied.
inline char16_t foldedAt(QStringView text, qsizetype i)
{
    const char16_t unit = text[i].unicode();
    if (unit < 0x80)
        return unit >= u'A' && unit <= u'Z' ? char16_t(unit + 32) : unit;
    if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::highSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(text[i], text[i + 1])));
    if (QChar::isLowSurrogate(unit) && i > 0 && text[i - 1].isHighSurrogate())
        return QChar::lowSurrogate(QChar::toCaseFolded(QChar::surrogateToUcs4(text[i - 1], text[i])));
    return char16_t(QChar::toCaseFolded(char32_t(unit)));
}

// How many units two keys share from their start, folded.
inline qsizetype commonLength(QStringView a, QStringView b)
{
    const qsizetype shorter = qMin(a.size(), b.size());
    qsizetype i = 0;
    while (i < shorter && (a[i] == b[i] || foldedAt(a, i) == foldedAt(b, i)))
        ++i;
    return i;
}

inline bool precedes(QStringView a, QStringView b)
{
    const qsizetype common = commonLength(a, b);
    return common == qMin(a.size(), b.size()) ? a.size() < b.size()
                                               : rank(foldedAt(a, common)) < rank(foldedAt(b, common));
}

inline bool sameKey(QStringView a, QStringView b)
{
    return a.size() == b.size() && commonLength(a, b) == a.size();
}

// The hash of a key, folded in a buffer of its own.
inline quint32 hashOf(QStringView key)
{
    QVarLengthArray<char16_t, 256> folded(key.size());
    for (qsizetype i = 0; i < key.size(); ++i)
        folded[i] = foldedAt(key, i);
    return quint32(qHash(QStringView(folded.data(), folded.size())));
}

// The key folded and written in UTF-8, whose bytes compare as the keys do:
// equal where they are equal, in the order precedes() gives.
inline void appendFolded(QStringView key, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + key.size() * 3);
    char *w = out.data() + start;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char16_t unit = foldedAt(key, i);
        if (unit < 0x80) {
            *w++ = char(unit);
        } else if (unit < 0x800) {
            *w++ = char(0xC0 | (unit >> 6));
            *w++ = char(0x80 | (unit & 0x3F));
        } else if (QChar::isHighSurrogate(unit) && i + 1 < key.size() && key[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(unit, foldedAt(key, ++i));
            *w++ = char(0xF0 | (c >> 18));
            *w++ = char(0x80 | ((c >> 12) & 0x3F));
            *w++ = char(0x80 | ((c >> 6) & 0x3F));
            *w++ = char(0x80 | (c & 0x3F));
        } else {
            *w++ = char(0xE0 | (unit >> 12));
            *w++ = char(0x80 | ((unit >> 6) & 0x3F));
            *w++ = char(0x80 | (unit & 0x3F));
        }
    }
    out.truncate(w - out.data());
}

// Whether the address of a line that is one is the line itself, trimmed and
// folded: no name, no quotes, no comment, nothing beyond ASCII.
inline bool isPlainAddressForm(QStringView key)
{
    return std::all_of(key.begin(), key.end(),
                       [](QChar c) { return c.unicode() < 0x80 && c != u'<' && c != u'"' && c != u'('; });
}

// The key a line counts as a duplicate by: the line trimmed, or, for a
// line that is an address written otherwise than its key (with a name,
// quotes, a comment or letters beyond ASCII), its address's key, kept in
// store. Empty lines are no duplicates of each other. With sameMailbox,
// an address at a provider that delivers its aliases to one mailbox has
// that mailbox for its key.
inline QStringView duplicateKeyOf(QStringView line, QString &store, bool sameMailbox = false)
{
    QStringView key = Blanks::trimmed(line);
    if (key.isEmpty())
        return key;
    if (!isPlainAddressForm(key)) {
        store = AddressCheck::key(key);
        if (!store.isEmpty())
            key = store;
    }
    if (sameMailbox) {
        QString mailbox = MailboxAliases::mailboxOf(key);
        if (!mailbox.isNull()) {
            store = std::move(mailbox);
            key = store;
        }
    }
    return key;
}

// A line in UTF-8 with nothing beyond ASCII folds byte by byte.
inline bool isAscii(QByteArrayView line)
{
    return std::all_of(line.begin(), line.end(), [](char c) { return static_cast<uchar>(c) < 0x80; });
}

inline void appendLowered(QByteArrayView ascii, QByteArray &out)
{
    const qsizetype start = out.size();
    out.resize(start + ascii.size());
    std::transform(ascii.begin(), ascii.end(), out.begin() + start,
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
}

// Whether a line in UTF-8 is of plain form: ASCII, without a name, quotes
// or a comment, so that, were it an address, its key would be itself,
// lowered. It is lowered into out, which has room for it, as it is looked
// at.
inline bool loweredPlainForm(QByteArrayView line, char *out)
{
    bool plain = true;
    for (const char c : line) {
        plain = plain && static_cast<uchar>(c) < 0x80 && c != '<' && c != '"' && c != '(';
        *out++ = c >= 'A' && c <= 'Z' ? char(c + 32) : c;
    }
    return plain;
}

// The key a line in UTF-8 sorts by, folded as appendFolded() folds it.
inline void appendFoldedTrimmed(QByteArrayView line, QByteArray &out)
{
    const QByteArrayView key = Blanks::trimmed(line);
    if (isAscii(key))
        appendLowered(key, out);
    else
        appendFolded(QString::fromUtf8(key), out);
}

// The key a line in UTF-8 counts as a duplicate by, folded as appendFolded()
// folds it; false for an empty line, which is no duplicate of another. A
// line of ASCII without a name, quotes or a comment is its own key,
// lowered as it is looked at. With sameMailbox, as duplicateKeyOf() has it.
inline bool appendFoldedDuplicateKey(QByteArrayView line, QByteArray &out, bool sameMailbox)
{
    const QByteArrayView key = Blanks::trimmed(line);
    if (key.isEmpty())
        return false;
    const qsizetype start = out.size();
    out.resize(start + key.size());
    const bool plain = loweredPlainForm(key, out.data() + start);
    if (!plain) {
        out.truncate(start);
        QString address;
        appendFolded(duplicateKeyOf(QString::fromUtf8(line), address), out);
    }
    if (sameMailbox)
        MailboxAliases::foldKey(out, start);
    return true;
}

} // namespace LineKeys
