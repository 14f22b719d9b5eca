#pragma once

#include <QString>

// The system clipboard, the one way the window writes to it.
class ClipboardService
{
public:
    virtual ~ClipboardService() = default;

    // Places the text in plain-text form, or under a format derived from a
    // non-zero format code, trying again at once while the clipboard is
    // busy, 1000 attempts at most. Answers whether the last attempt
    // succeeded; never raises a failure.
    bool write(const QString &text, int format = 0);

protected:
    // One attempt; false when the clipboard refused it.
    virtual bool placeText(const QString &text, int format) = 0;
};
