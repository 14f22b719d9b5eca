#pragma once

#include <QString>
#include <QStringList>

// mailto: links (RFC 6068) that open a message to recipients, for the
// desktop's mail composer: mailto:?bcc=ann%40x.org,... with each recipient
// percent-encoded in UTF-8, names, quotes and commas inside them and
// letters of any script kept. A program's argument holds at most 131,071
// bytes, so recipients that would make a longer link go into as many links
// as they need, none longer, each recipient whole in one.
namespace MailtoLinks {

enum class Field { Bcc, To };

constexpr qsizetype longestArgument = 131'071;

// What every batch's message carries besides its recipients: an address in
// To (the sender's own, commonly), a subject and a body, each optional.
struct Message
{
    QString to;
    QString subject;
    QString body;
};

// The links for the recipients; a recipient that alone would make a longer
// link gets one of its own all the same. Each link carries the message:
// mailto:ME?bcc=...&subject=...&body=..., its body's line breaks as CR LF,
// counted in the link's length.
QStringList of(const QStringList &recipients, Field field, qsizetype longest = longestArgument,
               const Message &message = {});

// How many of the list's recipients one of those links holds: commas
// inside a recipient are encoded, so each comma separates two.
qsizetype recipientsIn(const QString &link);

} // namespace MailtoLinks
