#include "textview/Bidi.h"

#include <QChar>

#include <unicode/ubidi.h>

#include <algorithm>
#include <memory>

namespace Bidi {

namespace {

char32_t codePointAt(QStringView text, qsizetype i)
{
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(text[i], text[i + 1]);
    return text[i].unicode();
}

bool isExplicit(QChar::Direction direction)
{
    switch (direction) {
    case QChar::DirLRE:
    case QChar::DirLRO:
    case QChar::DirRLE:
    case QChar::DirRLO:
    case QChar::DirPDF:
    case QChar::DirLRI:
    case QChar::DirRLI:
    case QChar::DirFSI:
    case QChar::DirPDI:
        return true;
    default:
        return false;
    }
}

bool raises(QChar::Direction direction)
{
    return direction == QChar::DirR || direction == QChar::DirAL || direction == QChar::DirAN || isExplicit(direction);
}

// Everything below Hebrew runs left to right, and so does most of the rest;
// the loop looks closer only at what may not.
template<typename Test>
bool any(QStringView text, Test test)
{
    const char16_t *chars = text.utf16();
    // One pass the compiler vectorises settles the usual case at once.
    char16_t highest = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        highest = std::max(highest, chars[i]);
    if (highest < 0x0590)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (chars[i] >= 0x0590 && test(QChar::direction(codePointAt(text, i))))
            return true;
    return false;
}

} // namespace

bool hasRightToLeft(QStringView text)
{
    return any(text, raises);
}

bool hasExplicitControls(QStringView text)
{
    return any(text, isExplicit);
}

bool isResetAtLineEnd(QChar c)
{
    const QChar::Direction direction = c.direction();
    return direction == QChar::DirWS || direction == QChar::DirBN || isExplicit(direction);
}

bool isRightToLeftLetter(QStringView text, qsizetype i)
{
    const QChar::Direction direction = QChar::direction(codePointAt(text, i));
    return direction == QChar::DirR || direction == QChar::DirAL;
}

std::vector<std::uint8_t> levels(QStringView text)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UBiDi, void (*)(UBiDi *)> bidi(ubidi_openSized(int32_t(text.size()), 0, &status),
                                                          ubidi_close);
    if (U_FAILURE(status) || text.size() > INT32_MAX)
        return {};
    ubidi_setPara(bidi.get(), reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), 0, nullptr,
                  &status);
    const UBiDiLevel *resolved = U_SUCCESS(status) ? ubidi_getLevels(bidi.get(), &status) : nullptr;
    if (U_FAILURE(status) || !resolved)
        return {};
    return std::vector<std::uint8_t>(resolved, resolved + text.size());
}

} // namespace Bidi
