#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <utility>

// Reads mail a line at a time for the recipients whose delivery failed for
// good: those a delivery status notification (a message/delivery-status
// part, at any depth of multipart parts and forwarded messages) reports
// with Action: failed and a 5.x.x status, by their original recipient
// where it is given, else their final one; and, in a message that reports
// none so, those of its X-Failed-Recipients fields. Delayed deliveries and
// 4.x.x statuses are no failures. Each address is found once.
class BounceReader
{
public:
    struct Failed
    {
        QString address;
        QString status;     // 5.1.1, or empty for X-Failed-Recipients
        QString diagnostic; // the server's words, if any
    };
    using Found = std::function<void(const Failed &failed)>;

    // In an mbox, a From line at a message's start begins the next.
    BounceReader(bool mbox, Found found) : m_mbox(mbox), m_found(std::move(found)) {}

    void feed(QStringView line);
    // The rest of a line too long to hold: no field of a report is so long.
    void feedMore(QStringView) {}
    bool passesOver(QByteArrayView) const { return false; }
    // The end of a message (and of a Maildir's file).
    void endMessage();
    void finish() { endMessage(); }

private:
    enum class Mode { Headers, Skip, Status };
    using Fields = QList<std::pair<QString, QString>>;

    void feedField(QStringView line, Fields &fields);
    bool takeBoundary(QStringView line);
    void endHeaders();
    void endStatusGroup();
    void found(const QString &address, const QString &status, const QString &diagnostic);

    const bool m_mbox;
    Found m_found;
    Mode m_mode = Mode::Headers;
    bool m_lineWasBlank = true;
    Fields m_fields;           // the header fields or status group being read
    QStringList m_boundaries;  // of the multipart parts open, innermost last
    QStringList m_xFailed;     // X-Failed-Recipients of this message
    bool m_reported = false;   // this message reported a failure in a status part
    QSet<QString> m_seen;      // addresses found, lower-cased
};
