#include "listfiles/SampleList.h"

#include <QStringList>

QString sampleListText()
{
    static const QStringList addresses = {
        QStringLiteral("anna@example.com"),   QStringLiteral("bruno@example.org"),
        QStringLiteral("chiara@example.net"), QStringLiteral("dmitri@example.com"),
        QStringLiteral("emeka@example.org"),  QStringLiteral("fiona.grant@example.net"),
        QStringLiteral("gustav@example.com"),
    };
    return addresses.join(QStringLiteral("\r\n"));
}
