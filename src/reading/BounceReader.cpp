#include "reading/BounceReader.h"

#include "addresses/AddressCheck.h"
#include "addresses/Recipients.h"
#include "core/Blanks.h"

namespace {

// The value of a field, empty when it is not there; names are compared
// without regard to case.
QString valueOf(const QList<std::pair<QString, QString>> &fields, QStringView name)
{
    for (const auto &[fieldName, value] : fields)
        if (name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

// A parameter of a Content-Type value (boundary="x"), quoted or not.
QString parameterOf(QStringView value, QStringView name)
{
    for (QStringView part : value.split(u';')) {
        part = Blanks::trimmed(part);
        const qsizetype equals = part.indexOf(u'=');
        if (equals < 0 || Blanks::trimmed(part.first(equals)).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QStringView parameter = Blanks::trimmed(part.sliced(equals + 1));
        if (parameter.size() >= 2 && parameter.startsWith(u'"') && parameter.endsWith(u'"'))
            parameter = parameter.sliced(1, parameter.size() - 2);
        return parameter.toString();
    }
    return {};
}

// The address of a recipient field, given as "rfc822; ann@x.org": only an
// internet address counts.
QString addressOf(QStringView value)
{
    const qsizetype semicolon = value.indexOf(u';');
    if (semicolon < 0 || Blanks::trimmed(value.first(semicolon)).compare(u"rfc822", Qt::CaseInsensitive) != 0)
        return {};
    QStringView address = Blanks::trimmed(value.sliced(semicolon + 1));
    if (address.startsWith(u'<') && address.endsWith(u'>'))
        address = address.sliced(1, address.size() - 2);
    return address.toString();
}

} // namespace

void BounceReader::feed(QStringView line)
{
    if (m_mbox && m_lineWasBlank && line.startsWith(u"From ")) {
        endMessage();
        return;
    }
    const bool blank = line.isEmpty();
    if (!takeBoundary(line)) {
        if (m_mode == Mode::Headers) {
            if (blank)
                endHeaders();
            else
                feedField(line, m_fields);
        } else if (m_mode == Mode::Status) {
            if (blank)
                endStatusGroup();
            else
                feedField(line, m_fields);
        }
    }
    m_lineWasBlank = blank;
}

// A field's line, or the folded rest of the last field.
void BounceReader::feedField(QStringView line, Fields &fields)
{
    if ((line.startsWith(u' ') || line.startsWith(u'\t'))) {
        if (!fields.isEmpty())
            fields.last().second += u' ' + Blanks::trimmed(line).toString();
        return;
    }
    const qsizetype colon = line.indexOf(u':');
    if (colon > 0)
        fields.append({Blanks::trimmed(line.first(colon)).toString(), Blanks::trimmed(line.sliced(colon + 1)).toString()});
}

// A boundary line of a multipart part that is open ends the parts inside
// it; the next part's headers follow, or, at the closing one, nothing of it.
bool BounceReader::takeBoundary(QStringView line)
{
    if (!line.startsWith(u"--") || m_boundaries.isEmpty())
        return false;
    const QStringView marker = Blanks::trimmed(line.sliced(2));
    for (qsizetype i = m_boundaries.size() - 1; i >= 0; --i) {
        const QString &boundary = m_boundaries[i];
        const bool closing = marker == QString(boundary + QStringLiteral("--"));
        if (marker != boundary && !closing)
            continue;
        if (m_mode == Mode::Status)
            endStatusGroup();
        m_boundaries.resize(closing ? i : i + 1);
        m_fields.clear();
        m_mode = closing ? Mode::Skip : Mode::Headers;
        return true;
    }
    return false;
}

// What the headers just read say of the body after them.
void BounceReader::endHeaders()
{
    for (const auto &[name, value] : m_fields)
        if (name.compare(u"X-Failed-Recipients", Qt::CaseInsensitive) == 0)
            for (const auto &[start, end] : Recipients::in(value))
                m_xFailed << AddressCheck::address(QStringView(value).sliced(start, end - start)).toString();
    const QString type = valueOf(m_fields, u"Content-Type");
    const QString mediaType = Blanks::trimmed(QStringView(type).first(type.indexOf(u';') < 0 ? type.size() : type.indexOf(u';')))
                                  .toString()
                                  .toLower();
    m_fields.clear();
    if (mediaType.startsWith(u"multipart/") && !parameterOf(type, u"boundary").isEmpty()) {
        m_boundaries << parameterOf(type, u"boundary");
        m_mode = Mode::Skip;
    } else if (mediaType == u"message/delivery-status" || mediaType == u"message/global-delivery-status") {
        m_mode = Mode::Status;
    } else if (mediaType == u"message/rfc822" || mediaType == u"message/global") {
        m_mode = Mode::Headers; // a forwarded message: its own headers follow
    } else {
        m_mode = Mode::Skip;
    }
}

// One group of a status part: a recipient's, when it names one.
void BounceReader::endStatusGroup()
{
    const QString action = valueOf(m_fields, u"Action").toLower();
    const QString status = valueOf(m_fields, u"Status");
    QString address = addressOf(valueOf(m_fields, u"Original-Recipient"));
    if (address.isEmpty())
        address = addressOf(valueOf(m_fields, u"Final-Recipient"));
    if (!address.isEmpty() && action == u"failed" && status.startsWith(u'5')) {
        m_reported = true;
        found(address, status.section(u' ', 0, 0), valueOf(m_fields, u"Diagnostic-Code"));
    }
    m_fields.clear();
}

void BounceReader::endMessage()
{
    if (m_mode == Mode::Status)
        endStatusGroup();
    if (!m_reported)
        for (const QString &address : std::as_const(m_xFailed))
            found(address, QString(), QStringLiteral("X-Failed-Recipients"));
    m_mode = Mode::Headers;
    m_lineWasBlank = true;
    m_fields.clear();
    m_boundaries.clear();
    m_xFailed.clear();
    m_reported = false;
}

void BounceReader::found(const QString &address, const QString &status, const QString &diagnostic)
{
    if (address.isEmpty() || m_seen.contains(address.toLower()))
        return;
    m_seen.insert(address.toLower());
    m_found({address, status, diagnostic});
}
