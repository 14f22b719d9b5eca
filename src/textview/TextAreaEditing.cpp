// The text area as an editor: keys, the clipboard, undo and redo.
#include "textview/TextArea.h"

#include "core/LineBreaks.h"
#include "textview/TextAreaAccessible.h"
#include "textview/Words.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextLayout>
#include <QUrl>

#include <algorithm>

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// Whether a key's text is typed into the area: printable characters in any
// plane, private-use characters and format characters such as ZWNJ, ZWJ and
// the direction marks. Ctrl with a letter is a command, not text, though
// AltGr (which some desktops report as Ctrl+Alt) still types.
bool isTypedText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const char32_t first = text.size() > 1 && QChar::isSurrogate(text[0].unicode())
                               ? QChar::surrogateToUcs4(text[0], text[1])
                               : text[0].unicode();
    const QChar::Category category = QChar::category(first);
    if (category == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return false;
    return QChar::isPrint(first) || category == QChar::Other_PrivateUse;
}

} // namespace

// Editing ---------------------------------------------------------------------

// An edit that runs out of memory changes neither the text nor its history,
// and says so.
void TextArea::replace(qsizetype position, qsizetype length, const QString &text, EditHistory::Kind kind)
{
    TextDocument::Change change;
    if (!whileMemoryLasts([&] { change = m_document.replace(position, length, text, kind, m_caret, m_anchor); }))
        return;
    if (!change.isEmpty())
        showChange(change);
}

bool TextArea::whileMemoryLasts(const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const std::bad_alloc &) {
    }
    emit outOfMemory();
    return false;
}

// The text has changed: the caret goes where the change puts it, and what
// shows follows. Should memory run out here, the text stands, and the
// geometry is worked out afresh when next needed.
void TextArea::showChange(const TextDocument::Change &change)
{
    ++m_revision;
    m_caret = change.caret;
    m_anchor = change.anchor;
    m_goalX = -1;
    try {
        m_geometry.textChanged(change.position, change.inserted.size(), change.removed.size(), change.insertedBreaks,
                               change.removedBreaks);
    } catch (const std::bad_alloc &) {
        m_geometry.reset();
    }
    updateScrollBars();
    ensureCaretVisible();
    restartBlinking();
    TextAreaAccessibility::textChanged(this, change.position, change.removed, change.inserted);
    emit textChanged();
}

void TextArea::insertTyped(const QString &text, EditHistory::Kind kind)
{
    const qsizetype from = qMin(m_caret, m_anchor);
    if (hasSelection())
        kind = EditHistory::Kind::Other;
    replace(from, qAbs(m_caret - m_anchor), text, kind);
}

// Backspace takes one character: a whole line break or surrogate pair.
void TextArea::deleteBackwards()
{
    if (m_caret == 0)
        return;
    qsizetype from = m_caret - 1;
    const QChar last = m_buffer.at(from);
    if (from > 0 && (isLineBreak(last) || (last.isLowSurrogate() && m_buffer.at(from - 1).isHighSurrogate())))
        --from;
    replace(from, m_caret - from, QString(), EditHistory::Kind::Backspace);
}

void TextArea::deleteSelection()
{
    if (hasSelection())
        insertTyped(QString(), EditHistory::Kind::Other);
}

void TextArea::undo()
{
    stepThroughHistory(true);
}

void TextArea::redo()
{
    stepThroughHistory(false);
}

void TextArea::stepThroughHistory(bool back)
{
    if (back ? !canUndo() : !canRedo())
        return;
    TextDocument::Change change;
    if (whileMemoryLasts([&] { change = back ? m_document.undo() : m_document.redo(); }))
        showChange(change);
}

// Clipboard -------------------------------------------------------------------

// What leaves the area for the clipboard has the line breaks of this desktop.
QString TextArea::forClipboard(const QString &text)
{
    return withLfLineBreaks(text);
}

void TextArea::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(forClipboard(selectedText()));
}

void TextArea::cut()
{
    if (!hasSelection())
        return;
    copy();
    deleteSelection();
}

void TextArea::paste()
{
    pasteFrom(QClipboard::Clipboard);
}

void TextArea::pasteFrom(QClipboard::Mode mode)
{
    const QString text = QGuiApplication::clipboard()->text(mode);
    if (!text.isEmpty())
        insertTyped(text, EditHistory::Kind::Other);
}

void TextArea::publishSelection() const
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(forClipboard(selectedText()), QClipboard::Selection);
}

// Moving ----------------------------------------------------------------------

void TextArea::moveCaret(qsizetype position, bool select, Reveal reveal)
{
    position = qBound<qsizetype>(0, position, m_buffer.size());
    // Never between the CR and the LF of a line break, nor inside a pair.
    position = whole(position, false);
    const bool selectionChanged = select || hasSelection();
    m_caret = position;
    m_goalX = -1; // Up and Down aim anew from wherever the caret went
    if (!select)
        m_anchor = position;
    m_document.endRun();
    ensureCaretVisible(reveal);
    restartBlinking();
    TextAreaAccessibility::caretMoved(this);
    if (selectionChanged)
        TextAreaAccessibility::selectionChanged(this);
}

// The position itself, or inside a line break or a surrogate pair, the
// pair's end (forward) or start.
qsizetype TextArea::whole(qsizetype position, bool forward) const
{
    if (position <= 0 || position >= m_buffer.size())
        return position;
    const QChar before = m_buffer.at(position - 1);
    const QChar after = m_buffer.at(position);
    const bool inside = (before == u'\r' && after == u'\n') || (before.isHighSurrogate() && after.isLowSurrogate());
    return inside ? position + (forward ? 1 : -1) : position;
}

qsizetype TextArea::nextPosition(qsizetype position) const
{
    if (position >= m_buffer.size())
        return m_buffer.size();
    if (isLineBreak(m_buffer.at(position)))
        return position + 2;
    const qsizetype line = m_buffer.lineOf(position);
    return m_geometry.layOut(m_geometry.chunkBefore(line, position + 1))->nextPosition(position);
}

qsizetype TextArea::previousPosition(qsizetype position) const
{
    if (position <= 0)
        return 0;
    if (isLineBreak(m_buffer.at(position - 1)))
        return position - 2;
    const qsizetype line = m_buffer.lineOf(position);
    return m_geometry.layOut(m_geometry.chunkBefore(line, position))->previousPosition(position);
}

// A step by word goes to the start of the next word, or back to the start
// of this or the previous one, and stops at the end and the start of a line.
// Words are looked for in a stretch of the line around the position, so that
// a step in a line of millions of characters stays quick.
std::pair<QString, qsizetype> TextArea::textForWordsAround(qsizetype position) const
{
    constexpr qsizetype reach = 1024;
    const qsizetype line = m_buffer.lineOf(position);
    const qsizetype start = qMax(m_buffer.lineStart(line), position - reach);
    const qsizetype end = qMin(m_buffer.lineEnd(line), position + reach);
    return {m_buffer.mid(start, end - start), start};
}

qsizetype TextArea::nextWordStart(qsizetype position) const
{
    if (position < m_buffer.size() && isLineBreak(m_buffer.at(position)))
        return position + 2;
    const auto [text, start] = textForWordsAround(position);
    return start + Words::nextStart(text, position - start);
}

qsizetype TextArea::previousWordStart(qsizetype position) const
{
    if (position > 0 && isLineBreak(m_buffer.at(position - 1)))
        return position - 2;
    const auto [text, start] = textForWordsAround(position);
    return start + Words::previousStart(text, position - start);
}

std::pair<qsizetype, qsizetype> TextArea::wordAround(qsizetype position) const
{
    const auto [text, start] = textForWordsAround(position);
    const auto [from, to] = Words::around(text, position - start);
    return {start + from, start + to};
}

// Keys ------------------------------------------------------------------------

// Where Up, Down and the page keys lead: as far across as the caret stood
// when the first of them was pressed. On the first or last line, selecting
// reaches the start or end of the text, and moving does nothing (-1).
qsizetype TextArea::positionLinesAway(qsizetype lines, bool select) const
{
    const qsizetype line = m_buffer.lineOf(m_caret);
    const qsizetype target = qBound<qsizetype>(0, line + lines, lineCount() - 1);
    if (target == line)
        return !select ? -1 : lines < 0 ? 0 : m_buffer.size();
    return positionInLine(target, m_goalX);
}

bool TextArea::handleMovementKey(QKeyEvent *event)
{
    using Key = QKeySequence::StandardKey;
    const qsizetype line = m_buffer.lineOf(m_caret);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    // Left and Right without Shift end a selection at its start or end.
    const bool collapsing = hasSelection() && !shift;
    const qsizetype selectionStart = qMin(m_caret, m_anchor);
    const qsizetype selectionEnd = qMax(m_caret, m_anchor);
    const auto page = [&](int pages) {
        const int lines = pages * visibleLines();
        verticalScrollBar()->setValue(verticalScrollBar()->value() + lines);
        return positionLinesAway(lines, shift);
    };
    const struct
    {
        Key move;
        Key select;
        std::function<qsizetype()> target;
        bool vertical = false;
    } moves[] = {
        {Key::MoveToNextChar, Key::SelectNextChar, [&] { return collapsing ? selectionEnd : nextPosition(m_caret); }},
        {Key::MoveToPreviousChar, Key::SelectPreviousChar,
         [&] { return collapsing ? selectionStart : previousPosition(m_caret); }},
        {Key::MoveToNextWord, Key::SelectNextWord, [&] { return nextWordStart(m_caret); }},
        {Key::MoveToPreviousWord, Key::SelectPreviousWord, [&] { return previousWordStart(m_caret); }},
        {Key::MoveToStartOfLine, Key::SelectStartOfLine, [&] { return m_buffer.lineStart(line); }},
        {Key::MoveToEndOfLine, Key::SelectEndOfLine, [&] { return m_buffer.lineEnd(line); }},
        {Key::MoveToStartOfDocument, Key::SelectStartOfDocument, [] { return qsizetype(0); }},
        {Key::MoveToEndOfDocument, Key::SelectEndOfDocument, [&] { return m_buffer.size(); }},
        {Key::MoveToNextLine, Key::SelectNextLine, [&] { return positionLinesAway(1, shift); }, true},
        {Key::MoveToPreviousLine, Key::SelectPreviousLine, [&] { return positionLinesAway(-1, shift); }, true},
        {Key::MoveToNextPage, Key::SelectNextPage, [&] { return page(1); }, true},
        {Key::MoveToPreviousPage, Key::SelectPreviousPage, [&] { return page(-1); }, true},
    };
    for (const auto &move : moves) {
        const bool select = event->matches(move.select);
        if (!select && !event->matches(move.move))
            continue;
        if (move.vertical && m_goalX < 0)
            m_goalX = xOf(m_caret);
        const double goal = m_goalX;
        const qsizetype target = move.target();
        if (target < 0)
            return true;
        moveCaret(target, select);
        // Up and Down keep aiming where they started, unless they went to
        // the start or end of the text instead.
        if (move.vertical && m_buffer.lineOf(target) != line)
            m_goalX = goal;
        if (select)
            publishSelection();
        return true;
    }
    if (event->matches(Key::SelectAll)) {
        selectAll();
        return true;
    }
    return false;
}

bool TextArea::handleEditingKey(QKeyEvent *event)
{
    using Key = QKeySequence::StandardKey;
    const bool control = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (event->matches(Key::Undo))
        undo();
    else if (event->matches(Key::Redo) || (control && event->key() == Qt::Key_Y)
             || (control && shift && event->key() == Qt::Key_Z))
        redo();
    else if (event->matches(Key::Cut) || (shift && event->key() == Qt::Key_Delete))
        cut();
    else if (event->matches(Key::Copy) || (control && event->key() == Qt::Key_Insert))
        copy();
    else if (event->matches(Key::Paste) || (shift && event->key() == Qt::Key_Insert))
        paste();
    else if ((event->matches(Key::DeleteStartOfWord) || event->matches(Key::DeleteEndOfWord)) && hasSelection())
        deleteSelection();
    else if (event->matches(Key::DeleteStartOfWord))
        replace(previousWordStart(m_caret), m_caret - previousWordStart(m_caret), QString(), EditHistory::Kind::Other);
    else if (event->matches(Key::DeleteEndOfWord))
        replace(m_caret, nextWordStart(m_caret) - m_caret, QString(), EditHistory::Kind::Other);
    else if (event->key() == Qt::Key_Backspace && !control)
        hasSelection() ? deleteSelection() : deleteBackwards();
    else if (event->key() == Qt::Key_Delete && !control)
        hasSelection() ? deleteSelection()
                       : replace(m_caret, nextPosition(m_caret) - m_caret, QString(), EditHistory::Kind::Delete);
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        insertTyped(QStringLiteral("\r\n"), EditHistory::Kind::Other);
    else if (isTypedText(event))
        insertTyped(event->text());
    else
        return false;
    return true;
}

void TextArea::keyPressEvent(QKeyEvent *event)
{
    // After a key, Shift+click extends by characters again.
    m_granularity = Granularity::Characters;
    if (handleMovementKey(event) || handleEditingKey(event))
        event->accept();
    else
        QAbstractScrollArea::keyPressEvent(event);
}

// Keys the area uses are its own, not shortcuts of the window. Whatever runs
// out of memory while an event is handled ends there: the edits have
// changed nothing or everything by then, and the program goes on.
bool TextArea::event(QEvent *event)
{
    bool handled = true;
    whileMemoryLasts([&] {
        if (event->type() == QEvent::ShortcutOverride) {
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::Paste) || key->matches(QKeySequence::Cut)
                || key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)
                || key->matches(QKeySequence::SelectAll) || isTypedText(key)) {
                event->accept();
                return;
            }
        }
        handled = QAbstractScrollArea::event(event);
    });
    return handled;
}

bool TextArea::viewportEvent(QEvent *event)
{
    bool handled = true;
    whileMemoryLasts([&] { handled = QAbstractScrollArea::viewportEvent(event); });
    return handled;
}
