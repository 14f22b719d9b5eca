#include "app/ErrorReport.h"

#include "app/Failure.h"
#include "app/ReportText.h"
#include "platform/MessageBox.h"

void ErrorReport::show(const QString &qualifier, int line, const std::exception_ptr &failure)
{
    m_boxes.warn(composeReport(describeFailure(failure), qualifier, line), errorReportTitle);
}
