#pragma once

#include <QString>
#include <QStringList>

// Starts a program as a process of its own and does not wait for it.
// Answers whether it could be started.
bool startDetachedProcess(const QString &program, const QStringList &arguments);
