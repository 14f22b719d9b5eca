#include "addresses/ContactLines.h"

#include "addresses/ContactProperties.h"
#include "core/Blanks.h"

#include <algorithm>

using namespace ContactProperties;

void ContactLines::feed(QStringView line, qsizetype tag, const Search &search)
{
    if (m_pending) {
        if (line.startsWith(u' ') || line.startsWith(u'\t')) {
            m_line += m_dropsBlank ? line.sliced(1) : line;
            return;
        }
        if (m_softBreaks && m_line.endsWith(u'=')) {
            m_line.chop(1);
            m_line += line;
            return;
        }
        flush(search);
    }
    const Property property = propertyOf(line);
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
    m_line = line.toString();
    m_tag = tag;
    m_dropsBlank = m_block != Block::None || holdsAddresses(property.name) || property.base64
                   || !property.parameters.isEmpty();
    m_softBreaks = isQuotedPrintable(property.parameters);
}

void ContactLines::finish(const Search &search)
{
    if (m_pending)
        flush(search);
    m_block = Block::None;
}

// Inside a vCard or an LDIF record only what holds addresses is read;
// elsewhere the whole line, its value decoded where it was encoded.
void ContactLines::flush(const Search &search)
{
    m_pending = false;
    const Property property = propertyOf(m_line);
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
        if (holdsAddresses(property.name) && !named)
            search(value, m_tag);
        return;
    }
    search(isEncoded(property) ? decodedValue(property) : m_line, m_tag);
}
