#include "addresses/ContactProperties.h"

#include "core/Blanks.h"

#include <QStringDecoder>

#include <unicode/ucnv.h>

#include <memory>
#include <optional>

namespace ContactProperties {

Property propertyOf(QStringView line, bool inVCard)
{
    // A parameter's quoted value may hold a colon or a space
    // (LABEL="Main St: 4").
    qsizetype colon = 0;
    bool quoted = false;
    for (; colon < line.size() && (quoted || line[colon] != u':'); ++colon) {
        if (line[colon] == u'"' && colon > 0)
            quoted = !quoted;
        else if (!quoted && (line[colon] <= u' ' || line[colon] >= u'\x7F'))
            break;
    }
    if (colon == 0 || colon == line.size() || line[colon] != u':')
        return {};
    Property property;
    property.valid = true;
    const QStringView head = line.first(colon);
    const qsizetype semicolon = head.indexOf(u';');
    QStringView name = semicolon < 0 ? head : head.first(semicolon);
    property.parameters = semicolon < 0 ? QStringView() : head.sliced(semicolon);
    property.name = name.sliced(name.lastIndexOf(u'.') + 1);
    qsizetype value = colon + 1;
    property.base64 = !inVCard && value < line.size() && line[value] == u':';
    property.value = line.sliced(value + (property.base64 ? 1 : 0));
    return property;
}

bool is(QStringView text, QStringView name)
{
    return text.compare(name, Qt::CaseInsensitive) == 0;
}

// EMAIL, mail, mozillaSecondEmail and their kind.
bool holdsAddresses(QStringView name)
{
    return name.endsWith(u"mail", Qt::CaseInsensitive) || is(name, u"emailAddress");
}

bool holdsInternetAddresses(const Property &property)
{
    if (!holdsAddresses(property.name))
        return false;
    for (QStringView part : property.parameters.split(u';')) {
        const QStringView type = part.sliced(part.indexOf(u'=') + 1);
        for (QStringView each : type.split(u','))
            if (is(Blanks::trimmed(each), u"X400") || is(Blanks::trimmed(each), u"TLX"))
                return false;
    }
    return true;
}

// LDIF's names of entries, whose mail= parts are addresses.
bool namesEntries(QStringView name)
{
    return is(name, u"dn") || is(name, u"member") || is(name, u"uniqueMember");
}

QStringView parameter(QStringView parameters, QStringView name)
{
    for (QStringView part : parameters.split(u';')) {
        const qsizetype equals = part.indexOf(u'=');
        if (equals > 0 && is(Blanks::trimmed(part.first(equals)), name))
            return Blanks::trimmed(part.sliced(equals + 1));
    }
    return {};
}

// vCard 2.1 writes ENCODING=QUOTED-PRINTABLE or QUOTED-PRINTABLE alone.
bool isQuotedPrintable(QStringView parameters)
{
    return parameters.contains(u"QUOTED-PRINTABLE", Qt::CaseInsensitive);
}

bool isBase64(QStringView parameters)
{
    const QStringView encoding = parameter(parameters, u"ENCODING");
    return is(encoding, u"B") || is(encoding, u"BASE64");
}

namespace {

// The byte two hexadecimal digits at a place write, or -1.
int hexByteAt(QStringView text, qsizetype at)
{
    const auto digit = [](QChar c) {
        const char16_t u = c.unicode();
        return u >= u'0' && u <= u'9' ? u - u'0' : u >= u'A' && u <= u'F' ? u - u'A' + 10 : u >= u'a' && u <= u'f' ? u - u'a' + 10 : -1;
    };
    if (at + 2 > text.size() || digit(text[at]) < 0 || digit(text[at + 1]) < 0)
        return -1;
    return digit(text[at]) * 16 + digit(text[at + 1]);
}

std::optional<QByteArray> fromBase64(QStringView value)
{
    const auto result = QByteArray::fromBase64Encoding(Blanks::trimmed(value).toLatin1(),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    return result ? std::optional(*result) : std::nullopt;
}

} // namespace


// A text whose escapes (=40 in quoted-printable, \2C in LDAP) stand for
// bytes of UTF-8 or a character set, and whose other characters stand for
// themselves.
QByteArray withEscapes(QStringView text, QChar escape, bool escapesAnyCharacter)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == escape) {
            if (const int byte = hexByteAt(text, i + 1); byte >= 0) {
                bytes += char(byte);
                i += 2;
                continue;
            }
            if (escapesAnyCharacter && i + 1 < text.size())
                ++i;
        }
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        bytes += text.sliced(i, length).toUtf8();
        i += length - 1;
    }
    return bytes;
}

// Bytes in the character set a vCard names; without one, UTF-8 where they
// are, else Windows-1252, as old exports from Windows write.
QString inCharacterSet(const QByteArray &bytes, QStringView charset)
{
    if (charset.isEmpty() || is(charset, u"UTF-8")) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8(bytes);
        if (!utf8.hasError() || !charset.isEmpty())
            return text;
    }
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = charset.isEmpty() ? QByteArray("windows-1252") : charset.toLatin1();
    const std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(name.constData(), &status), &ucnv_close);
    if (U_FAILURE(status))
        return QString::fromLatin1(bytes);
    QString text(bytes.size() * 2 + 2, Qt::Uninitialized);
    const int32_t length = ucnv_toUChars(converter.get(), reinterpret_cast<UChar *>(text.data()), int32_t(text.size()),
                                         bytes.constData(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return QString::fromLatin1(bytes);
    text.truncate(length);
    return text;
}

// The value as it reads once decoded; the value itself when it is not
// encoded, or not validly.
QString decodedValue(const Property &property)
{
    if (property.base64) {
        const std::optional<QByteArray> bytes = fromBase64(property.value);
        return bytes ? inCharacterSet(*bytes, u"UTF-8") : property.value.toString();
    }
    const QStringView charset = parameter(property.parameters, u"CHARSET");
    if (isQuotedPrintable(property.parameters))
        return inCharacterSet(withEscapes(property.value, u'=', false), charset);
    if (isBase64(property.parameters)) {
        const std::optional<QByteArray> bytes = fromBase64(property.value);
        return bytes ? inCharacterSet(*bytes, charset) : property.value.toString();
    }
    return property.value.toString();
}

// The mail= values of an LDAP name (cn=Ann Lee,mail=ann@x.org).
QStringList addressesNamedIn(QStringView name)
{
    QStringList addresses;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] == u'\\') {
            ++i;
            continue;
        }
        if (i < name.size() && name[i] != u',' && name[i] != u'+')
            continue;
        const QStringView part = name.sliced(start, i - start);
        const qsizetype equals = part.indexOf(u'=');
        if (equals > 0 && holdsAddresses(Blanks::trimmed(part.first(equals))))
            addresses << QString::fromUtf8(withEscapes(Blanks::trimmed(part.sliced(equals + 1)), u'\\', true));
        start = i + 1;
    }
    return addresses;
}


bool isEncoded(const Property &property)
{
    return property.base64 || isQuotedPrintable(property.parameters) || isBase64(property.parameters);
}

} // namespace ContactProperties
