#pragma once

#include <QColor>

// How far apart two colours stand in lightness: 1 for the same, 21 for black
// on white, as the web's accessibility guidelines measure it.
double contrastRatio(const QColor &a, const QColor &b);

// The preferred text colour where it reads well on the background (a ratio
// of 4.5 or more), otherwise black or white, whichever reads better.
QColor readableText(const QColor &preferred, const QColor &background);
