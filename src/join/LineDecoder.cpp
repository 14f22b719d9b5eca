#include "join/LineDecoder.h"

namespace {

// Windows-1252 differs from Latin-1 only in 0x80 to 0x9F; its five unused
// codes there stand for the C1 controls, as in decoding.
constexpr char16_t windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

LineDecoder::LineDecoder(Take take, bool skipEmptyFile) : m_take(std::move(take)), m_skipEmptyFile(skipEmptyFile) {}

void LineDecoder::startFile(StreamingJoin::Encoding encoding)
{
    m_encoding = encoding;
    m_utf8 = QStringDecoder(QStringDecoder::Utf8);
    m_fed = 0;
    m_anyText = false;
    m_broken = false;
    m_pendingByte = -1;
    m_check = StreamingJoin::Utf8Check();
    m_text.clear();
}

void LineDecoder::feed(QByteArrayView bytes)
{
    if (bytes.isEmpty() || m_broken)
        return;
    const bool first = m_fed == 0;
    m_fed += bytes.size();
    const qsizetype before = m_text.size();
    switch (m_encoding) {
    case StreamingJoin::Encoding::Utf8: {
        m_text.resize(before + bytes.size());
        QChar *end = m_utf8.appendToBuffer(m_text.data() + before, bytes);
        m_text.truncate(end - m_text.constData());
        m_check.feed(bytes);
        m_broken = !m_check.isValidSoFar();
        break;
    }
    case StreamingJoin::Encoding::Windows1252: {
        m_text.resize(before + bytes.size());
        QChar *out = m_text.data() + before;
        for (const char byte : bytes) {
            const auto code = static_cast<uchar>(byte);
            *out++ = QChar(code >= 0x80 && code < 0xA0 ? windows1252High[code - 0x80] : char16_t(code));
        }
        break;
    }
    case StreamingJoin::Encoding::Utf16LittleEndian:
    case StreamingJoin::Encoding::Utf16BigEndian:
        decodeUtf16(first ? bytes.sliced(2) : bytes);
        break;
    }
    m_anyText = m_anyText || m_text.size() > before;
    handOnLines(false);
}

void LineDecoder::decodeUtf16(QByteArrayView bytes)
{
    const bool bigEndian = m_encoding == StreamingJoin::Encoding::Utf16BigEndian;
    const qsizetype before = m_text.size();
    m_text.resize(before + (bytes.size() + 1) / 2);
    QChar *out = m_text.data() + before;
    for (const char byte : bytes) {
        const auto b = static_cast<uchar>(byte);
        if (m_pendingByte < 0) {
            m_pendingByte = b;
            continue;
        }
        *out++ = QChar(bigEndian ? char16_t(m_pendingByte << 8 | b) : char16_t(b << 8 | m_pendingByte));
        m_pendingByte = -1;
    }
    m_text.truncate(out - m_text.constData());
}

// Hands on each line whose break has come; a CR at the end waits for the
// LF that may make it CR LF, and a high surrogate for its low half.
void LineDecoder::handOnLines(bool atEnd)
{
    const QStringView text(m_text);
    qsizetype from = 0;
    qsizetype lf = -1; // the next LF from here, or the text's size for none
    for (;;) {
        if (lf < from) {
            const qsizetype found = text.indexOf(u'\n', from);
            lf = found < 0 ? text.size() : found;
        }
        const qsizetype cr = text.first(lf).indexOf(u'\r', from);
        if (cr >= 0 && (cr + 1 < text.size() || atEnd)) {
            handOn(from, cr);
            from = cr + (cr + 1 < text.size() && text[cr + 1] == u'\n' ? 2 : 1);
        } else if (cr < 0 && lf < text.size()) {
            handOn(from, lf);
            from = lf + 1;
        } else {
            break;
        }
    }
    m_text.remove(0, from);
}

void LineDecoder::handOn(qsizetype from, qsizetype to)
{
    if (m_encoding != StreamingJoin::Encoding::Utf16LittleEndian && m_encoding != StreamingJoin::Encoding::Utf16BigEndian) {
        m_take(QStringView(m_text).sliced(from, to - from));
        return;
    }
    QChar *units = m_text.data();
    for (qsizetype i = from; i < to; ++i) {
        if (!units[i].isSurrogate())
            continue;
        if (units[i].isHighSurrogate() && i + 1 < to && units[i + 1].isLowSurrogate())
            ++i;
        else
            units[i] = QChar::ReplacementCharacter;
    }
    m_take(QStringView(m_text).sliced(from, to - from));
}

void LineDecoder::finishFile()
{
    if (m_fed == 0) {
        if (!m_skipEmptyFile)
            m_take(u"empty file");
        return;
    }
    if (m_pendingByte >= 0) {
        m_text += QChar::ReplacementCharacter;
        m_pendingByte = -1;
        m_anyText = true;
    }
    // A character cut off at the end: the file is not what was taken for UTF-8.
    if (m_encoding == StreamingJoin::Encoding::Utf8 && !m_check.isValid()) {
        m_broken = true;
        m_text += QChar::ReplacementCharacter;
    }
    if (!m_anyText)
        return;
    handOnLines(true);
    handOn(0, m_text.size());
    m_text.clear();
}
