#include "core/ReportText.h"

#include "core/ProductInfo.h"

QString composeReport(const QString &description, const QString &qualifier, int line)
{
    return description + QStringLiteral("\r\n") + qualifier + QStringLiteral("at line ")
        + QString::number(line) + QStringLiteral("\r\r")
        + QStringLiteral("Please email screenshot of this message to ") + ProductInfo::supportAddress;
}
