#include "platform/CursorFile.h"

#include "core/Failure.h"
#include "core/FileAccess.h"

#include <QBuffer>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

std::optional<QPoint> cursorHotSpot(const QByteArray &header)
{
    // A 6-byte directory header (reserved 0, type 2, image count), then one
    // 16-byte entry per image; the entry's bytes 4 to 7 hold the hot spot.
    constexpr qsizetype needed = 6 + 16;
    if (header.size() < needed)
        return std::nullopt;
    const auto *bytes = reinterpret_cast<const uchar *>(header.constData());
    if (qFromLittleEndian<quint16>(bytes) != 0 || qFromLittleEndian<quint16>(bytes + 2) != 2
        || qFromLittleEndian<quint16>(bytes + 4) == 0)
        return std::nullopt;
    return QPoint(qFromLittleEndian<quint16>(bytes + 10), qFromLittleEndian<quint16>(bytes + 12));
}

QCursor loadCursorFile(const QString &path)
{
    std::optional<QByteArray> bytes = readOrdinaryFile(path);
    if (!bytes)
        throw Failure(QStringLiteral("File not found"));
    const std::optional<QPoint> hotSpot = cursorHotSpot(bytes->left(6 + 16));
    QBuffer buffer(&*bytes);
    QImageReader reader(&buffer);
    const QImage image = reader.read();
    if (!hotSpot || image.isNull())
        throw Failure(QStringLiteral("%1 is not a loadable cursor: %2")
                          .arg(path, image.isNull() ? reader.errorString() : QStringLiteral("no cursor header")));
    return QCursor(QPixmap::fromImage(image), hotSpot->x(), hotSpot->y());
}
