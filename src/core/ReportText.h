#pragma once

#include <QString>

// Where a failure happened, one fixed text per reporting procedure.
namespace Qualifier {
inline const QString Form_Load = QStringLiteral("in Kestrava2021/08/31.Form1.Form_Load ");
inline const QString PushButton6_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton6_Click ");
inline const QString PushButton17_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton17_Click ");
inline const QString PushButton18_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton18_Click ");
inline const QString Text2_MouseDown = QStringLiteral("in Kestrava2021/08/31.Form1.Text2_MouseDown ");
inline const QString PushButton1_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton1_Click ");
inline const QString PushButton2_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton2_Click ");
inline const QString PushButton3_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton3_Click ");
inline const QString PushButton20_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton20_Click ");
inline const QString PushButton4_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton4_Click ");
inline const QString PushButton5_Click = QStringLiteral("in Kestrava2021/08/31.Form1.PushButton5_Click ");
} // namespace Qualifier

inline const QString errorReportTitle = QStringLiteral("Application Error");

// The text of the "Application Error" box: the description, then where the
// failure happened, then the appeal to send a screenshot to support.
QString composeReport(const QString &description, const QString &qualifier, int line);
