// The text area's keys, clipboard, undo and redo: each runs a command of
// its editor, and what changed shows.
#include "textview/TextArea.h"

#include "core/LineBreaks.h"
#include "textview/TextAreaAccessible.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QScrollBar>

namespace {

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
void TextArea::edit(const std::function<TextEditor::Change()> &command)
{
    TextEditor::Change change;
    if (whileMemoryLasts([&] { change = command(); }) && !change.isEmpty())
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

// The text has changed and the caret stands where the change put it: what
// shows follows.
void TextArea::showChange(const TextEditor::Change &change)
{
    ++m_revision;
    updateScrollBars();
    ensureCaretVisible();
    restartBlinking();
    TextAreaAccessibility::textChanged(this, change.position, change.removed, change.inserted);
    emit textChanged();
}

void TextArea::deleteSelection()
{
    edit([this] { return m_editor.deleteSelection(); });
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
    TextEditor::Change change;
    if (whileMemoryLasts([&] { change = back ? m_editor.undo() : m_editor.redo(); }))
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
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(mode);
    QString text;
    if (!data || !whileMemoryLasts([&] { text = textOf(*data); }))
        return;
    if (!text.isEmpty())
        edit([&] { return m_editor.type(text, EditHistory::Kind::Other); });
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
    const bool selectionChanged = select || hasSelection();
    m_editor.moveCaret(position, select);
    showCaretMoved(selectionChanged, reveal);
}

void TextArea::showCaretMoved(bool selectionChanged, Reveal reveal)
{
    ensureCaretVisible(reveal);
    restartBlinking();
    TextAreaAccessibility::caretMoved(this);
    if (selectionChanged)
        TextAreaAccessibility::selectionChanged(this);
}

// Keys ------------------------------------------------------------------------

bool TextArea::handleMovementKey(QKeyEvent *event)
{
    using Key = QKeySequence::StandardKey;
    using Move = TextEditor::Move;
    static const struct
    {
        Key move;
        Key select;
        Move to;
    } moves[] = {
        {Key::MoveToNextChar, Key::SelectNextChar, Move::NextCharacter},
        {Key::MoveToPreviousChar, Key::SelectPreviousChar, Move::PreviousCharacter},
        {Key::MoveToNextWord, Key::SelectNextWord, Move::NextWord},
        {Key::MoveToPreviousWord, Key::SelectPreviousWord, Move::PreviousWord},
        {Key::MoveToStartOfLine, Key::SelectStartOfLine, Move::LineStart},
        {Key::MoveToEndOfLine, Key::SelectEndOfLine, Move::LineEnd},
        {Key::MoveToStartOfDocument, Key::SelectStartOfDocument, Move::TextStart},
        {Key::MoveToEndOfDocument, Key::SelectEndOfDocument, Move::TextEnd},
        {Key::MoveToNextLine, Key::SelectNextLine, Move::NextLine},
        {Key::MoveToPreviousLine, Key::SelectPreviousLine, Move::PreviousLine},
        {Key::MoveToNextPage, Key::SelectNextPage, Move::NextPage},
        {Key::MoveToPreviousPage, Key::SelectPreviousPage, Move::PreviousPage},
    };
    for (const auto &move : moves) {
        const bool select = event->matches(move.select);
        if (!select && !event->matches(move.move))
            continue;
        // A page key scrolls the view by a page, and the caret follows.
        const int pageLines = visibleLines();
        if (move.to == Move::NextPage || move.to == Move::PreviousPage)
            verticalScrollBar()->setValue(verticalScrollBar()->value()
                                          + (move.to == Move::NextPage ? pageLines : -pageLines));
        const bool selectionChanged = select || hasSelection();
        if (!m_editor.move(move.to, select, pageLines))
            return true;
        showCaretMoved(selectionChanged);
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
    else if (event->matches(Key::DeleteStartOfWord))
        edit([this] { return m_editor.deleteWordBackwards(); });
    else if (event->matches(Key::DeleteEndOfWord))
        edit([this] { return m_editor.deleteWordForwards(); });
    else if (event->key() == Qt::Key_Backspace && !control)
        edit([this] { return m_editor.deleteBackwards(); });
    else if (event->key() == Qt::Key_Delete && !control)
        edit([this] { return m_editor.deleteForwards(); });
    else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        edit([this] { return m_editor.type(QStringLiteral("\r\n"), EditHistory::Kind::Other); });
    else if (isTypedText(event))
        edit([&] { return m_editor.type(event->text()); });
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
