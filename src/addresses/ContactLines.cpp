#include "addresses/ContactLines.h"

#include "addresses/AddressTokens.h"
#include "addresses/ContactProperties.h"
#include "core/Blanks.h"

#include <algorithm>

using namespace ContactProperties;

void ContactLines::feed(QStringView line, qsizetype tag, const Search &search)
{
    if (m_pending) {
        // A quoted-printable soft break goes on with the next line as it
        // stands, a space at its start kept.
        if (m_softBreaks && m_line.endsWith(u'=')) {
            m_line.chop(1);
            append(line, search);
            return;
        }
        if (line.startsWith(u' ') || line.startsWith(u'\t')) {
            append(m_dropsBlank ? line.sliced(1) : line, search);
            return;
        }
        flush(search);
    }
    const Property property = propertyOf(line, m_block == Block::VCard);
    if (m_block == Block::Ldif && Blanks::trimmed(line).isEmpty())
        m_block = Block::None;
    if (!property.valid) {
        search(line, tag);
        return;
    }
    const QStringView value = Blanks::trimmed(property.value);
    if (is(property.name, u"BEGIN") && is(value, u"VCARD")) {
        m_block = Block::VCard;
        return;
    }
    if (m_block == Block::VCard && is(property.name, u"END") && is(value, u"VCARD")) {
        m_block = Block::None;
        return;
    }
    if (is(property.name, u"dn")) {
        m_block = Block::Ldif;
        m_entryAddresses.clear();
    }
    m_pending = true;
    m_overlong = false;
    m_line.clear();
    m_tag = tag;
    m_dropsBlank = m_block != Block::None || holdsAddresses(property.name) || property.base64
                   || !property.parameters.isEmpty();
    m_softBreaks = isQuotedPrintable(property.parameters);
    append(line, search);
}

void ContactLines::finish(const Search &search)
{
    if (m_pending)
        flush(search);
    m_block = Block::None;
}

// A value of a vCard or an LDIF record, or an encoded one, that grows
// longer than any address is passed over without being held; other text
// is searched a part at a time, each cut after a comma or semicolon
// between addresses where there is one.
void ContactLines::append(QStringView more, const Search &search)
{
    if (m_overlong)
        return;
    m_line += more;
    if (m_line.size() <= AddressTokens::longestRead)
        return;
    if (m_block != Block::None || isEncoded(propertyOf(m_line, m_block == Block::VCard))) {
        m_overlong = true;
        m_line.clear();
        return;
    }
    const qsizetype cut = AddressTokens::cutAfterLastSeparator(m_line);
    search(QStringView(m_line).first(cut < 0 ? m_line.size() : cut), m_tag);
    m_line.remove(0, cut < 0 ? m_line.size() : cut);
}

// Inside a vCard or an LDIF record only what holds addresses is read;
// elsewhere the whole line, its value decoded where it was encoded.
void ContactLines::flush(const Search &search)
{
    m_pending = false;
    if (m_overlong)
        return;
    const Property property = propertyOf(m_line, m_block == Block::VCard);
    // An entry's own name (dn:) names its address, which its mail: gives
    // again: that is read once.
    if (namesEntries(property.name)) {
        const QStringList addresses = addressesNamedIn(decodedValue(property));
        if (is(property.name, u"dn"))
            m_entryAddresses = addresses;
        for (const QString &address : addresses)
            search(address, m_tag);
        return;
    }
    if (m_block != Block::None) {
        const QString value = decodedValue(property);
        const bool named = std::any_of(m_entryAddresses.begin(), m_entryAddresses.end(), [&](const QString &address) {
            return Blanks::trimmed(QStringView(value)).compare(address, Qt::CaseInsensitive) == 0;
        });
        if (holdsInternetAddresses(property) && !named)
            search(value, m_tag);
        return;
    }
    search(isEncoded(property) ? decodedValue(property) : m_line, m_tag);
}
