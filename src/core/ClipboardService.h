#pragma once

#include <QString>

// One attempt at placing a text on the system clipboard.
class ClipboardService
{
public:
    virtual ~ClipboardService() = default;
    // Places the text in plain-text form, or under a format derived from a
    // non-zero format code; answers false when the clipboard refused it.
    virtual bool placeText(const QString &text, int format) = 0;
};
