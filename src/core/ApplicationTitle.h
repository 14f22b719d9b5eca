#pragma once

#include <QString>

// The title of untitled message boxes: the product title with its last word
// dropped, and further words dropped until it is at most 40 characters long.
QString applicationTitleFrom(const QString &productTitle);
