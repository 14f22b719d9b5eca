#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// On about one start in a hundred, opens the home page in the user's browser
// through the desktop's URL opener, without waiting for it.
class HomePageOpener
{
public:
    // A number r with 0 <= r < 1.
    using RandomSource = std::function<double()>;
    using ProcessStarter = std::function<bool(const QString &program, const QStringList &arguments)>;

    // Draws from a generator seeded with the time of day; starts processes
    // through the starter.
    explicit HomePageOpener(ProcessStarter start);

    void setRandomSource(RandomSource source) { m_random = std::move(source); }
    void setProcessStarter(ProcessStarter starter) { m_start = std::move(starter); }

    // Raises a Failure when the URL opener cannot be started.
    void run() const;

private:
    RandomSource m_random;
    ProcessStarter m_start;
};
