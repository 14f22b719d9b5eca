#include "core/ClipboardService.h"

bool ClipboardService::write(const QString &text, int format)
{
    constexpr int maximumAttempts = 1000;
    bool placed = false;
    int attempts = 0;
    do {
        try {
            placed = placeText(text, format);
        } catch (...) {
            placed = false;
        }
        ++attempts;
    } while (!placed && attempts < maximumAttempts);
    return placed;
}
