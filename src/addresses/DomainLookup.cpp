#include "addresses/DomainLookup.h"

#include "core/Failure.h"

#include <ares.h>
#include <poll.h>
#include <arpa/nameser.h>

#include <deque>
#include <memory>

namespace DomainLookup {

namespace {

// One resolver, set up for the run and torn down after it.
class Channel
{
public:
    explicit Channel(const Settings &settings)
    {
        if (const int status = ares_library_init(ARES_LIB_INIT_ALL); status != ARES_SUCCESS)
            throw Failure(QStringLiteral("cannot set up the resolver: %1").arg(QString::fromUtf8(ares_strerror(status))));
        ares_options options {};
        options.timeout = int(settings.timeout.count());
        options.tries = settings.tries;
        if (const int status = ares_init_options(&m_channel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
            status != ARES_SUCCESS) {
            ares_library_cleanup();
            throw Failure(QStringLiteral("cannot set up the resolver: %1").arg(QString::fromUtf8(ares_strerror(status))));
        }
        const QByteArray server = qgetenv("KESTRAVA_DNS_SERVER");
        if (!server.isEmpty() && ares_set_servers_ports_csv(m_channel, server.constData()) != ARES_SUCCESS) {
            close();
            throw Failure(QStringLiteral("KESTRAVA_DNS_SERVER: %1 is no IP:PORT").arg(QString::fromLocal8Bit(server)));
        }
    }
    ~Channel() { close(); }
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    ares_channel get() const { return m_channel; }

    // Waits for the resolver's sockets, and lets it handle what came (and
    // what timed out). poll, unlike select, takes sockets of any number.
    void process()
    {
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(m_channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd polled[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const short events = short((ARES_GETSOCK_READABLE(bits, i) ? POLLIN : 0)
                                       | (ARES_GETSOCK_WRITABLE(bits, i) ? POLLOUT : 0));
            if (events != 0)
                polled[count++] = {sockets[i], events, 0};
        }
        timeval longest{0, 100'000};
        timeval wait {};
        const timeval *until = ares_timeout(m_channel, &longest, &wait);
        ::poll(polled, count, int(until->tv_sec * 1000 + until->tv_usec / 1000));
        for (nfds_t i = 0; i < count; ++i) {
            const bool readable = polled[i].revents & (POLLIN | POLLERR | POLLHUP);
            const bool writable = polled[i].revents & (POLLOUT | POLLERR);
            ares_process_fd(m_channel, readable ? polled[i].fd : ARES_SOCKET_BAD, writable ? polled[i].fd : ARES_SOCKET_BAD);
        }
        // Timeouts are handled when no socket has anything.
        ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
    }

private:
    void close()
    {
        if (m_channel)
            ares_destroy(std::exchange(m_channel, nullptr));
        ares_library_cleanup();
    }

    ares_channel m_channel = nullptr;
};

// The domains asked about, and what came back.
class Asking
{
public:
    Asking(Channel &channel, QHash<QByteArray, Answer> &answers) : m_channel(channel), m_answers(answers) {}

    void ask(const QByteArray &domain, int type)
    {
        auto *query = new Query{this, domain, type};
        ++m_pending;
        ares_query(m_channel.get(), domain.constData(), ns_c_in, type, &Asking::answered, query);
    }
    int pending() const { return m_pending; }

private:
    struct Query
    {
        Asking *asking;
        QByteArray domain;
        int type;
    };

    static void answered(void *argument, int status, int, unsigned char *bytes, int length)
    {
        const std::unique_ptr<Query> query(static_cast<Query *>(argument));
        Asking &asking = *query->asking;
        --asking.m_pending;
        if (status == ARES_EDESTRUCTION)
            return;
        if (query->type == ns_t_mx)
            asking.takeMx(query->domain, status, bytes, length);
        else
            asking.takeAddress(query->domain, status);
    }

    void takeMx(const QByteArray &domain, int status, unsigned char *bytes, int length)
    {
        if (status == ARES_ENOTFOUND) {
            m_answers[domain] = Answer::NoSuchDomain;
            return;
        }
        if (status == ARES_ENODATA) {
            // No MX: the domain's own address takes mail, if it has one.
            m_answers[domain] = Answer::NoMailHost;
            ask(domain, ns_t_a);
            ask(domain, ns_t_aaaa);
            return;
        }
        ares_mx_reply *records = nullptr;
        if (status != ARES_SUCCESS || ares_parse_mx_reply(bytes, length, &records) != ARES_SUCCESS) {
            m_answers[domain] = Answer::Unknown;
            return;
        }
        const bool nullMx = records && !records->next && records->priority == 0
                            && (records->host[0] == '\0' || (records->host[0] == '.' && records->host[1] == '\0'));
        ares_free_data(records);
        m_answers[domain] = nullMx ? Answer::NullMx : Answer::TakesMail;
    }

    // Either address takes mail; without an answer to one, and none from
    // the other, it is not known.
    void takeAddress(const QByteArray &domain, int status)
    {
        if (status == ARES_SUCCESS)
            m_answers[domain] = Answer::TakesMail;
        else if (status != ARES_ENODATA && status != ARES_ENOTFOUND && m_answers[domain] == Answer::NoMailHost)
            m_answers[domain] = Answer::Unknown;
    }

    Channel &m_channel;
    QHash<QByteArray, Answer> &m_answers;
    int m_pending = 0;
};

} // namespace

QString reason(Answer answer)
{
    switch (answer) {
    case Answer::NoSuchDomain:
        return QStringLiteral("no such domain");
    case Answer::NullMx:
        return QStringLiteral("it refuses all mail");
    case Answer::NoMailHost:
        return QStringLiteral("no mail server");
    case Answer::TakesMail:
    case Answer::Unknown:
        break;
    }
    return {};
}

QHash<QByteArray, Answer> lookUp(const QList<QByteArray> &domains, WorkProgress *progress, const Settings &settings)
{
    QHash<QByteArray, Answer> answers;
    if (domains.isEmpty())
        return answers;
    Channel channel(settings);
    Asking asking(channel, answers);
    qsizetype next = 0;
    while (next < domains.size() || asking.pending() > 0) {
        while (next < domains.size() && asking.pending() < settings.inFlight) {
            const QByteArray &domain = domains[next++];
            if (!answers.contains(domain))
                asking.ask(domain, ns_t_mx);
        }
        channel.process();
        if (settings.progress)
            settings.progress(next - qMin<qsizetype>(next, asking.pending()), domains.size());
        if (progress) {
            if (progress->cancelled)
                throw WorkCancelled{};
            progress->permille = int(1000 * (next - qMin<qsizetype>(next, asking.pending())) / domains.size());
        }
    }
    return answers;
}

} // namespace DomainLookup
