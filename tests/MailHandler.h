#pragma once

#include "TestFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A mail program for the desktop's mailto: links, registered in a
// temporary XDG data and config folder that this process and its children
// use while it lives: xdg-email finds it as it finds a real one, and it
// records the link it is given, one to a line, or fails as told.
class MailHandler
{
public:
    MailHandler()
    {
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                                 "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "MAILER", "BROWSER"})
            m_saved.append({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
        QDir(m_folder.path()).mkpath(QStringLiteral("data/applications"));
        QDir(m_folder.path()).mkpath(QStringLiteral("config"));
        putFile(m_folder.filePath(QStringLiteral("data/applications")), QStringLiteral("recorder.desktop"),
                "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + m_folder.filePath(QStringLiteral("recorder")).toUtf8()
                    + " %u\nMimeType=x-scheme-handler/mailto;\n");
        putFile(m_folder.filePath(QStringLiteral("config")), QStringLiteral("mimeapps.list"),
                "[Default Applications]\nx-scheme-handler/mailto=recorder.desktop\n");
        succeed();
        qputenv("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_folder.filePath(QStringLiteral("config")).toUtf8());
        qputenv("DISPLAY", ":99"); // xdg-open asks the desktop's files only with a display
        qputenv("BROWSER", "false");
        for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID", "MAILER"})
            qunsetenv(name);
    }

    ~MailHandler()
    {
        for (const auto &[name, value, set] : m_saved)
            set ? qputenv(name, value) : qunsetenv(name);
    }

    // The links the program was given, in order.
    QStringList links() const
    {
        const QString path = m_folder.filePath(QStringLiteral("links"));
        return QFile::exists(path) ? QString::fromUtf8(readFile(path)).split(u'\n', Qt::SkipEmptyParts) : QStringList();
    }

    void succeed() { writeProgram(record()); }
    void fail(const QByteArray &message) { writeProgram("echo '" + message + "' >&2\nexit 1\n"); }
    // Records the links it is given until it holds so many, then fails.
    void failAfter(int links, const QByteArray &message)
    {
        writeProgram("[ \"$(cat '" + linksPath() + "' 2>/dev/null | wc -l)\" -ge " + QByteArray::number(links) + " ] && { echo '"
                     + message + "' >&2; exit 1; }\n" + record());
    }
    // The mail program brings down xdg-email with it.
    void crash()
    {
        writeProgram("p=$PPID\nwhile [ \"$(cat /proc/$p/comm)\" != xdg-email ] && [ $p -gt 1 ]; do p=$(cut -d' ' -f4 /proc/$p/stat); done\n"
                     "kill -SEGV $p\n");
    }

private:
    QByteArray linksPath() const { return m_folder.filePath(QStringLiteral("links")).toUtf8(); }
    QByteArray record() const { return "printf '%s\\n' \"$1\" >> '" + linksPath() + "'\n"; }
    void writeProgram(const QByteArray &body)
    {
        const QString path = putFile(m_folder.path(), QStringLiteral("recorder"), "#!/bin/sh\n" + body);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    struct Saved
    {
        const char *name;
        QByteArray value;
        bool set;
    };
    QTemporaryDir m_folder;
    QList<Saved> m_saved;
};

// A mailto: link as Python's urllib reads it: the address before the
// question mark, the bcc (or to), subject and body, between bars.
inline QByteArray linkAsPythonReads(const QString &link)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, urllib.parse as u; p = u.urlsplit(sys.argv[1]); q = u.parse_qs(p.query); "
                                 "sys.stdout.buffer.write('|'.join([u.unquote(p.path)] + [q.get(k, [''])[0] for k in "
                                 "('bcc', 'to', 'subject', 'body')]).encode())"),
                  link});
    python.waitForFinished();
    return python.readAllStandardOutput();
}
