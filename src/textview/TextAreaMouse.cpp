// The text area and the mouse: clicks, double and triple clicks, dragging
// to select, dragging a selection to move or copy it, the wheel, drops and
// the context menu.
#include "textview/TextArea.h"

#include "core/LineBreaks.h"

#include <QApplication>
#include <QClipboard>
#include <QDrag>
#include <QDropEvent>
#include <QIcon>
#include <QInputMethod>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include <memory>

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

// Clicks ----------------------------------------------------------------------

void TextArea::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event->button());
    // A click ends a composition: what was composed is committed first.
    if (m_composition.position >= 0)
        QGuiApplication::inputMethod()->commit();
    const QPoint point = event->position().toPoint();
    const qsizetype position = positionAt(point);
    if (event->button() == Qt::MiddleButton && QGuiApplication::clipboard()->supportsSelection()) {
        moveCaret(position, false);
        pasteFrom(QClipboard::Selection);
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (m_tripleClick.isActive() && (point - m_tripleClickPoint).manhattanLength() < QApplication::startDragDistance()) {
        m_tripleClick.stop();
        selectFrom(Granularity::Lines, m_editor.lineWithBreak(position));
    } else if (shift) {
        // Extends the selection as the last double or triple click made it:
        // by words or lines.
        extendSelectionTo(position);
    } else if (isOnSelection(point)) {
        // Perhaps the start of dragging the selection away.
        m_pressPoint = point;
        m_pressedOnSelection = true;
        return;
    } else {
        m_granularity = Granularity::Characters;
        moveCaret(position, false, Reveal::Minimal);
    }
    m_dragging = true;
}

void TextArea::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressedOnSelection = false;
    const QPoint point = event->position().toPoint();
    selectFrom(Granularity::Words, m_editor.wordAround(positionAt(point, QTextLine::CursorOnCharacter)));
    m_dragging = true;
    m_tripleClick.start(QApplication::doubleClickInterval(), this);
    m_tripleClickPoint = point;
}

void TextArea::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const QPoint point = event->position().toPoint();
    if (m_pressedOnSelection) {
        if ((point - m_pressPoint).manhattanLength() >= QApplication::startDragDistance()) {
            m_pressedOnSelection = false;
            dragSelection();
        }
        return;
    }
    if (!m_dragging)
        return;
    m_dragPoint = point;
    extendSelectionTo(positionAt(point));
    if (viewport()->rect().contains(m_dragPoint))
        m_autoScroll.stop();
    else if (!m_autoScroll.isActive())
        m_autoScroll.start(50, this);
}

void TextArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // A click on the selection that dragged nothing puts the caret there;
    // Shift+click still extends as the selection was made.
    if (m_pressedOnSelection) {
        m_pressedOnSelection = false;
        moveCaret(positionAt(event->position().toPoint()), false, Reveal::Minimal);
    }
    m_dragging = false;
    m_autoScroll.stop();
    publishSelection();
}

void TextArea::autoScroll()
{
    const QRect view = viewport()->rect();
    if (m_dragPoint.y() < view.top())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    else if (m_dragPoint.y() > view.bottom())
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    if (m_dragPoint.x() < view.left())
        setScrollX(m_scrollX - 20);
    else if (m_dragPoint.x() > view.right())
        setScrollX(m_scrollX + 20);
    extendSelectionTo(positionAt(m_dragPoint));
}

// Selecting by words and lines --------------------------------------------------

// A double click selects a word and a triple click a line with its line
// break; dragging on extends the selection a whole word or line at a time.
void TextArea::selectFrom(Granularity granularity, std::pair<qsizetype, qsizetype> range)
{
    m_granularity = granularity;
    m_origin = range;
    m_editor.setAnchor(range.first);
    moveCaret(range.second, true, Reveal::Minimal);
    publishSelection();
}

void TextArea::extendSelectionTo(qsizetype position)
{
    if (m_granularity == Granularity::Characters) {
        moveCaret(position, true, Reveal::Minimal);
        return;
    }
    const auto unitAround = [&](qsizetype at) {
        return m_granularity == Granularity::Words ? m_editor.wordAround(at) : m_editor.lineWithBreak(at);
    };
    if (position < m_origin.first) {
        m_editor.setAnchor(m_origin.second);
        moveCaret(unitAround(position).first, true, Reveal::Minimal);
    } else if (position > m_origin.second) {
        m_editor.setAnchor(m_origin.first);
        moveCaret(unitAround(position - 1).second, true, Reveal::Minimal);
    } else {
        m_editor.setAnchor(m_origin.first);
        moveCaret(m_origin.second, true, Reveal::Minimal);
    }
}

// Whether a point lies on selected text (not on the empty room after a line).
bool TextArea::isOnSelection(const QPoint &point) const
{
    if (!hasSelection())
        return false;
    const qsizetype character = positionAt(point, QTextLine::CursorOnCharacter);
    const qsizetype line = m_buffer.lineOf(character);
    const double x = point.x() - contentOrigin().x();
    return character >= m_editor.selectionStart() && character < m_editor.selectionEnd()
           && x < m_geometry.lineWidth(line) && !isLineBreak(m_buffer.at(character));
}

void TextArea::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    const bool sideways = (event->modifiers() & Qt::ShiftModifier) || qAbs(delta.x()) > qAbs(delta.y());
    const double steps = double(sideways && delta.x() != 0 ? delta.x() : delta.y()) / 120 * QApplication::wheelScrollLines();
    if (sideways)
        setScrollX(m_scrollX - steps * 20);
    else
        verticalScrollBar()->setValue(verticalScrollBar()->value() - int(steps));
    event->accept();
}

// Dragging and dropping ---------------------------------------------------------

// The selection leaves as plain text, to this area or another program; moved
// elsewhere, it goes from here.
void TextArea::dragSelection()
{
    auto data = std::make_unique<QMimeData>();
    data->setText(forClipboard(selectedText()));
    m_dragSource = {m_editor.selectionStart(), m_editor.selectionEnd()};
    m_droppedHere = false;
    const Qt::DropAction action = m_dragRunner ? m_dragRunner(std::move(data)) : runDrag(std::move(data));
    const auto source = std::exchange(m_dragSource, {-1, -1});
    if (action == Qt::MoveAction && !m_droppedHere)
        edit([&] { return m_editor.replace(source.first, source.second - source.first, QString()); });
}

Qt::DropAction TextArea::runDrag(std::unique_ptr<QMimeData> data)
{
    auto *drag = new QDrag(this);
    drag->setMimeData(data.release());
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

// Local files, when the area takes files; nothing when anything else is among them.
QStringList TextArea::droppedFiles(const QMimeData *data) const
{
    if (!m_acceptsFiles || !data->hasUrls())
        return {};
    QStringList paths;
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}

QString TextArea::readerTextOf(const QMimeData &data) const
{
    for (const QString &type : m_readerTypes)
        if (data.hasFormat(type))
            return m_dataReader(type, data.data(type));
    return {};
}

QString TextArea::textOf(const QMimeData &data) const
{
    const QString read = readerTextOf(data);
    return !read.isNull() ? read : data.hasText() ? data.text() : QString();
}

bool TextArea::holdsText(const QMimeData &data) const
{
    return data.hasText() || std::any_of(m_readerTypes.begin(), m_readerTypes.end(), [&](const QString &type) {
               return data.hasFormat(type);
           });
}

// Text dragged from this area moves, or with Ctrl is copied; text from
// elsewhere is copied in.
Qt::DropAction TextArea::dropActionFor(const QDropEvent *event) const
{
    if (m_dragSource.first < 0)
        return event->proposedAction() == Qt::IgnoreAction ? Qt::CopyAction : event->proposedAction();
    return event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
}

void TextArea::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void TextArea::dragMoveEvent(QDragMoveEvent *event)
{
    if (!droppedFiles(event->mimeData()).isEmpty()) {
        // Files are read, never moved, whatever the source proposes.
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else if (holdsText(*event->mimeData())) {
        m_dropPosition = positionAt(event->position().toPoint());
        event->setDropAction(dropActionFor(event));
        event->accept();
        viewport()->update();
    }
}

void TextArea::dragLeaveEvent(QDragLeaveEvent *)
{
    m_dropPosition = -1;
    viewport()->update();
}

void TextArea::dropEvent(QDropEvent *event)
{
    m_dropPosition = -1;
    const QStringList files = droppedFiles(event->mimeData());
    if (!files.isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        QString alsoText;
        if (whileMemoryLasts([&] { alsoText = readerTextOf(*event->mimeData()); }))
            emit filesDropped(files, alsoText);
        return;
    }
    if (!holdsText(*event->mimeData()))
        return;
    const qsizetype position = positionAt(event->position().toPoint());
    const Qt::DropAction action = dropActionFor(event);
    const auto [start, end] = m_dragSource;
    m_droppedHere = start >= 0;
    if (start >= 0 && position >= start && position <= end) {
        // Dropped onto itself: nothing moves.
        event->setDropAction(Qt::IgnoreAction);
    } else if (start >= 0 && action == Qt::MoveAction) {
        moveText(start, end, position);
        event->setDropAction(Qt::MoveAction);
    } else {
        QString text;
        if (!whileMemoryLasts([&] { text = withCrLfLineBreaks(textOf(*event->mimeData())); }))
            return;
        edit([&] { return m_editor.replace(position, 0, text); });
        setSelection(position, position + text.size());
        event->setDropAction(Qt::CopyAction);
    }
    event->accept();
    viewport()->update();
}

// Moves the text between start and end to a place outside it, in one step
// that one undo takes back, and selects it there.
void TextArea::moveText(qsizetype start, qsizetype end, qsizetype to)
{
    TextEditor::Change change;
    edit([&] { return change = m_editor.moveText(start, end, to); });
    if (!change.isEmpty())
        setSelection(change.anchor, change.caret);
}

// The context menu ----------------------------------------------------------------

QMenu *TextArea::createContextMenu()
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // A menu shows no icon of its own: without one, its window is made
    // without turning the program's icon, in four sizes, into pixels.
    menu->setWindowIcon(QIcon());
    const QMimeData *clipboardData = QGuiApplication::clipboard()->mimeData();
    const bool hasText = clipboardData && !textOf(*clipboardData).isEmpty();
    // The entries run from the menu's events: running out of memory is
    // caught here.
    const auto add = [&](const QString &label, QKeySequence::StandardKey key, bool enabled, auto slot) {
        QAction *action = menu->addAction(label, this, [this, slot] { whileMemoryLasts([&] { (this->*slot)(); }); });
        action->setShortcut(QKeySequence(key));
        action->setEnabled(enabled);
        return action;
    };
    add(tr("&Undo"), QKeySequence::Undo, canUndo(), &TextArea::undo);
    add(tr("&Redo"), QKeySequence::Redo, canRedo(), &TextArea::redo);
    menu->addSeparator();
    add(tr("Cu&t"), QKeySequence::Cut, hasSelection(), &TextArea::cut);
    add(tr("&Copy"), QKeySequence::Copy, hasSelection(), &TextArea::copy);
    add(tr("&Paste"), QKeySequence::Paste, hasText, &TextArea::paste);
    add(tr("Delete"), QKeySequence::Delete, hasSelection(), &TextArea::deleteSelection);
    menu->addSeparator();
    add(tr("Select All"), QKeySequence::SelectAll, !m_buffer.isEmpty(), &TextArea::selectAll);
    return menu;
}

// What a menu needs the first time it shows (its fonts, the fonts that
// stand in for signs like the ellipsis, the style's caches) is
// made ready beforehand, while memory is plenty: the first menu then needs
// no more than later ones, whenever memory runs short.
void TextArea::prepareContextMenu()
{
    const std::unique_ptr<QMenu> menu(createContextMenu());
    menu->addAction(QStringLiteral("\u2026"));
    menu->ensurePolished();
    menu->sizeHint();
}

void TextArea::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu();
    emit contextMenuAboutToShow(menu);
    menu->popup(event->globalPos());
}

