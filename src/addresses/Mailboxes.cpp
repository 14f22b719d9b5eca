#include "addresses/Mailboxes.h"

#include "addresses/AddressCheck.h"
#include "addresses/AddressTokens.h"
#include "addresses/ContactProperties.h"
#include "addresses/Recipients.h"
#include "core/Blanks.h"

#include <vector>

namespace Mailboxes {

namespace {

using Token = AddressTokens::Token;
using Kind = AddressTokens::Kind;

// Whether a name must be quoted to stand before an address: it holds a sign
// a header gives a meaning of its own, spaces that are not single ones
// between words, or what would read as an encoded word.
bool needsQuotes(QStringView name)
{
    for (const QChar c : name)
        if (c != u' ' && !AddressTokens::isWordCharacter(c.unicode()))
            return true;
    return name.startsWith(u' ') || name.endsWith(u' ') || name.contains(u"  ") || name.contains(u"=?");
}

// The inside of a quoted string or comment, its escapes undone.
QString unescaped(QStringView inside)
{
    QString text;
    for (qsizetype i = 0; i < inside.size(); ++i) {
        if (inside[i] == u'\\' && i + 1 < inside.size())
            ++i;
        text += inside[i];
    }
    return text;
}

QStringView inside(QStringView text, const Token &token)
{
    return text.sliced(token.start + 1, token.size() - 2);
}

// The name the tokens before an address in angle brackets make: words and
// quoted strings, one space between them, comments left out.
QString phrase(QStringView text, const std::vector<Token> &tokens, std::size_t end)
{
    QString name;
    bool space = false;
    for (std::size_t i = 0; i < end; ++i) {
        const Token &token = tokens[i];
        if (token.kind == Kind::Blank || token.kind == Kind::Comment) {
            space = !name.isEmpty();
            continue;
        }
        if (space)
            name += u' ';
        space = false;
        name += token.kind == Kind::Quoted && token.closed ? unescaped(inside(text, token))
                                                            : text.sliced(token.start, token.size()).toString();
    }
    return decodedWords(name);
}

// An item of a header's list without the group it may open or close
// (Team: ann@x.org or bob@y.org;).
QStringView withoutGroup(QStringView item)
{
    for (const Token &token : AddressTokens::of(item)) {
        if (token.is(u'<', item) || token.is(u'@', item))
            break;
        if (token.is(u':', item)) {
            item = item.sliced(token.end);
            break;
        }
    }
    item = Blanks::trimmed(item);
    while (item.endsWith(u';'))
        item = Blanks::trimmed(item.chopped(1));
    return item;
}

// Text with its line breaks and other controls made spaces: a line stays
// one line. A name's tabs become spaces too; an address keeps its tabs,
// which a quoted local part may hold and which break no line.
QString withoutControls(QString text, bool keepTabs)
{
    for (QChar &c : text)
        if ((c.unicode() < 0x20 && !(keepTabs && c == u'\t')) || c.unicode() == 0x7F)
            c = u' ';
    return text;
}

struct EncodedWord
{
    qsizetype end = -1; // after its ?=, or -1 when none starts here
    QString text;
};

// The encoded word that starts at a place (=?charset?B?text?=).
EncodedWord encodedWordAt(QStringView text, qsizetype start)
{
    const qsizetype charsetEnd = text.indexOf(u'?', start + 2);
    if (charsetEnd < 0 || charsetEnd + 3 >= text.size() || text[charsetEnd + 2] != u'?')
        return {};
    const qsizetype end = text.indexOf(u"?=", charsetEnd + 3);
    const QStringView charset = text.sliced(start + 2, charsetEnd - start - 2);
    if (end < 0 || charset.isEmpty() || charset.contains(u' '))
        return {};
    const QStringView encoded = text.sliced(charsetEnd + 3, end - charsetEnd - 3);
    if (encoded.contains(u' '))
        return {};
    const QChar encoding = text[charsetEnd + 1].toUpper();
    QByteArray bytes;
    if (encoding == u'B') {
        const auto decoded = QByteArray::fromBase64Encoding(encoded.toLatin1());
        if (!decoded)
            return {};
        bytes = *decoded;
    } else if (encoding == u'Q') {
        QString spaced = encoded.toString();
        spaced.replace(u'_', u' ');
        bytes = ContactProperties::withEscapes(spaced, u'=', false);
    } else {
        return {};
    }
    const qsizetype language = charset.indexOf(u'*');
    return {end + 2, ContactProperties::inCharacterSet(bytes, language < 0 ? charset : charset.first(language))};
}

} // namespace

QString line(const Mailbox &mailbox)
{
    const QString name = withoutControls(mailbox.name, false);
    const QString address = withoutControls(mailbox.address, true);
    const QStringView trimmed = Blanks::trimmed(QStringView(name));
    if (trimmed.isEmpty())
        return address;
    return (needsQuotes(trimmed) ? AddressTokens::quoted(trimmed) : trimmed.toString()) + QStringLiteral(" <") + address + u'>';
}

std::optional<Mailbox> of(QStringView line)
{
    const QStringView address = AddressCheck::address(line);
    if (address.isEmpty())
        return std::nullopt;
    const QStringView text = Blanks::trimmed(line);
    const std::vector<Token> tokens = AddressTokens::of(text);
    for (std::size_t i = 0; i < tokens.size(); ++i)
        if (tokens[i].is(u'<', text))
            return Mailbox{phrase(text, tokens, i), address.toString()};
    for (const Token &token : tokens)
        if (token.kind == Kind::Comment && token.closed)
            return Mailbox{decodedWords(Blanks::trimmed(QStringView(unescaped(inside(text, token))))),
                           address.toString()};
    return Mailbox{QString(), address.toString()};
}

QList<Mailbox> inHeader(QStringView value)
{
    QList<Mailbox> found;
    for (const auto &[start, end] : Recipients::in(value))
        if (const std::optional<Mailbox> mailbox = of(withoutGroup(value.sliced(start, end - start))))
            found.append(*mailbox);
    return found;
}

QString decodedWords(QStringView text)
{
    QString result;
    qsizetype from = 0;
    bool afterWord = false;
    for (qsizetype start = text.indexOf(u"=?"); start >= 0; start = text.indexOf(u"=?", start + 2)) {
        const EncodedWord word = encodedWordAt(text, start);
        if (word.end < 0)
            continue;
        const QStringView between = text.sliced(from, start - from);
        if (!afterWord || !Blanks::trimmed(between).isEmpty())
            result += between;
        result += word.text;
        from = word.end;
        start = word.end - 2;
        afterWord = true;
    }
    result += text.sliced(from);
    return result;
}

} // namespace Mailboxes
