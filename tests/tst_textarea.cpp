#include "FormDriver.h"
#include "core/LineBreaks.h"
#include "join/LineJoiner.h"
#include "textview/TextAreaAccessible.h"
#include "textview/TextBuffer.h"

#include <QAccessible>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QRandomGenerator>
#include <QPlainTextEdit>
#include <QTextCharFormat>
#include <QProcess>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace {

// A text's state written out: "|" is the caret, "^" the anchor of a
// selection, "\n" a line break (CR LF in the text).
QString marked(QString text, qsizetype caret, qsizetype anchor)
{
    if (anchor != caret && anchor > caret)
        text.insert(anchor, u'^');
    text.insert(caret, u'|');
    if (anchor != caret && anchor < caret)
        text.insert(anchor, u'^');
    return text.replace(u"\r\n"_s, u"\n"_s);
}

QString marked(const TextArea *area)
{
    return marked(area->text(), area->caretPosition(), area->anchorPosition());
}

QString marked(const TextEditor &editor)
{
    return marked(editor.buffer().text(), editor.caret(), editor.anchor());
}

// The text, and the anchor and caret, of a state written out.
std::tuple<QString, qsizetype, qsizetype> unmarked(const QString &state)
{
    const QString text = QString(state).replace(u"\n"_s, u"\r\n"_s);
    QString plain = text;
    plain.remove(u'|').remove(u'^');
    const qsizetype caret = text.indexOf(u'|');
    const qsizetype anchor = text.indexOf(u'^');
    const qsizetype caretAt = caret - (anchor >= 0 && anchor < caret ? 1 : 0);
    const qsizetype anchorAt = anchor < 0 ? caretAt : anchor - (anchor > caret ? 1 : 0);
    return {plain, anchorAt, caretAt};
}

void setMarked(TextArea *area, const QString &state)
{
    const auto [text, anchor, caret] = unmarked(state);
    area->setText(text);
    area->setSelection(anchor, caret);
}

// The keys of the table below as the editor's commands, without a widget;
// those of the clipboard are the widget's alone.
std::function<void(TextEditor &)> editorCommand(const QString &key)
{
    using Move = TextEditor::Move;
    const auto move = [](Move to, bool select) {
        return [=](TextEditor &editor) { editor.move(to, select, 10); };
    };
    static const QHash<QString, std::function<void(TextEditor &)>> commands = {
        {u"Right"_s, move(Move::NextCharacter, false)},
        {u"Left"_s, move(Move::PreviousCharacter, false)},
        {u"Shift+Right"_s, move(Move::NextCharacter, true)},
        {u"Shift+Left"_s, move(Move::PreviousCharacter, true)},
        {u"Ctrl+Right"_s, move(Move::NextWord, false)},
        {u"Ctrl+Left"_s, move(Move::PreviousWord, false)},
        {u"Ctrl+Shift+Left"_s, move(Move::PreviousWord, true)},
        {u"Home"_s, move(Move::LineStart, false)},
        {u"End"_s, move(Move::LineEnd, false)},
        {u"Shift+End"_s, move(Move::LineEnd, true)},
        {u"Ctrl+End"_s, move(Move::TextEnd, false)},
        {u"Ctrl+Shift+Home"_s, move(Move::TextStart, true)},
        {u"Down"_s, move(Move::NextLine, false)},
        {u"Up"_s, move(Move::PreviousLine, false)},
        {u"Shift+Down"_s, move(Move::NextLine, true)},
        {u"Shift+Up"_s, move(Move::PreviousLine, true)},
        {u"Ctrl+A"_s, [](TextEditor &editor) {
             editor.setAnchor(0);
             editor.moveCaret(editor.buffer().size(), true);
         }},
        {u"X"_s, [](TextEditor &editor) { editor.type(u"x"_s); }},
        {u"Y"_s, [](TextEditor &editor) { editor.type(u"y"_s); }},
        {u"Return"_s, [](TextEditor &editor) { editor.type(u"\r\n"_s, EditHistory::Kind::Other); }},
        {u"Backspace"_s, [](TextEditor &editor) { editor.deleteBackwards(); }},
        {u"Delete"_s, [](TextEditor &editor) { editor.deleteForwards(); }},
        {u"Ctrl+Backspace"_s, [](TextEditor &editor) { editor.deleteWordBackwards(); }},
        {u"Ctrl+Del"_s, [](TextEditor &editor) { editor.deleteWordForwards(); }},
        {u"Ctrl+Z"_s, [](TextEditor &editor) { editor.undo(); }},
        {u"Ctrl+Y"_s, [](TextEditor &editor) { editor.redo(); }},
        {u"Ctrl+Shift+Z"_s, [](TextEditor &editor) { editor.redo(); }},
    };
    return commands.value(key);
}

// Gathers what a widget is asked to paint.
class PaintedRegion : public QObject
{
public:
    explicit PaintedRegion(QWidget *widget) { widget->installEventFilter(this); }
    QRegion region;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(event)->region();
        return false;
    }
};

} // namespace

class TestTextArea : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void bufferMatchesAPlainString();
    void keys_data();
    void keys();
    void typedText_data();
    void typedText();
    void lineBreaksOnTheClipboard();
    void everyOtherCharacterIsKept();
    void mouseSelects();
    void multipleClicksSelectWordsAndLines();
    void draggingTheSelection_data();
    void draggingTheSelection();
    void selectedLineBreaksShow();
    void doubleClickAtTheRightEdge_data();
    void doubleClickAtTheRightEdge();
    void wheelAndCaretScroll();
    void horizontalRangeFollowsTheWidestLine();
    void longNewTextsAreReadInTwoPartsAlike();
    void chosenLinesAreUndoneWithoutTheOldText();
    void caretStepsOverWholeCharactersAtChunkBorders_data();
    void caretStepsOverWholeCharactersAtChunkBorders();
    void contextMenuOffersWhatApplies();
    void frameShowsAtFractionalScales();
    void inputMethodsComposeInPlace();
    void inputMethodReplacements_data();
    void inputMethodReplacements();
    void screenReadersReadFollowAndEdit();
    void complexScriptsEdit();
    void caretStandsWhereTheStockBoxPutsIt_data();
    void caretStandsWhereTheStockBoxPutsIt();
    void millionItemLineEndsWhereTheCaretGoes();

private:
    std::unique_ptr<FormDriver> m_driver;
    TextArea *m_area = nullptr;
};

void TestTextArea::init()
{
    m_driver = std::make_unique<FormDriver>();
    m_area = m_driver->input();
    m_area->setFocus();
}

void TestTextArea::cleanup()
{
    m_driver.reset();
}

// Random edits at random places keep the buffer and its line index equal to
// a plain string that undergoes the same edits.
void TestTextArea::bufferMatchesAPlainString()
{
    QRandomGenerator random(7);
    TextBuffer buffer;
    QString model;
    const QString pieces[] = {u"a"_s, u"\r\n"_s, u"bc\r\nd"_s, u"\r\n\r\n"_s, u"xyz"_s, u"\n"_s, u"\r"_s};
    for (int step = 0; step < 3000; ++step) {
        const qsizetype position = random.bounded(model.size() + 1);
        if (position > 0 && position < model.size() && model[position] == u'\n')
            continue;
        if (random.bounded(3) == 0 && position < model.size()) {
            qsizetype end = qMin(model.size(), position + random.bounded(6) + 1);
            if (end < model.size() && model[end] == u'\n')
                ++end;
            buffer.remove(position, end - position);
            model.remove(position, end - position);
        } else {
            const QString &piece = pieces[random.bounded(int(std::size(pieces)))];
            buffer.insert(position, piece);
            model.insert(position, withCrLfLineBreaks(piece));
        }
        if (step % 100 == 0)
            QCOMPARE(buffer.text(), model);
    }
    QCOMPARE(buffer.text(), model);
    const QStringList lines = model.split(u"\r\n"_s);
    QCOMPARE(buffer.lineCount(), lines.size());
    for (qsizetype line = 0, start = 0; line < lines.size(); start += lines[line].size() + 2, ++line) {
        QCOMPARE(buffer.lineStart(line), start);
        QCOMPARE(buffer.lineLength(line), lines[line].size());
        QCOMPARE(buffer.lineOf(start + lines[line].size()), line);
    }
}

void TestTextArea::keys_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("after");
    // Moving and selecting
    QTest::newRow("right, left") << u"a|bc"_s << u"Right, Right, Left"_s << u"ab|c"_s;
    QTest::newRow("across a line break") << u"ab|\ncd"_s << u"Right"_s << u"ab\n|cd"_s;
    QTest::newRow("back across it") << u"ab\n|cd"_s << u"Left"_s << u"ab|\ncd"_s;
    QTest::newRow("surrogate pair is one step") << u"a|\U0001F600b"_s << u"Right"_s << u"a\U0001F600|b"_s;
    QTest::newRow("so it is before Devanagari") << u"|\U0001F600\u0928\u094D\u0928"_s << u"Right"_s
                                               << u"\U0001F600|\u0928\u094D\u0928"_s;
    QTest::newRow("a skin-toned emoji after Devanagari is one step")
        << u"\u0928\u092E \U0001F44D\U0001F3FD x|"_s << u"Left, Left, Left"_s << u"\u0928\u092E |\U0001F44D\U0001F3FD x"_s;
    QTest::newRow("and is selected whole") << u"\u0928\u092E \U0001F44D\U0001F3FD| x"_s << u"Shift+Left"_s
                                           << u"\u0928\u092E |\U0001F44D\U0001F3FD^ x"_s;
    QTest::newRow("shift selects") << u"a|bc"_s << u"Shift+Right, Shift+Right"_s << u"a^bc|"_s;
    QTest::newRow("home, end") << u"x\nab|c\ny"_s << u"Home, Shift+End"_s << u"x\n^abc|\ny"_s;
    QTest::newRow("document ends") << u"x\nab|c\ny"_s << u"Ctrl+End, Ctrl+Shift+Home"_s << u"|x\nabc\ny^"_s;
    QTest::newRow("words forward") << u"|anna@example.com,bo"_s << u"Ctrl+Right, Ctrl+Right"_s << u"anna@example.|com,bo"_s;
    QTest::newRow("words back") << u"anna@example.com|"_s << u"Ctrl+Left, Ctrl+Shift+Left"_s << u"anna@|example.^com"_s;
    QTest::newRow("supplementary letters make a word") << u"|a \U00010400\U00010401 b"_s << u"Ctrl+Right"_s
                                                       << u"a |\U00010400\U00010401 b"_s;
    QTest::newRow("a lone mark is no word") << u"|\u0301abc def"_s << u"Ctrl+Right"_s << u"\u0301|abc def"_s;
    QTest::newRow("ctrl+backspace takes a word of any script") << u"x \u05E9\u05DC\u05D5\u05DD|"_s
                                                               << u"Ctrl+Backspace"_s << u"x |"_s;
    QTest::newRow("down keeps its column") << u"abcd|\nx\nabcdef"_s << u"Down, Down"_s << u"abcd\nx\nabcd|ef"_s;
    QTest::newRow("up on the first line stays") << u"ab\nc|d"_s << u"Up, Up"_s << u"a|b\ncd"_s;
    QTest::newRow("shift+up there selects to the start") << u"ab\nc|d"_s << u"Up, Shift+Up"_s << u"|a^b\ncd"_s;
    QTest::newRow("shift+down on the last line to the end") << u"a|b\ncd"_s << u"Down, Shift+Down"_s
                                                             << u"ab\nc^d|"_s;
    QTest::newRow("select all") << u"ab|c\nd"_s << u"Ctrl+A"_s << u"^abc\nd|"_s;
    QTest::newRow("left ends a selection at its start") << u"a^bc|d"_s << u"Left"_s << u"a|bcd"_s;
    QTest::newRow("right ends a selection at its end") << u"a|bc^d"_s << u"Right"_s << u"abc|d"_s;
    QTest::newRow("a move across a line break forgets the column") << u"abc|def\nab\nabcdef\nabcdef"_s
                                                                    << u"Down, Right, Down"_s
                                                                    << u"abcdef\nab\nabcdef\n|abcdef"_s;
    QTest::newRow("down after undo aims from the caret") << u"|abcdef\nab\nabcdef"_s
                                                         << u"Down, End, X, Up, Ctrl+Z, Down"_s
                                                         << u"abcdef\nab\nab|cdef"_s;
    // Editing
    QTest::newRow("typing") << u"ab|"_s << u"X, Y"_s << u"abxy|"_s;
    QTest::newRow("typing over a selection") << u"a^bc|d"_s << u"X"_s << u"ax|d"_s;
    QTest::newRow("enter") << u"ab|cd"_s << u"Return"_s << u"ab\n|cd"_s;
    QTest::newRow("backspace") << u"ab|c"_s << u"Backspace"_s << u"a|c"_s;
    QTest::newRow("backspace joins lines") << u"ab\n|c"_s << u"Backspace"_s << u"ab|c"_s;
    QTest::newRow("backspace a surrogate pair") << u"a\U0001F600|"_s << u"Backspace"_s << u"a|"_s;
    QTest::newRow("delete joins lines") << u"a|\nb"_s << u"Delete"_s << u"a|b"_s;
    QTest::newRow("ctrl+backspace") << u"one two|"_s << u"Ctrl+Backspace"_s << u"one |"_s;
    QTest::newRow("ctrl+delete") << u"|one two"_s << u"Ctrl+Del"_s << u"|two"_s;
    QTest::newRow("ctrl+backspace takes a selection") << u"on^e t|wo"_s << u"Ctrl+Backspace"_s << u"on|wo"_s;
    QTest::newRow("ctrl+delete takes a selection") << u"on|e t^wo"_s << u"Ctrl+Del"_s << u"on|wo"_s;
    // Undo and redo
    QTest::newRow("a typing run is one step") << u"ab|"_s << u"X, Y, Ctrl+Z"_s << u"ab|"_s;
    QTest::newRow("from an empty text too") << u"|"_s << u"X, Y, Ctrl+Z"_s << u"|"_s;
    QTest::newRow("backspaces are one step") << u"abc|"_s << u"Backspace, Backspace, Ctrl+Z"_s << u"abc|"_s;
    QTest::newRow("a move ends the run") << u"ab|"_s << u"X, Left, Y, Ctrl+Z"_s << u"ab|x"_s;
    QTest::newRow("typing on after typing over a selection") << u"a^bc|d"_s << u"X, Y, Z, Ctrl+Z"_s << u"ax|d"_s;
    QTest::newRow("and the selection comes back after") << u"a^bc|d"_s << u"X, Y, Ctrl+Z, Ctrl+Z"_s << u"a^bc|d"_s;
    QTest::newRow("a move there and back ends it too") << u"ab|"_s << u"X, Left, Right, Y, Ctrl+Z"_s << u"abx|"_s;
    QTest::newRow("deletes are undone in order") << u"ab|cd"_s << u"Delete, Delete, Ctrl+Z"_s << u"ab|cd"_s;
    QTest::newRow("a new edit drops what could be redone") << u"ab|"_s << u"X, Ctrl+Z, Y, Ctrl+Z, Ctrl+Z"_s
                                                           << u"ab|"_s;
    QTest::newRow("ctrl+y redoes") << u"ab|"_s << u"X, Ctrl+Z, Ctrl+Y"_s << u"abx|"_s;
    QTest::newRow("ctrl+shift+z redoes") << u"ab|"_s << u"X, Ctrl+Z, Ctrl+Shift+Z"_s << u"abx|"_s;
    QTest::newRow("undo gives the selection back") << u"a^b|"_s << u"Backspace, Ctrl+Z"_s << u"a^b|"_s;
    // Clipboard
    QTest::newRow("copy, paste") << u"a^bc|"_s << u"Ctrl+C, End, Ctrl+V"_s << u"abcbc|"_s;
    QTest::newRow("cut") << u"a^bc|"_s << u"Ctrl+X, Ctrl+V, Ctrl+V"_s << u"abcbc|"_s;
    QTest::newRow("shift+delete, shift+insert") << u"a^b|c"_s << u"Shift+Del, End, Shift+Ins"_s << u"acb|"_s;
    QTest::newRow("ctrl+insert") << u"a^b|c"_s << u"Ctrl+Ins, Home, Shift+Ins"_s << u"b|abc"_s;
}

void TestTextArea::keys()
{
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    setMarked(m_area, before);
    QCOMPARE(marked(m_area), before);
    for (const QString &key : keys.split(u", "_s))
        QTest::keySequence(m_area, QKeySequence::fromString(key));
    QCOMPARE(marked(m_area), after);

    TextEditor editor;
    editor.geometry().setFont(m_area->font());
    const auto [text, anchor, caret] = unmarked(before);
    editor.setText(text);
    editor.setAnchor(anchor);
    editor.moveCaret(caret, true);
    for (const QString &key : keys.split(u", "_s)) {
        const auto command = editorCommand(key);
        if (!command)
            return;
        command(editor);
    }
    QCOMPARE(marked(editor), after);
}

void TestTextArea::typedText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("typed");
    QTest::newRow("letter") << u"a"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("shifted") << u"A"_s << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
    QTest::newRow("AltGr as Ctrl+Alt") << u"@"_s << (Qt::ControlModifier | Qt::AltModifier) << true;
    QTest::newRow("ZWNJ on a Persian layout") << u"\u200C"_s << Qt::KeyboardModifiers(Qt::ShiftModifier) << true;
    QTest::newRow("ZWJ") << u"\u200D"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("left-to-right mark") << u"\u200E"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("right-to-left mark") << u"\u200F"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("private use") << u"\uE000"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("emoji") << u"\U0001F600"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("CJK extension B") << u"\U00020000"_s << Qt::KeyboardModifiers() << true;
    QTest::newRow("Ctrl+letter is a command") << u"\x01"_s << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    QTest::newRow("escape") << u"\x1b"_s << Qt::KeyboardModifiers() << false;
}

// What a key types lands in the text, and the window's shortcuts leave it be.
void TestTextArea::typedText()
{
    QFETCH(QString, text);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, typed);
    setMarked(m_area, u"a|b"_s);
    QKeyEvent override(QEvent::ShortcutOverride, Qt::Key_unknown, modifiers, text);
    QApplication::sendEvent(m_area, &override);
    QCOMPARE(override.isAccepted(), typed);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, modifiers, text);
    QApplication::sendEvent(m_area, &press);
    QCOMPARE(marked(m_area), typed ? u"a"_s + text + u"|b"_s : u"a|b"_s);
}

// Line breaks go out to the clipboard as LF, once each, and every kind that
// comes in is a line break.
void TestTextArea::lineBreaksOnTheClipboard()
{
    setMarked(m_area, u"^a\n\nb|"_s);
    QTest::keyClick(m_area, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), u"a\n\nb"_s);
    QGuiApplication::clipboard()->setText(u"x\ny\rz\r\n"_s);
    setMarked(m_area, u"a|"_s);
    QTest::keyClick(m_area, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(marked(m_area), u"ax\ny\nz\n|"_s);
    QCOMPARE(m_area->lineCount(), 4);
}

// Characters that other editors take as line breaks or drop stay as they are.
void TestTextArea::everyOtherCharacterIsKept()
{
    const QString text = u"nul\0 ls\u2028 ps\u2029 nonchar\uFDD0\uFFFF lone\xD800 tab\t bom\uFEFF"_s;
    m_area->setText(text);
    QCOMPARE(m_area->text(), text);
    QCOMPARE(m_area->lineCount(), 1);
    QTest::keyClick(m_area, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(m_area->text(), QString());
    QTest::keyClick(m_area, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(m_area->text(), text);
}

void TestTextArea::mouseSelects()
{
    m_area->setText(u"anna@example.com\r\nbruno@example.org"_s);
    QWidget *view = m_area->viewport();
    const QPoint second = m_area->caretRect().center() + QPoint(0, m_area->caretRect().height());
    QTest::mouseClick(view, Qt::LeftButton, {}, second + QPoint(30, 0));
    const qsizetype clicked = m_area->caretPosition();
    QVERIFY(clicked > 18 && clicked < 30);
    // Below the text, a click counts as one in the last line.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(second.x() + 30, view->height() - 3));
    QCOMPARE(m_area->caretPosition(), clicked);
    QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 2));
    QCOMPARE(m_area->anchorPosition(), clicked);
    QCOMPARE(m_area->caretPosition(), 0);

    // A click on the selection puts the caret there; a press and drag then
    // selects anew.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(6, 8));
    QVERIFY(!m_area->hasSelection());
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(6, 8));
    QTest::mouseMove(view, second + QPoint(200, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, second + QPoint(200, 0));
    QCOMPARE(m_area->selectedText(), m_area->text());

    QTest::mouseDClick(view, Qt::LeftButton, {}, second + QPoint(10, 0));
    QCOMPARE(m_area->selectedText(), u"bruno"_s);
    // A press on the character just after the selection is no press on it.
    bool dragged = false;
    m_area->setDragRunner([&](std::unique_ptr<QMimeData>) {
        dragged = true;
        return Qt::IgnoreAction;
    });
    const QPoint justAfter = m_area->caretRectAt(23).center() + QPoint(2, 0);
    QTest::mousePress(view, Qt::LeftButton, {}, justAfter);
    QTest::mouseMove(view, second + QPoint(200, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, second + QPoint(200, 0));
    QVERIFY(!dragged);
    QCOMPARE(m_area->selectedText(), u"@example.org"_s);
    QTest::mouseDClick(view, Qt::LeftButton, {}, second + QPoint(10, 0));

    // Down after a click aims from the click, not from an earlier Up or Down.
    QTest::keyClick(m_area, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_Up);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 8));
    QTest::keyClick(m_area, Qt::Key_Down);
    QCOMPARE(m_area->caretPosition(), 18);
}

// A double click selects a word and a triple click a line with its line
// break; dragging on from either extends by whole words or lines.
void TestTextArea::multipleClicksSelectWordsAndLines()
{
    m_area->setText(u"one two three\r\ncd\r\nef"_s);
    QWidget *view = m_area->viewport();
    const auto at = [this](qsizetype position) { return m_area->caretRectAt(position).center() + QPoint(1, 0); };
    QTest::mouseDClick(view, Qt::LeftButton, {}, at(1));
    QCOMPARE(m_area->selectedText(), u"one"_s);
    QTest::mouseClick(view, Qt::LeftButton, {}, at(1));
    QCOMPARE(m_area->selectedText(), u"one two three\r\n"_s);

    // The second click of a double click stays pressed and drags.
    const auto doubleClickAndHold = [view](QPoint point) {
        QTest::mouseClick(view, Qt::LeftButton, {}, point);
        QTest::mousePress(view, Qt::LeftButton, {}, point);
        QMouseEvent second(QEvent::MouseButtonDblClick, point, view->mapToGlobal(point), Qt::LeftButton,
                           Qt::LeftButton, {});
        QApplication::sendEvent(view, &second);
    };
    QTest::mouseClick(view, Qt::LeftButton, {}, at(30));
    doubleClickAndHold(at(5));
    QTest::mouseMove(view, at(10));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(10));
    QCOMPARE(m_area->selectedText(), u"two three"_s);
    // Dragged back before the word and into it again, the word alone.
    QTest::mouseClick(view, Qt::LeftButton, {}, at(30));
    doubleClickAndHold(at(5));
    QTest::mouseMove(view, at(1));
    QCOMPARE(m_area->selectedText(), u"one two"_s);
    QTest::mouseMove(view, at(5));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(5));
    QCOMPARE(m_area->selectedText(), u"two"_s);
    QTest::mouseClick(view, Qt::LeftButton, {}, at(30));
    QTest::mouseDClick(view, Qt::LeftButton, {}, at(18));
    QTest::mousePress(view, Qt::LeftButton, {}, at(18));
    QTest::mouseMove(view, at(21));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at(21));
    QCOMPARE(m_area->selectedText(), u"cd\r\nef"_s);
}

void TestTextArea::draggingTheSelection_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("dropAt"); // -1: dropped on another program
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<Qt::DropAction>("elsewhere");
    QTest::addColumn<QString>("after");
    const Qt::KeyboardModifiers none;
    QTest::newRow("moved") << u"^abc| def"_s << 7 << none << Qt::IgnoreAction << u" def^abc|"_s;
    QTest::newRow("moved back") << u"abc ^def|"_s << 0 << none << Qt::IgnoreAction << u"^def|abc "_s;
    QTest::newRow("copied with Ctrl") << u"^abc| def"_s << 7 << Qt::KeyboardModifiers(Qt::ControlModifier)
                                      << Qt::IgnoreAction << u"abc def^abc|"_s;
    QTest::newRow("dropped onto itself") << u"^abc| def"_s << 2 << none << Qt::IgnoreAction << u"^abc| def"_s;
    QTest::newRow("moved to another program") << u"^a\nbc| def"_s << -1 << none << Qt::MoveAction << u"| def"_s;
    QTest::newRow("copied to another program") << u"^a\nbc| def"_s << -1 << none << Qt::CopyAction << u"^a\nbc| def"_s;
}

// A selection dragged within the area moves (with Ctrl, is copied) in one
// step that one undo takes back; dragged out, it leaves as plain text.
void TestTextArea::draggingTheSelection()
{
    QFETCH(QString, before);
    QFETCH(int, dropAt);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Qt::DropAction, elsewhere);
    QFETCH(QString, after);
    setMarked(m_area, before);
    const QString original = m_area->text();
    const QString selectedBefore = withLfLineBreaks(m_area->selectedText());
    QWidget *view = m_area->viewport();
    QString dragged;
    m_area->setDragRunner([&](std::unique_ptr<QMimeData> data) {
        dragged = data->text();
        if (dropAt < 0)
            return elsewhere;
        const QPoint point = m_area->caretRectAt(dropAt).center();
        QDragEnterEvent enter(point, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(view, &enter);
        QDropEvent drop(point, Qt::CopyAction | Qt::MoveAction, data.get(), Qt::LeftButton, modifiers);
        QApplication::sendEvent(view, &drop);
        return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
    });
    const qsizetype selected = qMin(m_area->caretPosition(), m_area->anchorPosition());
    const QPoint start = m_area->caretRectAt(selected).center() + QPoint(2, 0);
    QTest::mousePress(view, Qt::LeftButton, {}, start);
    QTest::mouseMove(view, start + QPoint(QApplication::startDragDistance() + 10, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, start + QPoint(QApplication::startDragDistance() + 10, 0));
    QCOMPARE(dragged, selectedBefore);
    QCOMPARE(marked(m_area), after);
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_area->text(), original);
}

// Selected line breaks show as a space's width of the selection colour, so
// that a selection over empty lines can be seen.
void TestTextArea::selectedLineBreaksShow()
{
    setMarked(m_area, u"^a\n\nb|"_s);
    const QImage view = m_area->viewport()->grab().toImage();
    const QRect blankLine = m_area->caretRectAt(3);
    const QColor highlight = m_area->palette().color(QPalette::Highlight);
    QCOMPARE(view.pixelColor(blankLine.center() + QPoint(2, 0)), highlight);
    const QRect afterA = m_area->caretRectAt(1);
    QCOMPARE(view.pixelColor(afterA.center() + QPoint(2, 0)), highlight);
    QVERIFY(view.pixelColor(afterA.center() + QPoint(40, 0)) != highlight);
    // The selected letter stands on the highlight too.
    const QRect b = m_area->caretRectAt(5).united(m_area->caretRectAt(6));
    int lit = 0;
    for (int y = b.top(); y <= b.bottom(); ++y)
        for (int x = b.left(); x <= b.right(); ++x)
            lit += view.pixelColor(x, y) == highlight;
    QVERIFY(lit > b.width() * b.height() / 4);
}

void TestTextArea::doubleClickAtTheRightEdge_data()
{
    QTest::addColumn<int>("fromEdge");
    for (int fromEdge : {1, 3, 6, 12})
        QTest::addRow("%d px from the edge", fromEdge) << fromEdge;
}

// A double-click selects the word under the pointer, however close to the
// edge: the press scrolls no more than it must to show the caret.
void TestTextArea::doubleClickAtTheRightEdge()
{
    QFETCH(int, fromEdge);
    m_area->resize(300, 200);
    QStringList words;
    for (int i = 0; i < 60; ++i)
        words << u"word%1"_s.arg(i);
    m_area->setText(words.join(u' '));
    const QPoint point(m_area->viewport()->width() - fromEdge, 10);
    const qsizetype under = m_area->positionAt(point, QTextLine::CursorOnCharacter);
    QTest::mouseClick(m_area->viewport(), Qt::LeftButton, {}, point);
    QVERIFY(m_area->horizontalScrollBar()->value() < 10);
    QTest::mouseDClick(m_area->viewport(), Qt::LeftButton, {}, point);
    const qsizetype start = qMin(m_area->caretPosition(), m_area->anchorPosition());
    const QString selected = m_area->selectedText();
    QVERIFY2(start <= under && under < start + selected.size(), qPrintable(selected));
    QVERIFY2(selected == u" "_s || QRegularExpression(u"^word\\d+$"_s).match(selected).hasMatch(), qPrintable(selected));
}

void TestTextArea::wheelAndCaretScroll()
{
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << u"line %1 "_s.arg(i) + QString(i == 50 ? 400 : 1, u'w');
    m_area->setText(lines.join(u"\r\n"_s));
    QScrollBar *vertical = m_area->verticalScrollBar();
    QScrollBar *horizontal = m_area->horizontalScrollBar();
    const QPoint middle = m_area->viewport()->rect().center();
    QWheelEvent down(middle, m_area->viewport()->mapToGlobal(middle), {}, QPoint(0, -120), Qt::NoButton, {},
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_area->viewport(), &down);
    QCOMPARE(vertical->value(), QApplication::wheelScrollLines());
    QWheelEvent sideways(middle, m_area->viewport()->mapToGlobal(middle), {}, QPoint(0, -120), Qt::NoButton,
                         Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_area->viewport(), &sideways);
    QVERIFY(horizontal->value() > 0);
    // Dragging a scroll bar shows the text anew.
    QCoreApplication::processEvents();
    const PaintedRegion painted(m_area->viewport());
    vertical->setValue(vertical->value() + 5);
    QTRY_VERIFY((QRegion(m_area->viewport()->rect()) - painted.region).isEmpty());

    QTest::keyClick(m_area, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(vertical->value(), vertical->maximum());
    QVERIFY(m_area->viewport()->rect().contains(m_area->caretRect()));
    QTest::keyClick(m_area, Qt::Key_PageUp);
    const QString pageUp = u"line %1 w"_s.arg(99 - vertical->pageStep());
    QCOMPARE(m_area->caretPosition(), m_area->text().indexOf(pageUp) + pageUp.size());
}

// The horizontal range grows with a pasted long line and shrinks when the
// widest line goes.
void TestTextArea::horizontalRangeFollowsTheWidestLine()
{
    QScrollBar *horizontal = m_area->horizontalScrollBar();
    setMarked(m_area, u"short\n|"_s);
    QCOMPARE(horizontal->maximum(), 0);
    QGuiApplication::clipboard()->setText(u"someone@example.com,"_s.repeated(5000));
    QTest::keyClick(m_area, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(horizontal->maximum() > 100'000);
    QVERIFY(m_area->viewport()->rect().contains(m_area->caretRect()));
    QTest::keyClick(m_area, Qt::Key_Backspace, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_Delete);
    QCOMPARE(horizontal->maximum(), 0);
    QCOMPARE(horizontal->value(), 0);
    // A tab is as wide as it stands, in a short line and in a long one cut
    // into chunks: End shows the line's end.
    for (const int letters : {200, 300}) {
        m_area->setText(QString(letters, u'a') + u"\tTAB"_s);
        QTest::keyClick(m_area, Qt::Key_End);
        QVERIFY2(m_area->viewport()->rect().contains(m_area->caretRect()), qPrintable(QString::number(letters)));
    }
    // A whole new text filled away from the window has the range the same
    // text set here has: with letters the area has not met yet (first), a
    // line cut into chunks, the widest line among others, more lines of
    // letters not met than the filling lists (the widest last), and a font
    // changed while the text was being filled.
    const QList<QStringList> texts = {{u"ab"_s, u"\u0416"_s.repeated(80), u"x"_s},
                                      QStringList(5000, u"\u03B1"_s) << u"\u03B2"_s.repeated(90),
                                      {u"ab"_s, QString(300, u'w'), u"x"_s},
                                      {u"x"_s, u"someone@example.com"_s.repeated(4), u"ab"_s},
                                      {u"x"_s, u"someone@example.com"_s.repeated(4), u"ab"_s}};
    for (qsizetype i = 0; i < texts.size(); ++i) {
        TextArea::NewText filled = m_area->newText();
        if (i == texts.size() - 1)
            m_area->setFont(QFont(m_area->font().family(), m_area->font().pointSize() * 2));
        filled.setLines(QList<QStringView>(texts[i].begin(), texts[i].end()));
        m_area->replaceText(std::move(filled));
        const int range = horizontal->maximum();
        m_area->setText(texts[i].join(u"\r\n"_s));
        QVERIFY(range > 0);
        QCOMPARE(range, horizontal->maximum());
    }
    // No lines at all make an empty text that takes typing.
    TextArea::NewText none = m_area->newText();
    none.setLines({});
    m_area->replaceText(std::move(none));
    QTest::keyClicks(m_area, u"a\rb"_s);
    QCOMPARE(m_area->text(), u"a\r\nb"_s);
    QCOMPARE(m_area->lineView(0), u"a"_s);
}

// A whole new text of a million characters and more is read in two parts
// at once: every line stands where it does, and the range is the one the
// same text set here has, with the widest line in either part or last,
// letters not met yet in the second (a wide line of them, then more lines of
// them than the filling lists), LFs to be made CR LF with one at the text's
// end, and after the widest line goes.
void TestTextArea::longNewTextsAreReadInTwoPartsAlike()
{
    QScrollBar *horizontal = m_area->horizontalScrollBar();
    const QString armenian = u"\u0561\u0562"_s;
    const auto text = [](qsizetype wide, const QString &wideLine, qsizetype from, const QString &others) {
        QStringList lines;
        for (qsizetype i = 0; i < 40'000; ++i)
            lines << (i == wide ? wideLine : i >= from ? others : u"line %1 someone@example.com"_s.arg(i));
        return lines.join(u"\r\n"_s);
    };
    const auto hasLines = [this](const QString &whole) {
        const QStringList lines = whole.split(QRegularExpression(u"\r\n|\n"_s));
        bool same = m_area->lineCount() == lines.size();
        for (qsizetype line = 0; same && line < lines.size(); ++line)
            same = m_area->lineView(line) == lines[line];
        return same;
    };
    const QStringList texts = {text(2'000, QString(200, u'w'), 40'000, {}),
                               text(30'000, QString(200, u'w'), 40'000, {}).replace(u"\r\n"_s, u"\n"_s) + u"\n"_s,
                               text(30'000, armenian.repeated(100), 40'000, {}),
                               text(39'999, armenian.repeated(100), 34'000, armenian),
                               text(39'999, QString(200, u'w'), 40'000, {})};
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString &whole = texts[i];
        QVERIFY(whole.size() > 1'100'000);
        // A font set over an empty text has met no letters yet.
        m_area->setText({});
        m_area->setFont(QFont(m_area->font().family(), 9 + int(i)));
        TextArea::NewText filled = m_area->newText();
        filled.setText(whole);
        m_area->replaceText(std::move(filled));
        const int range = horizontal->maximum();
        QVERIFY(hasLines(whole));
        m_area->setText(whole);
        QCOMPARE(range, horizontal->maximum());
        QVERIFY(hasLines(whole));
    }
    // Pasted, as long a text goes in likewise.
    QGuiApplication::clipboard()->setText(texts[0]);
    m_area->setSelection(1, 1);
    QTest::keyClick(m_area, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(hasLines(texts.back().first(1) + texts[0] + texts.back().sliced(1)));
    // The widest line noted in the second part is the one that goes.
    m_area->setFont(QFont(m_area->font().family(), 14));
    TextArea::NewText filled = m_area->newText();
    filled.setText(texts[1]);
    m_area->replaceText(std::move(filled));
    const qsizetype wide = m_area->text().indexOf(u'w');
    m_area->setSelection(wide, wide + 202);
    QTest::keyClick(m_area, Qt::Key_Delete);
    const int range = horizontal->maximum();
    m_area->setText(m_area->text());
    QCOMPARE(range, horizontal->maximum());
}

// A new text of some of the area's lines, as tidying makes one, is undone
// and redone from the lines it chose: the area keeps no copy of the old text.
void TestTextArea::chosenLinesAreUndoneWithoutTheOldText()
{
    const QString old = u"b\r\n\r\na"_s;
    const QString own(old.data(), old.size());
    m_area->setText(own);
    {
        const QList<QStringView> lines = LineJoiner::cutAtLineBreaks(own);
        TextArea::NewText sorted = m_area->newText();
        sorted.setLines({lines[2], lines[0]}, *LineChoice::of(lines, {2, 0}));
        m_area->replaceText(std::move(sorted));
    }
    QVERIFY(own.isDetached());
    for (const auto &[key, text] : {std::pair{Qt::Key_Z, old}, std::pair{Qt::Key_Y, u"a\r\nb"_s}}) {
        QTest::keyClick(m_area, key, Qt::ControlModifier);
        QCOMPARE(m_area->text(), text);
    }
}

void TestTextArea::caretStepsOverWholeCharactersAtChunkBorders_data()
{
    QTest::addColumn<QString>("character");
    QTest::newRow("surrogate pair") << u"\U0001F600"_s;
    QTest::newRow("letter and marks") << u"e\u0301\u0302"_s;
    QTest::newRow("emoji sequence") << u"\U0001F468\u200D\U0001F469\u200D\U0001F467"_s;
    QTest::newRow("skin tone") << u"\U0001F44D\U0001F3FD"_s;
    // A sign that joins the letter after it, itself a plain Latin one.
    QTest::newRow("prepended sign") << u"\u0D4Ea"_s;
}

// In a long line, a character made of several code units or code points
// that straddles the usual chunk length is stepped over whole.
void TestTextArea::caretStepsOverWholeCharactersAtChunkBorders()
{
    QFETCH(QString, character);
    for (qsizetype before = 250; before < 256; ++before) {
        m_area->setText(QString(before, u'x') + character + QString(300, u'y'));
        m_area->setSelection(before, before);
        QTest::keyClick(m_area, Qt::Key_Right);
        QCOMPARE(m_area->caretPosition(), before + character.size());
        QTest::keyClick(m_area, Qt::Key_Left);
        QCOMPARE(m_area->caretPosition(), before);
        QTest::keyClick(m_area, Qt::Key_Delete);
        QCOMPARE(m_area->text(), QString(before, u'x') + QString(300, u'y'));
    }
}

// At 144 dpi Qt scales by one and a half and rounds the scroll bars' places
// over the frame; the frame must still show on every side. The scale is set
// before the application starts, so this runs in a process of its own.
void TestTextArea::frameShowsAtFractionalScales()
{
    if (qEnvironmentVariable("QT_FONT_DPI") != u"144") {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_FONT_DPI"_s, u"144"_s);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {u"frameShowsAtFractionalScales"_s});
        QVERIFY(child.waitForFinished(60'000));
        QVERIFY2(child.exitCode() == 0, child.readAll().constData());
        return;
    }
    const QImage window = m_driver->form->grab().toImage();
    const qreal scale = window.devicePixelRatio();
    QCOMPARE(scale, 1.5);
    const QRect area(m_area->mapTo(m_driver->form.get(), QPoint(0, 0)), m_area->QWidget::size());
    const auto darkest = [&](int fromX, int toX, int fromY, int toY) {
        int least = 255;
        for (int x = fromX; x <= toX; ++x)
            for (int y = fromY; y <= toY; ++y)
                least = qMin(least, qGray(window.pixel(x, y)));
        return least;
    };
    const int middleY = int((area.top() + area.height() / 2) * scale);
    const int middleX = int((area.left() + area.width() / 2) * scale);
    const int right = int(std::ceil((area.right() + 1) * scale)) - 1;
    const int bottom = int(std::ceil((area.bottom() + 1) * scale)) - 1;
    QVERIFY2(darkest(right - 2, right, middleY, middleY) < 220, "no right border");
    QVERIFY2(darkest(middleX, middleX, bottom - 2, bottom) < 220, "no bottom border");
}

void TestTextArea::contextMenuOffersWhatApplies()
{
    setMarked(m_area, u"a^b|c"_s);
    QGuiApplication::clipboard()->clear();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_area->viewport()->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(m_area->viewport(), &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QStringList enabled;
    for (QAction *action : menu->actions())
        if (!action->isSeparator())
            enabled << action->text().remove(u'&') + (action->isEnabled() ? u"+"_s : u"-"_s);
    menu->close();
    QCOMPARE(enabled.mid(0, 7), QStringList({u"Undo-"_s, u"Redo-"_s, u"Cut+"_s, u"Copy+"_s, u"Paste-"_s,
                                             u"Delete+"_s, u"Select All+"_s}));
}

void TestTextArea::inputMethodsComposeInPlace()
{
    setMarked(m_area, u"caf|"_s);
    QInputMethodEvent composing(u"e"_s, {});
    QApplication::sendEvent(m_area, &composing);
    QCOMPARE(m_area->text(), u"caf"_s);
    QInputMethodEvent committed;
    committed.setCommitString(u"\u00e9"_s);
    QApplication::sendEvent(m_area, &committed);
    QCOMPARE(marked(m_area), u"caf\u00e9|"_s);

    // What is composed shows in the line, pushing the rest right, with the
    // caret inside it: as the text would show were it typed.
    const QList<QInputMethodEvent::Attribute> plain = {{QInputMethodEvent::TextFormat, 0, 2, QTextCharFormat()},
                                                       {QInputMethodEvent::Cursor, 1, 1}};
    // In a long line, next to a chunk's end, at the same scroll.
    const QString longLine = u"a,"_s.repeated(127) + u"|"_s + u"a,"_s.repeated(200);
    for (const QString &line : {u"Nguy|en@example.com"_s, u"Nguyen@example.com|"_s, longLine}) {
        setMarked(m_area, line);
        const int scroll = line == longLine ? 1000 : 0;
        QInputMethodEvent inTheMiddle(u"\u1EC5x"_s, plain);
        QApplication::sendEvent(m_area, &inTheMiddle);
        m_area->horizontalScrollBar()->setValue(scroll);
        const QImage composed = m_area->viewport()->grab().toImage();
        const QRect caret = m_area->caretRect();
        // The input method's candidate window stands at the caret.
        QCOMPARE(m_area->inputMethodQuery(Qt::ImCursorRectangle).toRect(), caret.translated(m_area->viewport()->pos()));
        setMarked(m_area, QString(line).replace(u"|"_s, u"\u1EC5|x"_s));
        m_area->horizontalScrollBar()->setValue(scroll);
        QCOMPARE(m_area->caretRect(), caret);
        QCOMPARE(composed, m_area->viewport()->grab().toImage());
        QApplication::sendEvent(m_area, &committed);
    }

    m_area->setText(QString(100'000, u'x'));
    QTest::keyClick(m_area, Qt::Key_End);
    const QString around = m_area->inputMethodQuery(Qt::ImSurroundingText).toString();
    QVERIFY(around.size() <= 1024);
    QCOMPARE(m_area->inputMethodQuery(Qt::ImCursorPosition).toInt(), around.size());
    QCOMPARE(m_area->inputMethodQuery(Qt::ImAbsolutePosition).toLongLong(), 100'000);
}

void TestTextArea::inputMethodReplacements_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("commit");
    QTest::addColumn<QString>("after");
    QTest::newRow("a line break goes whole") << u"ab\n|cd"_s << -1 << 1 << QString() << u"ab|cd"_s;
    QTest::newRow("so does a surrogate pair") << u"a\U0001F600|b"_s << -1 << 1 << QString() << u"a|b"_s;
    QTest::newRow("a letter replaced") << u"ab|c"_s << -1 << 1 << u"X"_s << u"aX|c"_s;
    QTest::newRow("after the caret") << u"a|bc"_s << 0 << 2 << u"Y"_s << u"aY|"_s;
    QTest::newRow("an end inside an emoji takes it whole") << u"|a\U0001F600b"_s << 0 << 2 << u"X"_s << u"X|b"_s;
    QTest::newRow("an end inside a line break takes it whole") << u"a|b\ncd"_s << 0 << 2 << u"X"_s << u"aX|cd"_s;
}

// What an input method replaces changes the text as an edit would, and
// undoing it gives the text back exactly.
void TestTextArea::inputMethodReplacements()
{
    QFETCH(QString, before);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(QString, commit);
    QFETCH(QString, after);
    setMarked(m_area, before);
    const QString original = m_area->text();
    QInputMethodEvent event;
    event.setCommitString(commit, start, length);
    QApplication::sendEvent(m_area, &event);
    QCOMPARE(marked(m_area), after);
    QCOMPARE(m_area->lineCount(), QString(after).split(u'\n').size());
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_area->text(), original);
}

// Screen readers read the whole text of a list (bounded only beyond a
// megabyte), count a line break as one character, hear of every edit and
// caret move, and may edit the text themselves.
void TestTextArea::screenReadersReadFollowAndEdit()
{
    m_area->setText(QString(100'000, u'x') + u"\r\nlast"_s);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(m_area);
    QVERIFY(accessible && accessible->textInterface() && accessible->editableTextInterface());
    QAccessibleTextInterface *text = accessible->textInterface();
    QCOMPARE(accessible->role(), QAccessible::EditableText);
    QCOMPARE(text->characterCount(), 100'005);
    QCOMPARE(text->text(0, text->characterCount()), QString(100'000, u'x') + u"\nlast"_s);
    QCOMPARE(accessible->text(QAccessible::Value).size(), 100'005);
    QTest::keyClick(m_area, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(text->cursorPosition(), 100'005);
    int start = 0;
    int end = 0;
    QCOMPARE(text->textAtOffset(100'003, QAccessible::LineBoundary, &start, &end), u"last"_s);
    QCOMPARE(start, 100'001);
    QCOMPARE(text->textAtOffset(100'003, QAccessible::WordBoundary, &start, &end), u"last"_s);
    text->setSelection(0, 100'001, 100'005);
    QCOMPARE(m_area->selectedText(), u"last"_s);
    m_area->setText(u"one two three"_s);
    QCOMPARE(text->textBeforeOffset(5, QAccessible::WordBoundary, &start, &end), u" "_s);
    QCOMPARE(std::pair(start, end), std::pair(3, 4));
    QCOMPARE(text->textAfterOffset(5, QAccessible::WordBoundary, &start, &end), u" "_s);
    QCOMPARE(text->textAtOffset(5, QAccessible::NoBoundary, &start, &end), u"one two three"_s);
    QCOMPARE(std::pair(start, end), std::pair(0, 13));
    m_area->setText(QString(100'000, u'x') + u"\r\nlast"_s);

    QList<std::pair<QAccessible::Event, int>> heard;
    TextAreaAccessibility::setListener([&](const QAccessibleEvent &event) {
        const int where = event.type() == QAccessible::TextCaretMoved
                              ? static_cast<const QAccessibleTextCursorEvent &>(event).cursorPosition()
                          : event.type() == QAccessible::TextUpdated
                              ? static_cast<const QAccessibleTextUpdateEvent &>(event).changePosition()
                              : -1;
        heard.append({event.type(), where});
    });
    setMarked(m_area, u"ab\ncd|"_s);
    heard.clear();
    QTest::keyClick(m_area, Qt::Key_Z);
    QTest::keyClick(m_area, Qt::Key_Return);
    QTest::keyClick(m_area, Qt::Key_Backspace);
    const QList<std::pair<QAccessible::Event, int>> expected = {
        {QAccessible::TextUpdated, 5}, {QAccessible::TextCaretMoved, 6}, {QAccessible::TextUpdated, 6},
        {QAccessible::TextCaretMoved, 7}, {QAccessible::TextUpdated, 6}, {QAccessible::TextCaretMoved, 6}};
    TextAreaAccessibility::setListener({});
    QCOMPARE(heard, expected);

    accessible->editableTextInterface()->replaceText(3, 5, u"XY"_s);
    QCOMPARE(marked(m_area), u"ab\nXY|z"_s);
    accessible->editableTextInterface()->deleteText(2, 3);
    QCOMPARE(marked(m_area), u"ab|XYz"_s);
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_area->text(), u"ab\r\ncdz"_s);

    m_area->setText(QString(2'000'000, u'y'));
    QCOMPARE(text->text(0, text->characterCount()).size(), 1 << 20);
}

void TestTextArea::complexScriptsEdit()
{
    const QString text = u"\u0645\u0631\u062d\u0628\u0627 abc\r\n\u0928\u092e\u0938\u094d\u0924\u0947\r\ne\u0301\u0301x"_s;
    m_area->setText(QString(text).repeated(100));
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(m_area, Qt::Key_Right, i % 3 ? Qt::NoModifier : Qt::ShiftModifier);
    QTest::keyClick(m_area, Qt::Key_Q);
    QTest::keyClick(m_area, Qt::Key_Backspace);
    QTest::keyClick(m_area, Qt::Key_Backspace);
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(m_area, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(m_area->text(), QString(text).repeated(100));
    m_area->repaint();
}

// The end of a joined line of a million addresses is where a Ctrl+End puts
// the caret, takes what is typed, and is drawn inside the view.
void TestTextArea::millionItemLineEndsWhereTheCaretGoes()
{
    QStringList items;
    for (int i = 0; i < 1'000'000; ++i)
        items << u"someone.%1@example.com"_s.arg(i);
    m_driver->input()->setText(items.join(u"\r\n"_s));
    TextArea *output = m_driver->output();
    // Large letters make the line wider than an int can count in pixels.
    QFont large = output->font();
    large.setPixelSize(160);
    output->setFont(large);
    output->resize(output->width(), 300);
    m_driver->click("PushButton17");
    output->setFocus();
    QTest::keyClick(output, Qt::Key_End, Qt::ControlModifier);
    QCOMPARE(output->caretPosition(), output->size());
    QTest::keyClick(output, Qt::Key_Z);
    QVERIFY(output->text().endsWith(u",someone.999999@example.comz"_s));

    const QRect caret = output->caretRect();
    QVERIFY(output->viewport()->rect().contains(caret));
    QCOMPARE(output->positionAt(caret.center()), output->size());
    const qsizetype addressStart = output->size() - 28;
    const qsizetype hit = output->positionAt(caret.center() - QPoint(100, 0));
    QVERIFY2(hit > addressStart && hit < output->size(), qPrintable(QString::number(output->size() - hit)));
}

void TestTextArea::caretStandsWhereTheStockBoxPutsIt_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("Hebrew across a chunk border") << QString(252, u'x') + u" \u05D0\u05D0 "_s + QString(10, u'\u05D1') + u" end"_s;
    QTest::newRow("a short Hebrew run at the border") << QString(253, u'x') + u" \u05D0\u05D1\u05D2\u05D3 "_s + QString(40, u'y');
    QTest::newRow("a short Arabic run at the border") << QString(254, u'x') + u"\u0645\u062D\u0645\u062F"_s + QString(40, u'y');
    QTest::newRow("a long Hebrew run") << u"abc "_s + u"\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD "_s.repeated(300) + u"def"_s;
    QTest::newRow("joined Arabic addresses")
        << u"\u0645\u062D\u0645\u062F@\u0645\u062B\u0627\u0644.\u0645\u0635\u0631,"_s.repeated(200);
    QTest::newRow("Arabic with numbers") << u"\u0628\u0628 12, \u062C\u062C "_s.repeated(300);
    QTest::newRow("emoji sequences") << u"\U0001F44D\U0001F3FD\U0001F468\u200D\U0001F469\u200D\U0001F467 a@b.c "_s.repeated(40);
    QTest::newRow("combining marks") << (u"e"_s + QString(300, u'\u0301') + u" x"_s).repeated(3);
    QTest::newRow("an emoji with hundreds of marks")
        << (QString(200, u'x') + u"\U0001F600"_s + QString(300, u'\u0301') + u" y"_s).repeated(2);
    QTest::newRow("an explicit embedding") << u"abc \u202B"_s + u"\u05E9\u05DC\u05D5\u05DD abc "_s.repeated(100) + u"\u202C def"_s;
    QTest::newRow("tabs") << QString(290, u'a') + u"\tb"_s + QString(100, u'c') + u"\t\td"_s;
    QTest::newRow("soft hyphens") << u"name\u00ADpart@example.com,"_s.repeated(60);
    QTest::newRow("Devanagari") << u"\u0928\u092E\u0938\u094D\u0924\u0947 \u0926\u0941\u0928\u093F\u092F\u093E "_s.repeated(40);
}

// Shaped, right-to-left and long lines: at every place a caret may stand,
// it stands where Qt's stock editor, laying the line out whole, puts it.
void TestTextArea::caretStandsWhereTheStockBoxPutsIt()
{
    QFETCH(QString, line);
    m_area->setText(line);
    QPlainTextEdit stock;
    stock.setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont font = m_area->font();
    font.setKerning(false);
    stock.setFont(font);
    // Lines run left to right here, as in the classic edit box, whatever
    // their first letter; the stock box would pick each line's direction.
    QTextOption leftToRight = stock.document()->defaultTextOption();
    leftToRight.setTextDirection(Qt::LeftToRight);
    stock.document()->setDefaultTextOption(leftToRight);
    stock.setPlainText(line);
    stock.resize(m_area->QWidget::size());
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, line);
    QStringList wrong;
    for (qsizetype p = 0; p <= line.size(); ++p) {
        graphemes.setPosition(p);
        if (!graphemes.isAtBoundary())
            continue;
        QTextCursor cursor(stock.document());
        cursor.setPosition(int(p));
        const int expected = stock.cursorRect(cursor).x() + stock.horizontalScrollBar()->value();
        const int actual = m_area->caretRectAt(p).x() + m_area->horizontalScrollBar()->value();
        if (qAbs(expected - actual) > 1)
            wrong << u"%1: %2 not %3"_s.arg(p).arg(actual).arg(expected);
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.mid(0, 10).join(u"; "_s) + u" (%1 in all)"_s.arg(wrong.size())));
}

QTEST_MAIN(TestTextArea)
#include "tst_textarea.moc"
