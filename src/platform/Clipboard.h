#pragma once

#include "core/ClipboardService.h"

// The system clipboard through Qt. An attempt counts as placed when the
// clipboard gives the text back.
class Clipboard : public ClipboardService
{
public:
    bool placeText(const QString &text, int format) override;

    // The MIME type that stands for a numeric clipboard format.
    static QString mimeTypeFor(int format);
};
