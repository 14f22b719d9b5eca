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

// ICU's calls do nothing once the status says a call has failed: one look
// at the end tells whether all went well.
Graphemes::Graphemes(QStringView text) : m_text(text)
{
    UErrorCode status = U_ZERO_ERROR;
    m_iterator = ubrk_clone(prototype(), &status);
    ubrk_setText(m_iterator, reinterpret_cast<const UChar *>(text.utf16()), int32_t(text.size()), &status);
    if (U_FAILURE(status)) {
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
    const int32_t next = ubrk_following(m_iterator, int32_t(position));
    return next == UBRK_DONE ? m_text.size() : next;
}

qsizetype Graphemes::previous(qsizetype position) const
{
    const int32_t previous = ubrk_preceding(m_iterator, int32_t(position));
    return previous == UBRK_DONE ? 0 : previous;
}

bool Graphemes::isBoundary(qsizetype position) const
{
    return ubrk_isBoundary(m_iterator, int32_t(position));
}
