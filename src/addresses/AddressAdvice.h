#pragma once

#include "addresses/DomainLookup.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

struct USpoofChecker;

// Advice on an address that passes every check and yet will likely never
// arrive, in plain words, as warnings beside the checks' errors:
// - a mistyped domain of a common mail service, with the address it most
//   likely meant ("did you mean ann@gmail.com?"), never applied by itself;
// - a top-level domain that does not exist (the public suffix list says
//   which do), with the likely one where a common one is a letter away;
// - a domain reserved for examples (example.com) or never delivered
//   (.invalid, .test, localhost);
// - letters of two scripts mixed in a name as look-alike names are made
//   (Cyrillic а in pаypal), as ICU's spoof checker finds them;
// - a domain that hands out throwaway addresses (mailinator.com);
// - a no-reply address (noreply@), which no one reads, and a role's
//   (postmaster@, info@), which reaches a job rather than a person.
// Of the addresses and domains the user vouches for (AllowedAddresses)
// nothing is said. Nothing is looked up on the network. What is found of a domain is kept,
// so that a list of many addresses at few domains is advised on quickly;
// one adviser serves one thread.
class AddressAdvice
{
public:
    // What kind of warning, for counting them.
    enum class Kind { None, Domain, NoReply, Role, Disposable, LookAlike };
    struct Advice
    {
        QString warning;    // empty: nothing to say
        QString suggestion; // the address as it was likely meant, when there is one
        Kind kind = Kind::None;
    };

    AddressAdvice();
    ~AddressAdvice();
    AddressAdvice(const AddressAdvice &) = delete;
    AddressAdvice &operator=(const AddressAdvice &) = delete;

    // What the mail system said of domains (DomainLookup): a domain that
    // takes mail is advised on only as a throwaway one; one that takes none
    // is told, with the address likely meant when a domain near it takes
    // mail; one not known, as without. The answers outlive the adviser's
    // use of them.
    using Answers = QHash<QByteArray, DomainLookup::Answer>;
    void setLookedUp(const Answers *answers);
    // The domains to ask about for an address: its own, in its ASCII form,
    // and those it might have been meant to be.
    static QList<QByteArray> domainsToAsk(QStringView address);

    // Advice on a line that AddressCheck accepts as an address.
    Advice on(QStringView line);
    // The same for such a line's address alone (local@domain), in UTF-8:
    // quick when its domain was met before and there is nothing to say.
    Advice onAddress(QByteArrayView address);
    Advice onAddress(QStringView address);

private:
    struct DomainAdvice
    {
        QString warning;
        QString domain; // the domain meant, when a suggestion is made
        bool disposable = false;
    };
    const DomainAdvice &adviceOnDomain(QByteArrayView domain);
    void makeRoom();
    size_t freePlace(quint64 hash) const;
    DomainAdvice findAdviceOnDomain(QStringView domain);
    DomainAdvice adviceFromMailSystem(const QByteArray &domain, DomainLookup::Answer answer) const;
    USpoofChecker *spoofChecker();
    QString lookAlikeIn(QStringView name, const QString &where);

    // The domains met, as written in UTF-8, one after the other, with what
    // was found of each; and a flat table of their places by hash, each
    // place the hash's high half and the domain's number plus one (0 for
    // none), looked into without a copy of the domain.
    QByteArray m_domainBytes;
    std::vector<std::pair<quint32, quint32>> m_domainSpans; // where each starts, and its size
    std::vector<DomainAdvice> m_domainAdvice;
    std::vector<quint64> m_places;
    size_t m_lastDomain = ~size_t(0); // the number of the domain met last

    const Answers *m_answers = nullptr;
    USpoofChecker *m_spoofChecker = nullptr;
    bool m_spoofCheckerFailed = false;
};
