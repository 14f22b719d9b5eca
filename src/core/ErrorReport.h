#pragma once

#include <QString>

#include <exception>
#include <functional>

// Shows the "Application Error" box for a failure in a numbered statement of
// a reporting procedure.
class ErrorReport
{
public:
    // Test seam: called before every numbered statement of every reporting
    // procedure; whatever it throws fails that statement.
    using StatementProbe = std::function<void(const QString &qualifier, int line)>;

    // Shows a box with the warning icon, the given text and title.
    using WarningBox = std::function<void(const QString &text, const QString &title)>;

    explicit ErrorReport(WarningBox warn) : m_warn(std::move(warn)) {}

    void show(const QString &qualifier, int line, const std::exception_ptr &failure);

    void setStatementProbe(StatementProbe probe) { m_probe = std::move(probe); }
    void beforeStatement(const QString &qualifier, int line) const
    {
        if (m_probe)
            m_probe(qualifier, line);
    }

private:
    WarningBox m_warn;
    StatementProbe m_probe;
};
