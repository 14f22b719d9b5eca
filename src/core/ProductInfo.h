#pragma once

#include "Version.h"

#include <QString>

// The program's names and addresses, kept in one place.
namespace ProductInfo {

inline const QString productTitle = QStringLiteral("Kestrava E-mail List Joiner " KESTRAVA_VERSION);
inline const QString supportAddress = QStringLiteral("support@example.com");
inline const QString contactPage = QStringLiteral("https://www.example.com/kestrava/contact");
inline const QString homePage = QStringLiteral("https://www.example.com/kestrava/");

} // namespace ProductInfo
