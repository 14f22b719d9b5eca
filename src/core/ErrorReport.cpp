#include "core/ErrorReport.h"

#include "core/Failure.h"
#include "core/ReportText.h"

void ErrorReport::show(const QString &qualifier, int line, const std::exception_ptr &failure)
{
    m_warn(composeReport(describeFailure(failure), qualifier, line), errorReportTitle);
}
