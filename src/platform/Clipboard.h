#pragma once

#include "core/ClipboardService.h"

// The system clipboard through Qt. An attempt counts as placed when the
// clipboard gives the text back.
class Clipboard : public ClipboardService
{
public:
    // The MIME type that stands for a numeric clipboard format.
    static QString mimeTypeFor(int format);

protected:
    bool placeText(const QString &text, int format) override;
};
