#include "textview/Graphemes.h"

#include <unicode/ubrk.h>

#include <new>

namespace {

// ICU's rules are read once; each text gets a copy of the iterator.
UBreakIterator *prototype()
{
    static UBreakIterator *const iterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        UBreakIterator *opened = ubrk_open(UBRK_CHARACTER, "", nullptr, 0, &status);
        return U_SUCCESS(status) ? opened : nullptr;
    }();
    return iterator;
}

} // namespace

Graphemes::Graphemes(QStringView text) : m_text(text)
{
    UErrorCode status = U_ZERO_ERROR;
    if (prototype())
        m_iterator = ubrk_clone(prototype(), &status);
    if (m_iterator && U_SUCCESS(status))
        ubrk_setText(m_iterator, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
    if (!m_iterator || U_FAILURE(status)) {
        ubrk_close(m_iterator);
        throw std::bad_alloc();
    }
}

Graphemes::~Graphemes()
{
    ubrk_close(m_iterator);
}

qsizetype Graphemes::next(qsizetype position) const
{
    if (position >= m_text.size())
        return m_text.size();
    const int32_t next = ubrk_following(m_iterator, int32_t(qMax<qsizetype>(0, position)));
    return next == UBRK_DONE ? m_text.size() : next;
}

qsizetype Graphemes::previous(qsizetype position) const
{
    if (position <= 0)
        return 0;
    const int32_t previous = ubrk_preceding(m_iterator, int32_t(qMin(position, m_text.size())));
    return previous == UBRK_DONE ? 0 : previous;
}

bool Graphemes::isBoundary(qsizetype position) const
{
    return position <= 0 || position >= m_text.size() || ubrk_isBoundary(m_iterator, int32_t(position));
}
