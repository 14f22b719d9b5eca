// The text area as a view: its text, what shows of it, and scrolling.
#include "textview/TextArea.h"

#include "core/LineBreaks.h"

#include "textview/TextAreaAccessible.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QInputMethod>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyleHints>
#include <QTextLayout>
#include <QTimer>

#include <cmath>

namespace {

// Draws the area's frame once more above its scroll bars: at fractional
// scales (144 dpi, say) Qt rounds the bars' places so that they cover the
// frame's right and bottom lines.
class FrameOnTop : public QWidget
{
public:
    explicit FrameOnTop(TextArea *area) : QWidget(area), m_area(area)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_area->drawFrameOn(painter);
    }

private:
    TextArea *m_area;
};

// The space between the frame and the text, as classic edit boxes leave it.
constexpr int margin = 4;
// Coordinates handed to Qt stay far inside what its 26.6 fixed point holds.
constexpr double coordinateLimit = 1 << 24;

} // namespace

TextArea::TextArea(QWidget *parent) : QAbstractScrollArea(parent)
{
    installTextAreaAccessibility();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled);
    setAttribute(Qt::WA_KeyCompression);
    viewport()->setAcceptDrops(true);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setMouseTracking(true);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    useDesktopColours();
    // The corner between the scroll bars in the desktop's colour too.
    auto *corner = new QWidget(this);
    corner->setAutoFillBackground(true);
    setCornerWidget(corner);
    m_frameOnTop = new FrameOnTop(this);
    m_frameOnTop->raise();
    m_geometry.setFont(font());
    updateScrollBars();
}

TextArea::~TextArea() = default;

QString TextArea::text() const
{
    return m_buffer.text();
}

void TextArea::setText(const QString &text)
{
    const QString oldStart = m_buffer.mid(0, qMin<qsizetype>(m_buffer.size(), 1000));
    // Whatever an input method was composing goes with the old text.
    if (m_composition.position >= 0) {
        m_composition = {};
        QGuiApplication::inputMethod()->reset();
    }
    ++m_revision;
    m_editor.setText(text); // may run out of memory, and leaves the area empty then
    m_scrollX = 0;
    verticalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
    TextAreaAccessibility::textChanged(this, 0, oldStart, m_buffer.mid(0, qMin<qsizetype>(m_buffer.size(), 1000)));
    emit textChanged();
}

// Appending is the program's own filling of the area, like setText: it
// cannot be undone, and the history goes.
void TextArea::appendText(const QString &text)
{
    if (m_buffer.isEmpty()) {
        setText(text);
        return;
    }
    const TextEditor::Change change = m_editor.append(text);
    ++m_revision;
    updateScrollBars();
    viewport()->update();
    TextAreaAccessibility::textChanged(this, change.position, QString(), change.inserted);
    emit textChanged();
}

void TextArea::replaceText(const QString &text)
{
    showWholeChange(m_editor.replaceAll(text));
}

void TextArea::NewText::setLines(const QList<QStringView> &lines)
{
    m_buffer.setLines(lines, [this](qsizetype line, QStringView text) { m_widths.add(line, text); });
}

void TextArea::NewText::setLines(const QList<QStringView> &lines, LineChoice choice)
{
    setLines(lines);
    m_choice = std::make_shared<const LineChoice>(std::move(choice));
}

void TextArea::NewText::setText(const QString &text)
{
    m_buffer.setText(text, m_widths);
}

void TextArea::replaceText(NewText &&text)
{
    showWholeChange(m_editor.replaceAll(std::move(text.m_buffer), std::move(text.m_widths), std::move(text.m_choice)));
}

// Whatever an input method was composing goes with the old text.
void TextArea::showWholeChange(const TextEditor::Change &change)
{
    if (change.isEmpty())
        return;
    if (m_composition.position >= 0) {
        m_composition = {};
        QGuiApplication::inputMethod()->reset();
    }
    showChange(change);
}

TextArea::Step::Step(TextArea &area) : m_area(area)
{
    m_area.m_editor.beginStep();
}

TextArea::Step::~Step()
{
    m_area.m_editor.endStep();
}

void TextArea::setSelection(qsizetype anchor, qsizetype caret)
{
    m_editor.setAnchor(anchor);
    moveCaret(caret, true);
}

void TextArea::selectAll()
{
    m_editor.setAnchor(0);
    moveCaret(m_buffer.size(), true);
    publishSelection();
}

QString TextArea::textRange(qsizetype start, qsizetype end) const
{
    start = qBound<qsizetype>(0, start, m_buffer.size());
    end = qBound(start, end, m_buffer.size());
    return m_buffer.mid(start, end - start);
}

QString TextArea::textBetweenOffsets(qsizetype startOffset, qsizetype endOffset) const
{
    const qsizetype start = positionOfOffset(startOffset);
    return withLfLineBreaks(textRange(start, qMax(start, positionOfOffset(endOffset))));
}

void TextArea::replaceRange(qsizetype start, qsizetype end, const QString &text)
{
    start = qBound<qsizetype>(0, start, m_buffer.size());
    end = qBound(start, end, m_buffer.size());
    const qsizetype from = m_editor.whole(start, false);
    edit([&] { return m_editor.replace(from, m_editor.whole(end, true) - from, text); });
}

QString TextArea::textAround(qsizetype position, qsizetype *start) const
{
    constexpr qsizetype reach = 512;
    const qsizetype line = m_buffer.lineOf(position);
    *start = qMax(m_buffer.lineStart(line), position - reach);
    return textRange(*start, qMin(m_buffer.lineEnd(line), position + reach));
}

// Geometry ------------------------------------------------------------------

int TextArea::visibleLines() const
{
    return qMax(1, (viewport()->height() - margin) / m_geometry.lineHeight());
}

qsizetype TextArea::firstVisibleLine() const
{
    return verticalScrollBar()->value();
}

QPointF TextArea::contentOrigin() const
{
    return QPointF(margin - m_scrollX, margin);
}

// Where the caret shows: inside what an input method composes, while it does.
double TextArea::caretX() const
{
    const qsizetype caret = m_editor.caret();
    if (m_composition.position < 0)
        return m_editor.xOf(caret);
    const qsizetype line = m_buffer.lineOf(caret);
    return m_geometry.layOut(m_geometry.chunkAt(line, caret), &m_composition)->compositionCursorX();
}

qsizetype TextArea::positionAt(const QPoint &point, QTextLine::CursorPosition mode) const
{
    const qsizetype line = firstVisibleLine() + qFloor(double(point.y() - margin) / m_geometry.lineHeight());
    return m_editor.positionInLine(qBound<qsizetype>(0, line, lineCount() - 1), point.x() - margin + m_scrollX, mode);
}

QRect TextArea::caretRect() const
{
    return rectAtX(m_editor.caret(), caretX());
}

QRect TextArea::caretRectAt(qsizetype position) const
{
    return rectAtX(position, m_editor.xOf(position));
}

QRect TextArea::rectAtX(qsizetype position, double x) const
{
    const qsizetype line = m_buffer.lineOf(position);
    x = qBound(-coordinateLimit, margin + x - m_scrollX, coordinateLimit);
    const double y = qBound(-coordinateLimit, double(margin + (line - firstVisibleLine()) * m_geometry.lineHeight()),
                            coordinateLimit);
    return QRect(int(std::round(x)), int(y), 1, m_geometry.lineHeight());
}

// Scrolling -----------------------------------------------------------------

// The horizontal bar counts in units of m_xScale pixels, so that a line
// wider than an int can count still scrolls to its end.
void TextArea::updateScrollBars()
{
    const int height = viewport()->height();
    const qsizetype fullLines = qMax(1, (height - margin) / m_geometry.lineHeight());
    QScrollBar *vertical = verticalScrollBar();
    vertical->setRange(0, int(qMin<qsizetype>(INT_MAX, qMax<qsizetype>(0, lineCount() - fullLines))));
    vertical->setPageStep(int(fullLines));
    vertical->setSingleStep(1);

    const double content = m_geometry.widestLine() + 2 * margin + 1;
    const double hidden = qMax(0.0, content - viewport()->width());
    m_xScale = qMax(1.0, std::ceil(hidden / (INT_MAX / 2)));
    QScrollBar *horizontal = horizontalScrollBar();
    const QSignalBlocker blocker(horizontal);
    horizontal->setRange(0, int(std::ceil(hidden / m_xScale)));
    horizontal->setPageStep(qMax(1, int(viewport()->width() / m_xScale)));
    horizontal->setSingleStep(qMax(1, int(20 / m_xScale)));
    setScrollX(m_scrollX);
    if (m_geometry.hasEstimates() && !m_measuring.isActive())
        m_measuring.start(0, this);
}

// Lays out, a little at a time while nothing else happens, the chunks of
// long lines whose widths are still estimates; the text in view stays where
// it is meanwhile.
void TextArea::measureEstimates()
{
    const qsizetype caretLine = m_buffer.lineOf(m_editor.caret());
    const qsizetype first = firstVisibleLine();
    const qsizetype line = caretLine >= first && caretLine < first + visibleLines() ? caretLine : first;
    const qsizetype anchor = m_editor.positionInLine(line, m_scrollX);
    const double offset = m_editor.xOf(anchor) - m_scrollX;
    if (!m_geometry.measureEstimates(16))
        m_measuring.stop();
    updateScrollBars();
    setScrollX(m_editor.xOf(anchor) - offset);
}

void TextArea::setScrollX(double x)
{
    const double hidden = horizontalScrollBar()->maximum() * m_xScale;
    m_scrollX = qBound(0.0, x, hidden);
    const QSignalBlocker blocker(horizontalScrollBar());
    horizontalScrollBar()->setValue(int(std::round(m_scrollX / m_xScale)));
    viewport()->update();
}

// The scroll bar's value is the truth whenever it no longer matches: the
// dx given here counts from where the bar last moved by its own signal, not
// from where the caret last put the view.
void TextArea::scrollContentsBy(int dx, int dy)
{
    Q_UNUSED(dx);
    Q_UNUSED(dy);
    if (std::round(m_scrollX / m_xScale) != horizontalScrollBar()->value())
        m_scrollX = horizontalScrollBar()->value() * m_xScale;
    viewport()->update();
}

// Scrolls only when the caret is drawn outside the viewport. Keys jump the
// view a quarter of its width past the caret, so that typing at the edge does
// not scroll at every character; the mouse scrolls no more than it must, so
// that the text does not move away under the pointer.
void TextArea::ensureCaretVisible(Reveal reveal)
{
    const qsizetype line = m_buffer.lineOf(m_editor.caret());
    QScrollBar *vertical = verticalScrollBar();
    const int fullLines = qMax(1, (viewport()->height() - margin) / m_geometry.lineHeight());
    if (line < vertical->value())
        vertical->setValue(int(line));
    else if (line >= vertical->value() + fullLines)
        vertical->setValue(int(line - fullLines + 1));

    // Finding where the caret stands may measure its line anew (a tab, or
    // shaped text, wider than its estimate): the range follows.
    const double x = caretX();
    updateScrollBars();
    const double shownFrom = m_scrollX - margin;
    const double shownTo = shownFrom + viewport()->width() - 1;
    const double textWidth = viewport()->width() - 2 * margin - 1;
    if (x < shownFrom)
        setScrollX(reveal == Reveal::Jump ? x - textWidth / 4 : x);
    else if (x > shownTo)
        setScrollX(reveal == Reveal::Jump ? x - textWidth * 3 / 4 : x - textWidth);
}

void TextArea::drawFrameOn(QPainter &painter)
{
    drawFrame(&painter);
}

void TextArea::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_frameOnTop->setGeometry(rect());
    m_frameOnTop->raise();
    updateScrollBars();
}

// The desktop's colours, not those of the window around: the text and the
// scroll bars look as the desktop's own do.
void TextArea::useDesktopColours()
{
    // Every role set on its own, so that none comes from the window around.
    const QPalette desktop = QGuiApplication::palette();
    QPalette colours;
    for (int group = 0; group < QPalette::NColorGroups; ++group)
        for (int role = 0; role < QPalette::NColorRoles; ++role)
            if (role != QPalette::NoRole)
                colours.setBrush(QPalette::ColorGroup(group), QPalette::ColorRole(role),
                                 desktop.brush(QPalette::ColorGroup(group), QPalette::ColorRole(role)));
    setPalette(colours);
}

void TextArea::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        useDesktopColours();
    if (event->type() == QEvent::FontChange) {
        m_geometry.setFont(font());
        updateScrollBars();
        viewport()->update();
    }
    QAbstractScrollArea::changeEvent(event);
}

// A text area has colours of its own, so the desktop's new ones reach only
// its window: the area watches the window it shows in for them.
void TextArea::showEvent(QShowEvent *event)
{
    if (window() != this)
        window()->installEventFilter(this);
    QAbstractScrollArea::showEvent(event);
}

bool TextArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window() && event->type() == QEvent::ApplicationPaletteChange)
        useDesktopColours();
    return QAbstractScrollArea::eventFilter(watched, event);
}

// Painting ------------------------------------------------------------------

void TextArea::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int lineHeight = m_geometry.lineHeight();
    const qsizetype first = firstVisibleLine();
    for (qsizetype line = first; line < lineCount(); ++line) {
        const double y = margin + double(line - first) * lineHeight;
        if (y >= area.bottom() + 1)
            break;
        if (y + lineHeight > area.top())
            paintLine(painter, line, y, area);
    }

    const QRect caret = caretRect();
    if (hasFocus() && m_caretShown && caret.intersects(area))
        painter.fillRect(caret, palette().color(QPalette::Text));
    // Where dragged text would land.
    if (m_dropPosition >= 0)
        painter.fillRect(caretRectAt(m_dropPosition), palette().color(QPalette::Text));
}

void TextArea::paintLine(QPainter &painter, qsizetype line, double y, const QRect &area)
{
    const double left = m_scrollX + area.left() - margin;
    const double right = m_scrollX + area.right() + 1 - margin;
    const qsizetype selectionStart = m_editor.selectionStart();
    const qsizetype selectionEnd = m_editor.selectionEnd();
    QTextCharFormat selected;
    selected.setBackground(palette().brush(QPalette::Highlight));
    selected.setForeground(palette().brush(QPalette::HighlightedText));
    painter.setPen(palette().color(QPalette::Text));
    // What an input method composes shows inside the caret's chunk and
    // pushes what lies right of it further right.
    const bool composing = m_composition.position >= 0 && m_buffer.lineOf(m_editor.caret()) == line;
    const LineGeometry::Chunk caretChunk = composing ? m_geometry.chunkAt(line, m_editor.caret()) : LineGeometry::Chunk();
    double pushed = 0;
    // Where the line ends as drawn: its width as measured, when its last
    // chunk shows.
    double lineEnd = m_geometry.lineWidth(line);
    for (const LineGeometry::Chunk &chunk : m_geometry.chunksBetween(line, left, right)) {
        const bool holdsComposition = composing && chunk.start == caretChunk.start;
        const auto layout = m_geometry.layOut(chunk, holdsComposition ? &m_composition : nullptr);
        if (holdsComposition) {
            pushed = layout->width() - chunk.width;
        } else if (const double change = layout->width() - chunk.width; m_geometry.measured(line, chunk, *layout)) {
            // A width that came out different from its estimate moves what
            // lies right of it: the view keeps its place, and draws again.
            if (chunk.x < m_scrollX)
                setScrollX(m_scrollX + change);
            QTimer::singleShot(0, this, &TextArea::updateScrollBars);
            viewport()->update();
        }
        const double shift = composing && chunk.x > caretChunk.x ? pushed : 0;
        layout->draw(painter, QPointF(margin - m_scrollX + shift, y), selectionStart, selectionEnd, selected);
        if (chunk.x + chunk.width >= lineEnd - 0.5)
            lineEnd = chunk.x + shift + layout->width();
    }
    // A selected line break shows as a space's width after the line.
    if (selectionStart <= m_buffer.lineEnd(line) && selectionEnd > m_buffer.lineEnd(line)) {
        const double x = margin - m_scrollX + lineEnd;
        painter.fillRect(QRectF(x, y, m_geometry.spaceWidth(), m_geometry.lineHeight()), selected.background());
    }
}

// Caret and accessibility -----------------------------------------------------

void TextArea::restartBlinking()
{
    m_caretShown = true;
    const int flash = QGuiApplication::styleHints()->cursorFlashTime();
    if (hasFocus() && flash > 0)
        m_blink.start(flash / 2, this);
    else
        m_blink.stop();
    viewport()->update();
}

void TextArea::timerEvent(QTimerEvent *event)
{
    if (event->timerId() == m_blink.timerId()) {
        m_caretShown = !m_caretShown;
        viewport()->update(caretRect());
    } else if (event->timerId() == m_autoScroll.timerId()) {
        autoScroll();
    } else if (event->timerId() == m_measuring.timerId()) {
        measureEstimates();
    } else if (event->timerId() == m_tripleClick.timerId()) {
        m_tripleClick.stop();
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void TextArea::focusInEvent(QFocusEvent *event)
{
    restartBlinking();
    QAbstractScrollArea::focusInEvent(event);
}

void TextArea::focusOutEvent(QFocusEvent *event)
{
    m_blink.stop();
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

