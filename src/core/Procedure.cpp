#include "core/Procedure.h"

#include "core/ErrorReport.h"

#include <new>

void Procedure::fail(int line, const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc &) {
        m_outOfMemory = true;
    } catch (...) {
    }
    if (m_interceptor && m_interceptor(failure)) {
        m_ended = true;
        return;
    }
    m_report.show(m_qualifier, line, failure);
}
