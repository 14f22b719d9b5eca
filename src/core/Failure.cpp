#include "core/Failure.h"

#include <new>

Failure::Failure(const QString &description, int number)
    : std::runtime_error(description.toStdString()), m_description(description), m_number(number)
{
}

QString describeFailure(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Failure &f) {
        return f.description();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected failure");
    }
}

int failureNumber(const std::exception_ptr &failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const Failure &f) {
        return f.number();
    } catch (...) {
        return 0;
    }
}
