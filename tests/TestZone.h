#pragma once

#include "addresses/MailDomains.h"

#include <QProcess>
#include <QSet>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// A name server of the test's own on the loopback, from Debian's dnsmasq:
// the table's domains take mail, a few others are of each kind (a typo
// domain that takes mail too), every other name under their suffixes does
// not exist, slow.org's server never answers, and names under any other
// suffix are not known. Nothing leaves the machine. While it lives, the
// program asks it (KESTRAVA_DNS_SERVER).
class TestZone
{
public:
    TestZone() : m_silent(udpSocket())
    {
        const int probe = udpSocket();
        m_port = portOf(probe);
        ::close(probe);
        QStringList arguments = {u"--keep-in-foreground"_s, u"--no-resolv"_s, u"--no-hosts"_s,
                                 u"--listen-address=127.0.0.1"_s, u"--bind-interfaces"_s, u"--log-facility=-"_s,
                                 u"--port=%1"_s.arg(m_port), u"--pid-file="_s,
                                 u"--server=/slow.org/127.0.0.1#%1"_s.arg(portOf(m_silent)),
                                 u"--host-record=a-only.org,192.0.2.5"_s, u"--dns-rr=nullmx.org,15,000000"_s,
                                 u"--mx-host=gmial.com,mx.squat.net,10"_s};
        QSet<QString> suffixes = {u"org"_s};
        for (const char *domain : MailDomains::all()) {
            const QString name = QString::fromLatin1(domain);
            arguments << u"--mx-host="_s + name + u",mx."_s + name + u",10"_s;
            suffixes.insert(name.sliced(name.indexOf(u'.') + 1));
        }
        for (const QString &suffix : suffixes)
            arguments << u"--local=/"_s + suffix + u'/';
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(u"dnsmasq"_s, arguments);
        // It says when it listens.
        while (!m_log.contains("started") && m_server.waitForReadyRead(60'000))
            m_log += m_server.readAll();
        qputenv("KESTRAVA_DNS_SERVER", address());
    }
    ~TestZone()
    {
        qunsetenv("KESTRAVA_DNS_SERVER");
        m_server.kill();
        m_server.waitForFinished();
        ::close(m_silent);
    }
    bool isReady() const { return m_log.contains("started"); }
    QByteArray log() const { return m_log; }
    QByteArray address() const { return "127.0.0.1:" + QByteArray::number(m_port); }

private:
    // A socket on the loopback at a port of the system's choosing.
    static int udpSocket()
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        return fd;
    }
    static quint16 portOf(int fd)
    {
        sockaddr_in address {};
        socklen_t size = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
        return ntohs(address.sin_port);
    }

    int m_silent; // a server that never answers
    quint16 m_port = 0;
    QProcess m_server;
    QByteArray m_log;
};

