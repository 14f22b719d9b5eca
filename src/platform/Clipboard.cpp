#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

bool Clipboard::placeText(const QString &text, int format)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (format == 0) {
        clipboard->setText(text);
        return clipboard->text() == text;
    }
    auto *data = new QMimeData;
    const QByteArray bytes = text.toUtf8();
    data->setData(mimeTypeFor(format), bytes);
    clipboard->setMimeData(data);
    const QMimeData *placed = clipboard->mimeData();
    return placed && placed->data(mimeTypeFor(format)) == bytes;
}

QString Clipboard::mimeTypeFor(int format)
{
    return QStringLiteral("application/x-clipboard-format-%1").arg(format);
}
