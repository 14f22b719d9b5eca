#pragma once

#include <QString>
#include <QStringView>

// What stands between the items of the joined line: the comma of old, or
// what a mail program takes instead.
namespace Separators {

enum class Kind { Comma, Semicolon, CommaAndSpace, OnePerLine };

// What is put between two items.
inline QStringView text(Kind kind)
{
    switch (kind) {
    case Kind::Semicolon:
        return u";";
    case Kind::CommaAndSpace:
        return u", ";
    case Kind::OnePerLine:
        return u"\r\n";
    case Kind::Comma:
        break;
    }
    return u",";
}

// The sign the recipients of such a line lie between.
inline char16_t cut(Kind kind)
{
    return kind == Kind::Semicolon ? u';' : kind == Kind::OnePerLine ? u'\n' : u',';
}

// How a choice is remembered, and read back; anything else is the comma.
inline QString name(Kind kind)
{
    switch (kind) {
    case Kind::Semicolon:
        return QStringLiteral("semicolon");
    case Kind::CommaAndSpace:
        return QStringLiteral("comma-and-space");
    case Kind::OnePerLine:
        return QStringLiteral("one-per-line");
    case Kind::Comma:
        break;
    }
    return QStringLiteral("comma");
}

inline Kind named(QStringView name)
{
    for (const Kind kind : {Kind::Semicolon, Kind::CommaAndSpace, Kind::OnePerLine})
        if (name == Separators::name(kind))
            return kind;
    return Kind::Comma;
}

} // namespace Separators
