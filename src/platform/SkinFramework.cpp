#include "platform/SkinFramework.h"

#include "core/Failure.h"
#include "core/StrictUtf8.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace {
constexpr auto baseStyleName = "Fusion";
}

void SkinFramework::loadSkin(const QString &path, const QString &iniFileName)
{
    Q_UNUSED(iniFileName);
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (file.error() != QFileDevice::NoError)
        throw Failure(QStringLiteral("Cannot read the skin file %1: %2").arg(path, file.errorString()));
    const std::optional<QString> sheet = decodeStrictUtf8(bytes);
    if (!sheet)
        throw Failure(QStringLiteral("The skin file %1 is not UTF-8 text").arg(path));
    // Skins written before the text areas had a class of their own name
    // them QPlainTextEdit; that name styles them still.
    static const QRegularExpression oldTextBox(QStringLiteral("\\bQPlainTextEdit\\b"));
    m_styleSheet = QString(*sheet).replace(oldTextBox, QStringLiteral("TextArea"));
}

void SkinFramework::applyTo(QWidget *window)
{
    if (!(m_options & ApplyToWindow) || !window)
        return;
    if (m_useBaseStyle && QApplication::style()->name().compare(QLatin1String(baseStyleName), Qt::CaseInsensitive) != 0)
        QApplication::setStyle(QStyleFactory::create(QLatin1String(baseStyleName)));
    window->setStyleSheet(m_styleSheet);
    if (m_skinDialogs)
        qApp->setStyleSheet(m_styleSheet);
}
