#pragma once

#include "core/ErrorReport.h"

#include <QString>

#include <exception>
#include <functional>

// One run of a reporting procedure. Each numbered statement runs through it:
// a failure (any exception) is reported with the statement's number and the
// procedure goes on with its next statement.
class Procedure
{
public:
    // Looks at a failure before it is reported; answers true when it has
    // dealt with it, and the procedure then ends.
    using Interceptor = std::function<bool(const std::exception_ptr &)>;

    Procedure(ErrorReport &report, const QString &qualifier) : m_report(report), m_qualifier(qualifier) {}

    // Runs one statement; answers whether it completed. Templates, so that a
    // statement run a million times in a loop costs no more than its work.
    template<typename Statement>
    bool run(int line, Statement &&statement)
    {
        if (m_ended)
            return false;
        try {
            beforeStatement(line);
            statement();
            return true;
        } catch (...) {
            fail(line, std::current_exception());
            return false;
        }
    }

    // A condition statement. A test that fails goes on into what it guards,
    // so a failure answers true.
    template<typename Condition>
    bool test(int line, Condition &&condition)
    {
        bool result = true;
        run(line, [&] { result = condition(); });
        return result && !m_ended;
    }

    // A counted loop over 0 .. count - 1: the head at headLine works out the
    // count, the advance at nextLine follows every pass. A failing head goes
    // on into the body once; a failing advance leaves the loop.
    template<typename Count, typename Body>
    void loop(int headLine, Count &&count, int nextLine, Body &&body)
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

    void setInterceptor(Interceptor interceptor) { m_interceptor = std::move(interceptor); }
    bool ended() const { return m_ended; }
    // Whether a statement has failed for want of memory.
    bool ranOutOfMemory() const { return m_outOfMemory; }

private:
    void beforeStatement(int line) const { m_report.beforeStatement(m_qualifier, line); }
    void fail(int line, const std::exception_ptr &failure);

    ErrorReport &m_report;
    QString m_qualifier;
    Interceptor m_interceptor;
    bool m_ended = false;
    bool m_outOfMemory = false;
};
