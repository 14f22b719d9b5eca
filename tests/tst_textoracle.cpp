// The text area against Qt's stock editor as an oracle: both get the same
// seeded random keys and clicks, and after every step they must hold the same
// text, caret, selection and clipboard.
//
// Left out on purpose, each for a difference we chose:
// - Ctrl+Left/Right, Ctrl+Backspace/Delete and double clicks: words here
//   follow Unicode's word boundaries; the stock editor stops at its own list
//   of punctuation.
// - Undo and redo step by step: a run of typing here ends when the caret
//   moves; the stock editor merges any edits that touch. Undoing and redoing
//   everything must still give back the first and the last text.
// - Page Up/Down: the two have different line heights and margins.
// - Shift+click once a key was pressed after a double or triple click: it
//   extends by characters here, by words or lines in the stock editor until
//   the next plain click. Shift+clicks wait for a plain click after a
//   triple click.
// - A click on selected text: both put the caret there, but the stock
//   editor keeps how the selection was made, and where it began, for the
//   next Shift+click. Clicks go where nothing is selected.
// - Right-to-left letters: Left and Right move through the text's order
//   here, as the classic edit box does; the stock editor moves visually.
// - Line and paragraph separators, CR and tabs: the stock editor makes the
//   first three into paragraph breaks; Tab moves the focus here.
#include "core/LineBreaks.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBoundaryFinder>

using namespace Qt::StringLiterals;

namespace {

constexpr int sequences = 100;
constexpr int stepsPerSequence = 400;

struct Side
{
    QString text;
    qsizetype caret = 0;
    qsizetype anchor = 0;
    QString clipboard;
    bool operator==(const Side &) const = default;
};

// "|" is the caret, "^" the anchor of a selection.
QString describe(const Side &side)
{
    QString text = side.text;
    if (side.anchor > side.caret)
        text.insert(side.anchor, u'^');
    text.insert(side.caret, u'|');
    if (side.anchor < side.caret)
        text.insert(side.anchor, u'^');
    return text.replace(u'\n', u"\u23CE"_s) + u"  clipboard: "_s + side.clipboard;
}

} // namespace

class TestTextOracle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameAsTheStockEditor_data();
    void sameAsTheStockEditor();
    void cleanupTestCase();

private:
    using Step = std::function<void(QWidget *view, QWidget *editor, const std::function<QPoint(qsizetype)> &at)>;
    Side ours() const;
    Side stock() const;
    QPoint stockPoint(qsizetype offset) const;
    QPoint ourPoint(qsizetype offset) const;
    QString randomStep(QRandomGenerator &random, Step *step);
    bool isShown(qsizetype offset) const;

    QWidget m_window;
    int m_steps = 0;
    bool m_linesSelectedByClicks = false;
    TextArea *m_area = nullptr;
    QPlainTextEdit *m_stock = nullptr;
};

void TestTextOracle::initTestCase()
{
    m_window.resize(2 * 1000 + 30, 900);
    m_area = new TextArea(&m_window);
    m_area->show();
    m_area->setGeometry(10, 10, 1000, 880);
    m_stock = new QPlainTextEdit(&m_window);
    m_stock->setGeometry(1020, 10, 1000, 880);
    m_stock->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_stock->setTabChangesFocus(true);
    QFont font = m_area->font();
    font.setKerning(false);
    m_stock->setFont(font);
    QTextOption leftToRight = m_stock->document()->defaultTextOption();
    leftToRight.setTextDirection(Qt::LeftToRight);
    m_stock->document()->setDefaultTextOption(leftToRight);
    m_window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_window));
}

Side TestTextOracle::ours() const
{
    return {withLfLineBreaks(m_area->text()), m_area->offsetOf(m_area->caretPosition()),
            m_area->offsetOf(m_area->anchorPosition()), QString()};
}

Side TestTextOracle::stock() const
{
    return {m_stock->toPlainText(), m_stock->textCursor().position(), m_stock->textCursor().anchor(), QString()};
}

QPoint TestTextOracle::ourPoint(qsizetype offset) const
{
    return m_area->caretRectAt(m_area->positionOfOffset(offset)).center() + QPoint(1, 0);
}

QPoint TestTextOracle::stockPoint(qsizetype offset) const
{
    QTextCursor cursor(m_stock->document());
    cursor.setPosition(int(offset));
    return m_stock->cursorRect(cursor).center() + QPoint(1, 0);
}

// Whether a place where a caret may stand shows in both, so that a click can
// reach it.
bool TestTextOracle::isShown(qsizetype offset) const
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, m_stock->toPlainText());
    characters.setPosition(offset);
    return characters.isAtBoundary() && m_area->viewport()->rect().adjusted(2, 2, -2, -2).contains(ourPoint(offset))
           && m_stock->viewport()->rect().adjusted(2, 2, -2, -2).contains(stockPoint(offset));
}

QString TestTextOracle::randomStep(QRandomGenerator &random, Step *step)
{
    static const QStringList typed = {u"a"_s,      u"b"_s,      u"x"_s,      u" "_s,     u","_s,
                                      u"."_s,      u"@"_s,      u"-"_s,      u"_"_s,     u"0"_s,
                                      u"Z"_s,      u"\u00e9"_s, u"\u00df"_s, u"\u4e2d"_s, u"\U0001F600"_s,
                                      u"e\u0301"_s, u"\u200D"_s, u"\U0001F44D\U0001F3FD"_s};
    static const QStringList keys = {
        u"Return"_s, u"Backspace"_s, u"Del"_s, u"Left"_s, u"Right"_s, u"Up"_s, u"Down"_s, u"Home"_s, u"End"_s,
        u"Ctrl+Home"_s, u"Ctrl+End"_s, u"Shift+Left"_s, u"Shift+Right"_s, u"Shift+Up"_s, u"Shift+Down"_s,
        u"Shift+Home"_s, u"Shift+End"_s, u"Ctrl+Shift+Home"_s, u"Ctrl+Shift+End"_s, u"Ctrl+A"_s, u"Ctrl+C"_s,
        u"Ctrl+X"_s, u"Ctrl+V"_s, u"Shift+Del"_s, u"Ctrl+Ins"_s, u"Shift+Ins"_s};
    const int kind = random.bounded(10);
    if (kind < 4) {
        const QString text = typed[random.bounded(typed.size())];
        *step = [text](QWidget *, QWidget *editor, const auto &) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
            QApplication::sendEvent(editor, &press);
        };
        return u"type "_s + text;
    }
    if (kind < 8) {
        const QString key = keys[random.bounded(keys.size())];
        *step = [key](QWidget *, QWidget *editor, const auto &) {
            QTest::keySequence(editor, QKeySequence::fromString(key));
        };
        return key;
    }
    const qsizetype count = m_stock->document()->characterCount();
    const qsizetype target = random.bounded(count);
    const qsizetype from = random.bounded(count);
    if (!isShown(target) || !isShown(from))
        return QString();
    const QTextCursor cursor = m_stock->textCursor();
    const auto selected = [&](qsizetype offset) {
        return offset >= cursor.selectionStart() && offset <= cursor.selectionEnd() && cursor.hasSelection();
    };
    int gesture = random.bounded(4);
    if (gesture == 1 && m_linesSelectedByClicks)
        gesture = 0;
    if (gesture != 1 && (selected(target) || selected(from)))
        return QString();
    m_linesSelectedByClicks = gesture == 2 || (m_linesSelectedByClicks && gesture == 1);
    *step = [gesture, target, from](QWidget *view, QWidget *, const std::function<QPoint(qsizetype)> &at) {
        if (gesture == 0) {
            QTest::mouseClick(view, Qt::LeftButton, {}, at(target));
        } else if (gesture == 1) {
            QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, at(target));
        } else if (gesture == 2) {
            // A triple click selects the line with its line break.
            QTest::mouseDClick(view, Qt::LeftButton, {}, at(target));
            QTest::mouseClick(view, Qt::LeftButton, {}, at(target));
        } else {
            // A plain click first, so that the press does not start dragging
            // a selection away.
            QTest::mouseClick(view, Qt::LeftButton, {}, at(from));
            QTest::mousePress(view, Qt::LeftButton, {}, at(from), 600);
            QTest::mouseMove(view, at(target));
            QTest::mouseRelease(view, Qt::LeftButton, {}, at(target));
        }
    };
    return u"mouse %1 %2 from %3"_s.arg(gesture).arg(target).arg(from);
}

void TestTextOracle::sameAsTheStockEditor_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= sequences; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestTextOracle::sameAsTheStockEditor()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setText(u"pasted\nlines"_s);
    m_area->setText(QString());
    m_stock->setPlainText(QString());
    m_linesSelectedByClicks = false;
    QStringList done;
    for (int i = 0; i < stepsPerSequence; ++i) {
        Step step;
        const QString name = randomStep(random, &step);
        if (name.isEmpty())
            continue;
        done << name;
        ++m_steps;
        const QString before = clipboard->text();
        step(m_area->viewport(), m_area, [this](qsizetype offset) { return ourPoint(offset); });
        Side our = ours();
        our.clipboard = clipboard->text();
        clipboard->setText(before);
        step(m_stock->viewport(), m_stock, [this](qsizetype offset) { return stockPoint(offset); });
        Side theirs = stock();
        theirs.clipboard = clipboard->text();
        if (!(our == theirs))
            QFAIL(qPrintable(u"after %1:\n  ours:  %2\n  stock: %3"_s.arg(done.mid(qMax(0, done.size() - 8)).join(u", "_s),
                                                                            describe(our), describe(theirs))));
    }
    // Undoing everything gives the empty text back, and redoing everything the
    // last one, in both.
    const QString last = m_stock->toPlainText();
    for (QWidget *editor : {static_cast<QWidget *>(m_area), static_cast<QWidget *>(m_stock)}) {
        for (int i = 0; i < stepsPerSequence; ++i)
            QTest::keyClick(editor, Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(ours().text, QString());
    QCOMPARE(stock().text, QString());
    for (QWidget *editor : {static_cast<QWidget *>(m_area), static_cast<QWidget *>(m_stock)}) {
        for (int i = 0; i < stepsPerSequence; ++i)
            QTest::keyClick(editor, Qt::Key_Y, Qt::ControlModifier);
    }
    QCOMPARE(ours().text, last);
    QCOMPARE(stock().text, last);
}

void TestTextOracle::cleanupTestCase()
{
    qInfo("%d random steps alike in both", m_steps);
}

QTEST_MAIN(TestTextOracle)
#include "tst_textoracle.moc"
