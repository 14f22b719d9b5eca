#include "core/HomePageOpener.h"

#include "core/Failure.h"
#include "core/ProductInfo.h"

#include <QTime>

#include <random>

HomePageOpener::HomePageOpener(ProcessStarter start) : m_start(std::move(start))
{
    auto generator = std::make_shared<std::mt19937_64>(QTime::currentTime().msecsSinceStartOfDay());
    m_random = [generator] { return std::uniform_real_distribution<double>(0.0, 1.0)(*generator); };
}

void HomePageOpener::run() const
{
    const int n = static_cast<int>(m_random() * 100) + 1;
    if (n != 7)
        return;
#ifdef Q_OS_WIN
    const QString opener = QStringLiteral("explorer");
#else
    const QString opener = QStringLiteral("xdg-open");
#endif
    if (!m_start(opener, {ProductInfo::homePage}))
        throw Failure(QStringLiteral("Cannot start %1").arg(opener));
}
