#pragma once

#include "core/WorkProgress.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>

// Asks the mail system whether domains take mail (RFC 5321 5.1): a domain
// with MX records does, unless its one MX is the null MX of RFC 7505; one
// without any does when it has an address (A or AAAA). A domain that does
// not exist takes none. A domain whose servers do not answer in time, or
// answer with a failure, is not known either way.
//
// The resolver is the system's (/etc/resolv.conf), or the one
// KESTRAVA_DNS_SERVER names (IP:PORT), for private resolvers and tests.
// Each domain is asked once; many are asked at a time, each query given so
// long before it counts as unanswered.
namespace DomainLookup {

enum class Answer { TakesMail, NoSuchDomain, NullMx, NoMailHost, Unknown };

// Why a domain that takes no mail takes none, in words: "no such domain".
QString reason(Answer answer);

struct Settings
{
    std::chrono::milliseconds timeout{2500}; // for each query, before one more try
    int tries = 2;
    int inFlight = 100; // queries at a time
    // Told now and then how many domains have answered, and of how many.
    std::function<void(qsizetype answered, qsizetype asked)> progress;
};

// The answer for each domain (in its ASCII form); how far it has come goes
// to progress, which may stop it (WorkCancelled). A resolver that cannot be
// set up raises a Failure.
QHash<QByteArray, Answer> lookUp(const QList<QByteArray> &domains, WorkProgress *progress = nullptr,
                                 const Settings &settings = {});

} // namespace DomainLookup
