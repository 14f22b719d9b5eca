#pragma once

#include <QString>

#include <exception>
#include <functional>

class ErrorReport;

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

    // Runs one statement; answers whether it completed.
    bool run(int line, const std::function<void()> &statement);

    // A condition statement. A test that fails goes on into what it guards,
    // so a failure answers true.
    bool test(int line, const std::function<bool()> &condition);

    // A counted loop over 0 .. count - 1: the head at headLine works out the
    // count, the advance at nextLine follows every pass. A failing head goes
    // on into the body once; a failing advance leaves the loop.
    void loop(int headLine, const std::function<qsizetype()> &count, int nextLine,
              const std::function<void(qsizetype)> &body);

    void setInterceptor(Interceptor interceptor) { m_interceptor = std::move(interceptor); }
    bool ended() const { return m_ended; }

private:
    void fail(int line, const std::exception_ptr &failure);

    ErrorReport &m_report;
    QString m_qualifier;
    Interceptor m_interceptor;
    bool m_ended = false;
};
