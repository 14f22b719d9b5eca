#include "textview/TextEditor.h"

#include "core/LineBreaks.h"
#include "textview/Words.h"

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

} // namespace

// The text ---------------------------------------------------------------------

void TextEditor::setText(const QString &text)
{
    m_geometry.reset();
    m_caret = m_anchor = 0;
    m_goalX = -1;
    m_document.setText(text);
}

TextEditor::Change TextEditor::append(const QString &text)
{
    Change change{buffer().size(), QString(), withCrLfLineBreaks(text), m_caret, m_anchor};
    const qsizetype lines = buffer().lineCount();
    m_document.append(change.inserted);
    change.insertedBreaks = buffer().lineCount() - lines;
    m_geometry.textChanged(change.position, change.inserted.size(), 0, change.insertedBreaks, 0);
    return change;
}

TextEditor::Change TextEditor::replaceAll(const QString &text)
{
    if (text == buffer().text())
        return {};
    return applyWhole(m_document.replace(0, buffer().size(), text, EditHistory::Kind::Other, m_caret, m_anchor));
}

TextEditor::Change TextEditor::replaceAll(TextBuffer &&text, LineGeometry::Measured &&widths,
                                          std::shared_ptr<const LineChoice> choice)
{
    const Change change = m_document.replaceAll(std::move(text), m_caret, m_anchor, std::move(choice));
    if (!change.isEmpty())
        m_geometry.expect(std::move(widths));
    return applyWhole(change);
}

// A whole new text shows from its start.
TextEditor::Change TextEditor::applyWhole(Change change)
{
    if (change.isEmpty())
        return change;
    change.caret = change.anchor = 0;
    return apply(std::move(change));
}

// The caret goes where the change puts it, and the geometry follows. Should
// memory run out here, the text stands, and the geometry is worked out
// afresh when next needed.
TextEditor::Change TextEditor::apply(Change change)
{
    m_caret = change.caret;
    m_anchor = change.anchor;
    m_goalX = -1;
    try {
        m_geometry.textChanged(change.position, change.inserted.size(), change.removed.size(), change.insertedBreaks,
                               change.removedBreaks);
    } catch (const std::bad_alloc &) {
        m_geometry.reset();
    }
    return change;
}

// The caret and the selection ----------------------------------------------------

QString TextEditor::selectedText() const
{
    return buffer().mid(selectionStart(), selectionEnd() - selectionStart());
}

void TextEditor::moveCaret(qsizetype position, bool select)
{
    position = whole(qBound<qsizetype>(0, position, buffer().size()), false);
    m_caret = position;
    m_goalX = -1; // Up and Down aim anew from wherever the caret went
    if (!select)
        m_anchor = position;
    m_document.endRun();
}

void TextEditor::selectOutwards(qsizetype from, qsizetype to)
{
    from = qBound<qsizetype>(0, from, buffer().size());
    to = qBound(from, to, buffer().size());
    m_anchor = whole(from, false);
    m_caret = whole(to, true);
}

bool TextEditor::move(Move move, bool select, qsizetype pageLines)
{
    const qsizetype line = buffer().lineOf(m_caret);
    const bool vertical = move >= Move::NextLine;
    if (vertical && m_goalX < 0)
        m_goalX = xOf(m_caret);
    const double goal = m_goalX;
    const qsizetype to = target(move, select, pageLines);
    if (to < 0)
        return false;
    moveCaret(to, select);
    // Up and Down keep aiming where they started, unless they went to the
    // start or end of the text instead.
    if (vertical && buffer().lineOf(to) != line)
        m_goalX = goal;
    return true;
}

// Left and Right without Shift end a selection at its start or end.
qsizetype TextEditor::target(Move move, bool select, qsizetype pageLines) const
{
    const bool collapsing = hasSelection() && !select;
    const qsizetype line = buffer().lineOf(m_caret);
    switch (move) {
    case Move::NextCharacter:
        return collapsing ? selectionEnd() : nextPosition(m_caret);
    case Move::PreviousCharacter:
        return collapsing ? selectionStart() : previousPosition(m_caret);
    case Move::NextWord:
        return nextWordStart(m_caret);
    case Move::PreviousWord:
        return previousWordStart(m_caret);
    case Move::LineStart:
        return buffer().lineStart(line);
    case Move::LineEnd:
        return buffer().lineEnd(line);
    case Move::TextStart:
        return 0;
    case Move::TextEnd:
        return buffer().size();
    case Move::NextLine:
        return positionLinesAway(1, select);
    case Move::PreviousLine:
        return positionLinesAway(-1, select);
    case Move::NextPage:
        return positionLinesAway(pageLines, select);
    case Move::PreviousPage:
        return positionLinesAway(-pageLines, select);
    }
    return -1;
}

// As far across as the caret stood when the first of Up, Down and the page
// keys was pressed. On the first or last line, selecting reaches the start
// or end of the text, and moving does nothing (-1).
qsizetype TextEditor::positionLinesAway(qsizetype lines, bool select) const
{
    const qsizetype line = buffer().lineOf(m_caret);
    const qsizetype target = qBound<qsizetype>(0, line + lines, buffer().lineCount() - 1);
    if (target == line)
        return !select ? -1 : lines < 0 ? 0 : buffer().size();
    return positionInLine(target, m_goalX);
}

// Positions -----------------------------------------------------------------------

qsizetype TextEditor::whole(qsizetype position, bool forward) const
{
    if (position <= 0 || position >= buffer().size())
        return position;
    const QChar before = buffer().at(position - 1);
    const QChar after = buffer().at(position);
    const bool inside = (before == u'\r' && after == u'\n') || (before.isHighSurrogate() && after.isLowSurrogate());
    return inside ? position + (forward ? 1 : -1) : position;
}

qsizetype TextEditor::nextPosition(qsizetype position) const
{
    if (position >= buffer().size())
        return buffer().size();
    if (isLineBreak(buffer().at(position)))
        return position + 2;
    const qsizetype line = buffer().lineOf(position);
    return m_geometry.layOut(m_geometry.chunkBefore(line, position + 1))->nextPosition(position);
}

qsizetype TextEditor::previousPosition(qsizetype position) const
{
    if (position <= 0)
        return 0;
    if (isLineBreak(buffer().at(position - 1)))
        return position - 2;
    const qsizetype line = buffer().lineOf(position);
    return m_geometry.layOut(m_geometry.chunkBefore(line, position))->previousPosition(position);
}

// Words are looked for in a stretch of the line around the position, so
// that a step in a line of millions of characters stays quick.
std::pair<QString, qsizetype> TextEditor::textForWordsAround(qsizetype position) const
{
    constexpr qsizetype reach = 1024;
    const qsizetype line = buffer().lineOf(position);
    const qsizetype start = qMax(buffer().lineStart(line), position - reach);
    const qsizetype end = qMin(buffer().lineEnd(line), position + reach);
    return {buffer().mid(start, end - start), start};
}

qsizetype TextEditor::nextWordStart(qsizetype position) const
{
    if (position < buffer().size() && isLineBreak(buffer().at(position)))
        return position + 2;
    const auto [text, start] = textForWordsAround(position);
    return start + Words::nextStart(text, position - start);
}

qsizetype TextEditor::previousWordStart(qsizetype position) const
{
    if (position > 0 && isLineBreak(buffer().at(position - 1)))
        return position - 2;
    const auto [text, start] = textForWordsAround(position);
    return start + Words::previousStart(text, position - start);
}

std::pair<qsizetype, qsizetype> TextEditor::wordAround(qsizetype position) const
{
    const auto [text, start] = textForWordsAround(position);
    const auto [from, to] = Words::around(text, position - start);
    return {start + from, start + to};
}

std::pair<qsizetype, qsizetype> TextEditor::lineWithBreak(qsizetype position) const
{
    const qsizetype line = buffer().lineOf(position);
    return {buffer().lineStart(line),
            line + 1 < buffer().lineCount() ? buffer().lineStart(line + 1) : buffer().size()};
}

double TextEditor::xOf(qsizetype position) const
{
    const qsizetype line = buffer().lineOf(position);
    const LineGeometry::Chunk chunk = m_geometry.chunkAt(line, position);
    const auto layout = m_geometry.layOut(chunk);
    // Measuring a chunk moves what lies right of it, not the chunk itself.
    m_geometry.measured(line, chunk, *layout);
    return layout->xOf(position);
}

qsizetype TextEditor::positionInLine(qsizetype line, double x, QTextLine::CursorPosition mode) const
{
    const LineGeometry::Chunk chunk = m_geometry.chunkAtX(line, x);
    const auto layout = m_geometry.layOut(chunk);
    m_geometry.measured(line, chunk, *layout);
    return layout->positionAt(x, mode);
}

// Editing -----------------------------------------------------------------------------

TextEditor::Change TextEditor::replace(qsizetype position, qsizetype length, const QString &text,
                                       EditHistory::Kind kind)
{
    const Change change = m_document.replace(position, length, text, kind, m_caret, m_anchor);
    return change.isEmpty() ? change : apply(change);
}

TextEditor::Change TextEditor::type(const QString &text, EditHistory::Kind kind)
{
    if (hasSelection())
        kind = EditHistory::Kind::Other;
    return replace(selectionStart(), selectionEnd() - selectionStart(), text, kind);
}

TextEditor::Change TextEditor::deleteSelection()
{
    return hasSelection() ? type(QString(), EditHistory::Kind::Other) : Change();
}

TextEditor::Change TextEditor::deleteBackwards()
{
    if (hasSelection())
        return deleteSelection();
    if (m_caret == 0)
        return {};
    qsizetype from = m_caret - 1;
    const QChar last = buffer().at(from);
    if (from > 0 && (isLineBreak(last) || (last.isLowSurrogate() && buffer().at(from - 1).isHighSurrogate())))
        --from;
    return replace(from, m_caret - from, QString(), EditHistory::Kind::Backspace);
}

TextEditor::Change TextEditor::deleteForwards()
{
    if (hasSelection())
        return deleteSelection();
    return replace(m_caret, nextPosition(m_caret) - m_caret, QString(), EditHistory::Kind::Delete);
}

TextEditor::Change TextEditor::deleteWordBackwards()
{
    if (hasSelection())
        return deleteSelection();
    const qsizetype start = previousWordStart(m_caret);
    return replace(start, m_caret - start, QString());
}

TextEditor::Change TextEditor::deleteWordForwards()
{
    if (hasSelection())
        return deleteSelection();
    return replace(m_caret, nextWordStart(m_caret) - m_caret, QString());
}

TextEditor::Change TextEditor::undo()
{
    return canUndo() ? apply(m_document.undo()) : Change();
}

TextEditor::Change TextEditor::redo()
{
    return canRedo() ? apply(m_document.redo()) : Change();
}

TextEditor::Change TextEditor::moveText(qsizetype start, qsizetype end, qsizetype to)
{
    const QString moved = buffer().mid(start, end - start);
    Change change;
    if (to < start) {
        change = replace(to, end - to, moved + buffer().mid(to, start - to));
        change.anchor = to;
        change.caret = to + moved.size();
    } else {
        change = replace(start, to - start, buffer().mid(end, to - end) + moved);
        change.anchor = to - moved.size();
        change.caret = to;
    }
    return change;
}
