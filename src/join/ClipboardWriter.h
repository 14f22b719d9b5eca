#pragma once

#include "core/ClipboardService.h"

#include <QString>

// Places the text on the clipboard, trying again at once while it is busy,
// 1000 attempts at most. Answers whether the last attempt succeeded; never
// raises a failure.
bool writeToClipboard(ClipboardService &clipboard, const QString &text, int format);
