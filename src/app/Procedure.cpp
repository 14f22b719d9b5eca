#include "app/Procedure.h"

#include "app/ErrorReport.h"

bool Procedure::run(int line, const std::function<void()> &statement)
{
    if (m_ended)
        return false;
    try {
        m_report.beforeStatement(m_qualifier, line);
        statement();
        return true;
    } catch (...) {
        fail(line, std::current_exception());
        return false;
    }
}

bool Procedure::test(int line, const std::function<bool()> &condition)
{
    bool result = true;
    run(line, [&] { result = condition(); });
    return result && !m_ended;
}

void Procedure::loop(int headLine, const std::function<qsizetype()> &count, int nextLine,
                     const std::function<void(qsizetype)> &body)
{
    qsizetype passes = 0;
    if (!run(headLine, [&] { passes = count(); }))
        passes = 1;
    for (qsizetype i = 0; i < passes && !m_ended; ++i) {
        body(i);
        if (!run(nextLine, [] {}))
            break;
    }
}

void Procedure::fail(int line, const std::exception_ptr &failure)
{
    if (m_interceptor && m_interceptor(failure)) {
        m_ended = true;
        return;
    }
    m_report.show(m_qualifier, line, failure);
}
