#pragma once

#include "textview/TextEditor.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QClipboard>
#include <QMimeData>

#include <functional>
#include <memory>

class QMenu;

// A multi-line text box: both scroll bars always shown, no wrapping, no
// length limit, Tab moves the focus on. Its text speaks CR LF: a line break
// typed, pasted or set as LF, CR or CR LF is shown as one line break, and
// every line break is given back as CR LF; every other character stays as
// it is. It holds its text in one buffer and lays out only what shows, so a
// million lines, or one line of millions of characters, stay quick to show
// and to edit.
class TextArea : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TextArea(QWidget *parent);
    ~TextArea() override;

    QString text() const;
    // The program's own filling of the area: setText and appendText keep no
    // history, but for within a Step.
    void setText(const QString &text);
    void appendText(const QString &text);
    // A whole new text from the program, as one step that undo takes back;
    // the caret goes to the start. Should memory run out, it raises
    // std::bad_alloc and nothing has changed.
    void replaceText(const QString &text);
    // A whole new text made beforehand, on another thread perhaps: its
    // buffer, and the widths of its lines measured as it was filled, so that
    // the area takes it in at once.
    class NewText
    {
    public:
        // The lines, none of which may hold a CR or an LF.
        void setLines(const QList<QStringView> &lines);
        // The same, when they are the choice of the area's lines: undo then
        // keeps the choice instead of the text it replaces.
        void setLines(const QList<QStringView> &lines, LineChoice choice);
        // Text with line breaks of any kind.
        void setText(const QString &text);

    private:
        friend class TextArea;
        explicit NewText(LineGeometry::Measured widths) : m_widths(std::move(widths)) {}
        TextBuffer m_buffer;
        LineGeometry::Measured m_widths;
        std::shared_ptr<const LineChoice> m_choice;
    };
    // One to fill; may raise std::bad_alloc.
    NewText newText() { return NewText(m_geometry.measuring()); }
    void replaceText(NewText &&text);
    // While a Step lives, all the program puts into the area is one step that
    // undo takes back. Making one may raise std::bad_alloc.
    class Step
    {
    public:
        explicit Step(TextArea &area);
        ~Step();
        Step(const Step &) = delete;
        Step &operator=(const Step &) = delete;

    private:
        TextArea &m_area;
    };

    qsizetype lineCount() const { return m_buffer.lineCount(); }
    qsizetype caretPosition() const { return m_editor.caret(); }
    qsizetype anchorPosition() const { return m_editor.anchor(); }
    bool hasSelection() const { return m_editor.hasSelection(); }
    QString selectedText() const { return m_editor.selectedText(); }
    void setSelection(qsizetype anchor, qsizetype caret);
    void selectAll();
    // The caret's rectangle in viewport coordinates, and where the caret
    // would stand at a position.
    QRect caretRect() const;
    QRect caretRectAt(qsizetype position) const;
    // The position nearest to a point of the viewport, or that of the
    // character under it.
    qsizetype positionAt(const QPoint &point,
                         QTextLine::CursorPosition mode = QTextLine::CursorBetweenCharacters) const;
    // Changes with every change of the text.
    quint64 revision() const { return m_revision; }
    bool canUndo() const { return m_editor.canUndo(); }
    bool canRedo() const { return m_editor.canRedo(); }

    // What screen readers read: offsets that count a line break once, and
    // text with LF line breaks.
    qsizetype offsetOf(qsizetype position) const { return m_buffer.offsetOf(position); }
    qsizetype positionOfOffset(qsizetype offset) const { return m_buffer.positionOfOffset(offset); }
    qsizetype offsetCount() const { return m_buffer.offsetCount(); }
    QString textBetweenOffsets(qsizetype startOffset, qsizetype endOffset) const;
    qsizetype lineStartOf(qsizetype position) const { return m_buffer.lineStart(m_buffer.lineOf(position)); }
    // Lines counted from 0.
    qsizetype lineOf(qsizetype position) const { return m_buffer.lineOf(position); }
    qsizetype lineStart(qsizetype line) const { return m_buffer.lineStart(line); }
    // A line's text without copying it, valid until the text changes.
    QStringView lineView(qsizetype line) const { return m_buffer.view(m_buffer.lineStart(line), m_buffer.lineLength(line)); }
    qsizetype lineEndOf(qsizetype position) const { return m_buffer.lineEnd(m_buffer.lineOf(position)); }
    // Replaces the text between two positions as one edit that undo takes back.
    void replaceRange(qsizetype start, qsizetype end, const QString &text);

    // A bounded piece of the text around a position, for those who compose
    // into it: never more than about a thousand characters.
    QString textAround(qsizetype position, qsizetype *start) const;
    QString textRange(qsizetype start, qsizetype end) const;
    qsizetype size() const { return m_buffer.size(); }
    // Runs the drag of a selection to wherever it is dropped and answers
    // what became of it; the desktop's own unless a test sets another.
    using DragRunner = std::function<Qt::DropAction(std::unique_ptr<QMimeData>)>;
    void setDragRunner(DragRunner runner) { m_dragRunner = std::move(runner); }
    // Whether local files dropped on the area are handed on (filesDropped)
    // rather than refused; dropped text is always inserted.
    void setAcceptsFiles(bool accepts) { m_acceptsFiles = accepts; }
    // Reads what a drop or paste of these types brings (contacts, say) as
    // the text it stands for; plain text goes in as it is.
    using DataReader = std::function<QString(const QString &type, const QByteArray &data)>;
    void setDataReader(QStringList types, DataReader reader)
    {
        m_readerTypes = std::move(types);
        m_dataReader = std::move(reader);
    }

    // Makes ready what the context menu needs the first time it shows, so
    // that it then needs no more memory than later: once, when idle.
    void prepareContextMenu();
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    // Draws the frame with the area's style (and skin) on another painter.
    void drawFrameOn(QPainter &painter);

public slots:
    void undo();
    void redo();
    void cut();
    void copy() const;
    void paste();
    void deleteSelection();

signals:
    void mouseMoved();
    void mousePressed(Qt::MouseButton button);
    // Local files dropped, and the text of what else the drop held that the
    // data reader reads (empty for none).
    void filesDropped(const QStringList &paths, const QString &alsoText);
    // The standard entries are in the menu; others may follow them.
    void contextMenuAboutToShow(QMenu *menu);
    // Something the user did ran out of memory, and changed nothing.
    void outOfMemory();
    // The text changed, by the user or the program.
    void textChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    // Runs an action; should it run out of memory, says so and answers false.
    bool whileMemoryLasts(const std::function<void()> &action);

    // Editing: runs one of the editor's commands and shows what it changed.
    void edit(const std::function<TextEditor::Change()> &command);
    void showChange(const TextEditor::Change &change);
    void showWholeChange(const TextEditor::Change &change);
    void stepThroughHistory(bool back);
    bool handleEditingKey(QKeyEvent *event);
    bool handleMovementKey(QKeyEvent *event);
    void pasteFrom(QClipboard::Mode mode);
    void publishSelection() const;

    // Moving
    // How far the view scrolls to show the caret: a jump for keys, no more
    // than needed for the mouse.
    enum class Reveal { Jump, Minimal };
    void moveCaret(qsizetype position, bool select, Reveal reveal = Reveal::Jump);
    void showCaretMoved(bool selectionChanged, Reveal reveal = Reveal::Jump);
    void setComposition(const QInputMethodEvent *event);
    double caretX() const;
    QRect rectAtX(qsizetype position, double x) const;

    // Showing
    void useDesktopColours();
    void updateScrollBars();
    void measureEstimates();
    void ensureCaretVisible(Reveal reveal = Reveal::Jump);
    void restartBlinking();
    double scrollX() const { return m_scrollX; }
    void setScrollX(double x);
    int visibleLines() const;
    qsizetype firstVisibleLine() const;
    QPointF contentOrigin() const;
    void paintLine(QPainter &painter, qsizetype line, double y, const QRect &area);
    void autoScroll();

    QMenu *createContextMenu();
    QStringList droppedFiles(const QMimeData *data) const;
    // The text a drop or paste brings: what the data reader reads of it,
    // else its plain text; null when it holds neither.
    QString textOf(const QMimeData &data) const;
    QString readerTextOf(const QMimeData &data) const;
    bool holdsText(const QMimeData &data) const;

    // Mouse gestures
    enum class Granularity { Characters, Words, Lines };
    void selectFrom(Granularity granularity, std::pair<qsizetype, qsizetype> range);
    void extendSelectionTo(qsizetype position);
    bool isOnSelection(const QPoint &point) const;
    void dragSelection();
    Qt::DropAction runDrag(std::unique_ptr<QMimeData> data);
    Qt::DropAction dropActionFor(const QDropEvent *event) const;
    void moveText(qsizetype start, qsizetype end, qsizetype to);
    static QString forClipboard(const QString &text);

    TextEditor m_editor;
    const TextBuffer &m_buffer = m_editor.buffer();
    LineGeometry &m_geometry = m_editor.geometry();
    double m_scrollX = 0;
    double m_xScale = 1; // pixels per unit of the horizontal scroll bar
    bool m_caretShown = true;
    QBasicTimer m_blink;
    QBasicTimer m_autoScroll;
    QBasicTimer m_measuring;
    QPoint m_dragPoint;
    bool m_dragging = false;
    Granularity m_granularity = Granularity::Characters;
    std::pair<qsizetype, qsizetype> m_origin; // the word or line a drag extends from
    QBasicTimer m_tripleClick;
    QPoint m_tripleClickPoint;
    QPoint m_pressPoint;
    bool m_pressedOnSelection = false;
    std::pair<qsizetype, qsizetype> m_dragSource{-1, -1}; // the selection while it is dragged
    bool m_droppedHere = false;
    qsizetype m_dropPosition = -1; // where dragged text would land
    DragRunner m_dragRunner;
    ChunkLayout::Composition m_composition; // position -1 when nothing is composed
    bool m_acceptsFiles = false;
    QStringList m_readerTypes;
    DataReader m_dataReader;
    quint64 m_revision = 0;
    QWidget *m_frameOnTop = nullptr;
};
