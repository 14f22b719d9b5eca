#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

// A run-time failure raised by the program's own routines: the platform's
// description of what went wrong and, where the platform numbers it, its code.
class Failure : public std::runtime_error
{
public:
    explicit Failure(const QString &description, int number = 0);

    QString description() const { return m_description; }
    int number() const { return m_number; }

private:
    QString m_description;
    int m_number;
};

// The description the error report shows for any exception.
QString describeFailure(const std::exception_ptr &failure);

// The number of a Failure, or 0 for every other exception.
int failureNumber(const std::exception_ptr &failure);
