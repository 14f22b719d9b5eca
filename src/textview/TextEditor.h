#pragma once

#include "textview/LineGeometry.h"
#include "textview/TextDocument.h"

#include <QTextLine>

#include <utility>

// A text area's text as it is edited, apart from any widget: the caret and
// the selection, where the keys move the caret, and the editing commands.
// A step by character takes a whole line break or grapheme as the text's
// layout has it, a step by word stops at the ends of lines, and Up and Down
// keep aiming as far across as the caret stood when the first was pressed.
//
// Every command is all or nothing: should memory run out, it raises
// std::bad_alloc and the text, the caret and the history are as they were.
// Those that change the text answer what changed, for the view to show.
class TextEditor
{
public:
    using Change = TextDocument::Change;

    const TextBuffer &buffer() const { return m_document.buffer(); }
    LineGeometry &geometry() const { return m_geometry; }

    // The text --------------------------------------------------------------
    // The program's own filling: no history, but within a step; the caret
    // goes to the start. On running out of memory, the text is left empty.
    void setText(const QString &text);
    Change append(const QString &text);
    // From beginStep() to endStep(), all the program puts in is one step
    // that undo takes back. Only beginStep() may run out of memory.
    void beginStep() { m_document.beginStep(m_caret, m_anchor); }
    void endStep() { m_document.endStep(); }
    // A whole new text as one step; the caret goes to the start.
    Change replaceAll(const QString &text);
    // One made beforehand, with the widths of its lines.
    Change replaceAll(TextBuffer &&text, LineGeometry::Measured &&widths, std::shared_ptr<const LineChoice> choice);
    bool canUndo() const { return m_document.canUndo(); }
    bool canRedo() const { return m_document.canRedo(); }

    // The caret and the selection --------------------------------------------
    qsizetype caret() const { return m_caret; }
    qsizetype anchor() const { return m_anchor; }
    bool hasSelection() const { return m_caret != m_anchor; }
    qsizetype selectionStart() const { return qMin(m_caret, m_anchor); }
    qsizetype selectionEnd() const { return qMax(m_caret, m_anchor); }
    QString selectedText() const;
    // Moves the caret, never inside a line break or a surrogate pair; with
    // select, the anchor stays where it is. The next edit starts a step.
    void moveCaret(qsizetype position, bool select);
    void setAnchor(qsizetype position) { m_anchor = qBound<qsizetype>(0, position, buffer().size()); }
    // Selects from a position to another, rounded outwards to whole line
    // breaks and pairs, leaving the typing run as it is (for input methods).
    void selectOutwards(qsizetype from, qsizetype to);

    // What the movement keys do; a page is as many lines as the view shows.
    enum class Move {
        NextCharacter,
        PreviousCharacter,
        NextWord,
        PreviousWord,
        LineStart,
        LineEnd,
        TextStart,
        TextEnd,
        NextLine,
        PreviousLine,
        NextPage,
        PreviousPage,
    };
    // Answers false when the caret stays: Up on the first line, say, which
    // when selecting goes to the start of the text instead.
    bool move(Move move, bool select, qsizetype pageLines);

    // Positions --------------------------------------------------------------
    // The position itself, or, inside a line break or surrogate pair, the
    // pair's end (forward) or start.
    qsizetype whole(qsizetype position, bool forward) const;
    qsizetype nextPosition(qsizetype position) const;
    qsizetype previousPosition(qsizetype position) const;
    qsizetype nextWordStart(qsizetype position) const;
    qsizetype previousWordStart(qsizetype position) const;
    std::pair<qsizetype, qsizetype> wordAround(qsizetype position) const;
    // The line that holds a position, with the line break after it.
    std::pair<qsizetype, qsizetype> lineWithBreak(qsizetype position) const;
    // How far across a position stands in its line, and the position
    // nearest to how far across in a line.
    double xOf(qsizetype position) const;
    qsizetype positionInLine(qsizetype line, double x,
                             QTextLine::CursorPosition mode = QTextLine::CursorBetweenCharacters) const;

    // Editing ------------------------------------------------------------------
    // Replaces the text between two positions as one step.
    Change replace(qsizetype position, qsizetype length, const QString &text,
                   EditHistory::Kind kind = EditHistory::Kind::Other);
    // Text typed, pasted or dropped in place of the selection.
    Change type(const QString &text, EditHistory::Kind kind = EditHistory::Kind::Typing);
    Change deleteSelection();
    // Backspace and Delete: the selection, or one character, a whole line
    // break or surrogate pair.
    Change deleteBackwards();
    Change deleteForwards();
    // Ctrl+Backspace and Ctrl+Delete: the selection, or to a word's start.
    Change deleteWordBackwards();
    Change deleteWordForwards();
    Change undo();
    Change redo();
    // Moves the text between start and end to a place outside it, as one
    // step; the change's caret and anchor select it there.
    Change moveText(qsizetype start, qsizetype end, qsizetype to);

private:
    Change apply(Change change);
    Change applyWhole(Change change);
    std::pair<QString, qsizetype> textForWordsAround(qsizetype position) const;
    qsizetype positionLinesAway(qsizetype lines, bool select) const;
    qsizetype target(Move move, bool select, qsizetype pageLines) const;

    TextDocument m_document;
    mutable LineGeometry m_geometry{m_document.buffer()};
    qsizetype m_caret = 0;
    qsizetype m_anchor = 0;
    double m_goalX = -1; // where Up and Down aim, kept across short lines
};
