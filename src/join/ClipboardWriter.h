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

// Places the text on the clipboard, trying again at once while it is busy,
// 1000 attempts at most. Answers whether the last attempt succeeded; never
// raises a failure.
bool writeToClipboard(ClipboardService &clipboard, const QString &text, int format);
