#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The addresses and domains the user vouches for, of which advice says
// nothing: one to a line in ~/.config/kestrava/allow.txt and in the files
// --allow names, a # starting a comment (ann@x.org, x.org). Addresses are
// compared as addresses are, domains in their ASCII form.
class AllowedAddresses
{
public:
    // The program's: the user's own file, when there is one, read once.
    static AllowedAddresses &shared();
    // The user's own file.
    static QString userFile();

    // Adds a file's addresses and domains; raises a Failure when it cannot
    // be read (one that is not there is none, for the user's own).
    void addFile(const QString &path);
    void addLine(QStringView line);
    bool allows(QStringView address) const;
    bool isEmpty() const { return m_addresses.isEmpty() && m_domains.isEmpty(); }

private:
    QSet<QString> m_addresses; // as AddressCheck::key gives them
    QSet<QString> m_domains;   // lower case, ASCII
};
