#include "platform/Frame.h"

#include <QPainter>

namespace {

constexpr int captionIndent = 8;
constexpr int captionPadding = 2;

} // namespace

Frame::Frame(const QString &caption, QWidget *parent) : QGroupBox(caption, parent) {}

void Frame::paintEvent(QPaintEvent *event)
{
    if (testAttribute(Qt::WA_StyleSheetTarget)) {
        QGroupBox::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics metrics(font());
    const QRectF border = QRectF(rect()).adjusted(0.5, metrics.height() / 2 + 0.5, -0.5, -0.5);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRoundedRect(border, 2, 2);

    const QRect caption(captionIndent, 0, metrics.horizontalAdvance(title()) + 2 * captionPadding, metrics.height());
    painter.fillRect(caption, palette().brush(backgroundRole()));
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(caption, Qt::AlignCenter, title());
}
