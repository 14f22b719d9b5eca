#include "join/ClipboardWriter.h"

bool writeToClipboard(ClipboardService &clipboard, const QString &text, int format)
{
    constexpr int maximumAttempts = 1000;
    bool placed = false;
    int attempts = 0;
    do {
        try {
            placed = clipboard.placeText(text, format);
        } catch (...) {
            placed = false;
        }
        ++attempts;
    } while (!placed && attempts < maximumAttempts);
    return placed;
}
