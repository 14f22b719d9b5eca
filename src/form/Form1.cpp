#include "form/Form1.h"

#include "reading/DroppedContacts.h"

#include "core/ApplicationTitle.h"
#include "core/ProductInfo.h"
#include "core/Procedure.h"
#include "core/ReportText.h"
#include "form/InputMenu.h"
#include "form/OutputMenu.h"
#include "listfiles/FileExists.h"
#include "platform/Clipboard.h"
#include "platform/Colours.h"
#include "platform/CursorFile.h"
#include "platform/Frame.h"
#include "platform/PushButton.h"
#include "textview/TextArea.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QScreen>
#include <QStyle>
#include <QTimer>

// The icons are built into a static library, whose resources a link would
// otherwise drop; this must stand outside any namespace.
static void initResources()
{
    Q_INIT_RESOURCE(kestrava);
}

namespace {

// Positions and sizes are designed in twips, 15 to the pixel at 96 dpi.
constexpr int pixels(int twips) { return twips / 15; }

QRect twipRect(int left, int top, int width, int height)
{
    return QRect(pixels(left), pixels(top), pixels(width), pixels(height));
}

QFont arialBold(qreal pointSize)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

QIcon applicationIcon()
{
    initResources();
    QIcon icon;
    for (int size : {32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kestrava-%1.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(pixels(8040), pixels(7980));
    setFont(arialBold(9));
    setBackColor(this, Qt::white, QApplication::palette().color(QPalette::WindowText));
    setMouseTracking(true);
    createControls();
    arrangeTabOrder();
    connectProcedures();
    const QList<PushButton *> allButtons = buttons();
    m_pointer.setHandTargets(QList<QWidget *>(allButtons.begin(), allButtons.end()));
    m_clipboard = std::make_unique<Clipboard>();
    m_applicationFolder = QCoreApplication::applicationDirPath();
    Text2->setFocus();
}

// A background comes with text that reads on it: the desktop's own text
// colour where it does, black or white where a theme's would not.
void Form1::setBackColor(QWidget *control, const QColor &colour, const QColor &preferredText)
{
    QPalette colours = control->palette();
    colours.setColor(QPalette::Window, colour);
    colours.setColor(QPalette::WindowText, readableText(preferredText, colour));
    control->setPalette(colours);
    control->setAutoFillBackground(true);
}

QList<PushButton *> Form1::buttons() const
{
    return {PushButton3, PushButton20, PushButton1, PushButton5, PushButton17,
            PushButton4, PushButton2,  PushButton18, PushButton6};
}

void Form1::setClipboard(std::unique_ptr<ClipboardService> clipboard)
{
    m_clipboard = std::move(clipboard);
}

void Form1::createControls()
{
    auto addFrame = [this](const char *name, const QString &caption, QRect geometry) {
        auto *frame = new Frame(caption, this);
        frame->setObjectName(QLatin1String(name));
        frame->setAccessibleName(caption);
        frame->setGeometry(geometry);
        frame->setMouseTracking(true);
        frame->installEventFilter(this);
        setBackColor(frame, Qt::white, QApplication::palette().color(QPalette::WindowText));
        return frame;
    };
    auto addTextArea = [](const char *name, const QString &accessibleName, QWidget *frame) {
        auto *area = new TextArea(frame);
        area->setObjectName(QLatin1String(name));
        area->setAccessibleName(accessibleName);
        area->setGeometry(twipRect(240, 300, 7320, 2055));
        return area;
    };

    Frame1 = addFrame("Frame1", QStringLiteral("Input"), twipRect(120, 120, 7800, 3570));
    Text1 = addTextArea("Text1", QStringLiteral("Input text"), Frame1);
    PushButton3 = addButton("PushButton3", QStringLiteral("Load File"), Frame1, 225, 2460, 3600, 405);
    PushButton20 = addButton("PushButton20", QStringLiteral("Save File"), Frame1, 3960, 2460, 3600, 405);
    PushButton1 = addButton("PushButton1", QStringLiteral("Clear Text"), Frame1, 240, 2970, 3600, 405);
    PushButton5 = addButton("PushButton5", QStringLiteral("Load Sample/Example File"), Frame1, 3960, 2970, 3600, 405);
    PushButton17 = addButton("PushButton17", QStringLiteral("Start Joining"), this, 120, 3810, 7800, 405);
    Frame2 = addFrame("Frame2", QStringLiteral("Output"), twipRect(120, 4290, 7800, 3570));
    Text2 = addTextArea("Text2", QStringLiteral("Output text"), Frame2);
    PushButton4 = addButton("PushButton4", QStringLiteral("Save Output As File"), Frame2, 225, 2460, 3600, 405);
    PushButton2 = addButton("PushButton2", QStringLiteral("Clear Text"), Frame2, 3945, 2460, 3600, 405);
    PushButton1->setAccessibleDescription(QStringLiteral("Empties the input text area"));
    PushButton2->setAccessibleDescription(QStringLiteral("Empties the output text area"));
    PushButton18 = addButton("PushButton18", QStringLiteral("Copy Results To Clipboard"), Frame2, 240, 2970, 3600, 405);
    PushButton6 = addButton("PushButton6", QStringLiteral("Help"), Frame2, 3960, 2970, 3600, 405);
}

PushButton *Form1::addButton(const char *name, const QString &caption, QWidget *container, int left, int top,
                             int width, int height)
{
    auto *button = new PushButton(caption, container);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setGeometry(twipRect(left, top, width, height));
    return button;
}

// Tab order: the output area first, "Start Joining" between the input
// frame's first three buttons and the output frame's first two.
void Form1::arrangeTabOrder()
{
    const QList<QWidget *> order = {Text2,        Text1,       PushButton3, PushButton20,
                                    PushButton1,  PushButton17, PushButton4, PushButton2,
                                    PushButton5,  PushButton18, PushButton6};
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    QWidget::setTabOrder(order.last(), order.first());
}

void Form1::connectProcedures()
{
    m_inputWork = new InputWork(*Text1, [this] { reportOutOfMemory(); });
    m_inputWork->setBusyTeller([this](const QString &label) {
        m_messageBoxes.inform(QStringLiteral("%1 is still at work on the input. Wait for it to finish, or press "
                                             "Escape to stop it.").arg(label));
    });
    // The buttons that read or replace the input wait for the work on it:
    // while a load or an entry's work goes on, they are refused, and told.
    const auto onFreeInput = [this](void (Form1::*procedure)()) {
        return [this, procedure] {
            if (!m_inputWork->refusedWhileBusy())
                (this->*procedure)();
        };
    };
    connect(PushButton1, &QPushButton::clicked, this, onFreeInput(&Form1::PushButton1_Click));
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, onFreeInput(&Form1::PushButton3_Click));
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, onFreeInput(&Form1::PushButton5_Click));
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton17, &QPushButton::clicked, this, onFreeInput(&Form1::PushButton17_Click));
    connect(PushButton18, &QPushButton::clicked, this, &Form1::PushButton18_Click);
    connect(PushButton20, &QPushButton::clicked, this, onFreeInput(&Form1::PushButton20_Click));
    connect(Text2, &TextArea::mousePressed, this, &Form1::Text2_MouseDown);
    Text1->setAcceptsFiles(true);
    Text1->setDataReader(DroppedContacts::types(), &DroppedContacts::linesOf);
    connect(Text1, &TextArea::filesDropped, this, &Form1::openFiles);
    m_inputMenu = new InputMenu(*Text1, *m_inputWork, [this] { reportOutOfMemory(); },
                                [this](const QString &title) { return chooseListedAddresses(title); },
                                [this](const QStringList &changes) { return chooseCorrections(changes); },
                                [this] { saveAddressBook(); },
                                [this](const QString &text) { return copyToClipboard(text); });
    m_outputMenu = new OutputMenu(
        *Text2, {[this] { reportOutOfMemory(); },
                 [this](const QString &link, const QString &handedOver) { return composeMail(link, handedOver); },
                 [this](const QString &text) { return copyToClipboard(text); },
                 [this](const MailtoLinks::Message &last) { return askMessage(last); }, [this] { return askBatchSize(); }});
    connect(Text1, &TextArea::outOfMemory, this, &Form1::reportOutOfMemory);
    connect(Text2, &TextArea::outOfMemory, this, &Form1::reportOutOfMemory);

    for (PushButton *button : buttons())
        connect(button, &PushButton::mouseMoved, this, &Form1::handHover);
    connect(Text1, &TextArea::mouseMoved, this, &Form1::arrowHover);
    connect(Text2, &TextArea::mouseMoved, this, &Form1::arrowHover);
}

void Form1::Form_Load()
{
    Procedure p(m_errorReport, Qualifier::Form_Load);
    QString cursorPath;
    bool cursorFileExists = false;
    p.run(102, [&] { applySkin(); });
    p.run(104, [&] { setWindowTitle(ProductInfo::productTitle); });
    p.run(104, [&] { setWindowIcon(applicationIcon()); });
    p.run(104, [&] { m_messageBoxes.setApplicationTitle(applicationTitleFrom(ProductInfo::productTitle)); });
    p.run(106, [&] {
        cursorPath = m_applicationFolder + QDir::separator() + QStringLiteral("HAND-M.CUR");
        // Only an ordinary file: opening a pipe there would wait for ever.
        cursorFileExists = isOrdinaryFile(cursorPath);
    });
    p.run(108, [&] {
        if (cursorFileExists)
            m_pointer.setCustomImage(loadCursorFile(cursorPath));
    });
    p.run(110, [&] { m_homePage.run(); });
}

// Closing the window ends the program at once; nothing is asked or saved.
void Form1::closeEvent(QCloseEvent *event)
{
    event->accept();
    QCoreApplication::exit(0);
}

// The hand over buttons, the standard pointer over everything else; the
// hourglass of a busy operation stays whatever the pointer crosses.
void Form1::handHover()
{
    if (mousePointer() != WindowPointer::Busy)
        setMousePointer(WindowPointer::Custom);
}

void Form1::arrowHover()
{
    if (mousePointer() != WindowPointer::Busy)
        setMousePointer(WindowPointer::Default);
}

void Form1::mouseMoveEvent(QMouseEvent *event)
{
    arrowHover();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove && (watched == Frame1 || watched == Frame2))
        arrowHover();
    return QWidget::eventFilter(watched, event);
}

void Form1::showCentred()
{
    const QRect available = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), available));
    show();
    QTimer::singleShot(0, this, [this] {
        Text1->prepareContextMenu();
        Text2->prepareContextMenu();
    });
}

void Form1::reportOutOfMemory()
{
    m_messageBoxes.warn(QStringLiteral("Out of memory"), m_messageBoxes.applicationTitle());
}

void Form1::PushButton6_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton6_Click);
    p.run(100, [&] {
        m_messageBoxes.inform(QStringLiteral("Questions? Please contact Team Marrowick at ") + ProductInfo::contactPage);
    });
}

// The corrections of mistyped domains that the user accepts, each shown as
// a change to check or clear; none to offer is said so.
std::optional<QList<bool>> Form1::chooseCorrections(const QStringList &changes)
{
    if (changes.isEmpty()) {
        m_messageBoxes.inform(QStringLiteral("No domain looks mistyped."));
        return std::nullopt;
    }
    return m_choiceLists.choose(QStringLiteral("Correct Mistyped Domains"),
                                QStringLiteral("These addresses look mistyped. The changes checked are made, "
                                               "in one step that Undo takes back."),
                                changes);
}

// A composer that could not be opened is told, in the words of what failed,
// and what was handed over before it.
bool Form1::composeMail(const QString &link, const QString &handedOver)
{
    const MailComposer::Result result = m_mailComposer.open(link);
    if (!result.started)
        m_messageBoxes.warn(QStringLiteral("The mail program could not be opened: ") + result.message
                                + (handedOver.isEmpty() ? QString() : QStringLiteral("\n\n") + handedOver),
                            m_messageBoxes.applicationTitle());
    return result.started;
}

// The To, subject and body of every batch's message, each optional.
std::optional<MailtoLinks::Message> Form1::askMessage(const MailtoLinks::Message &last)
{
    const std::optional<QStringList> values = m_fieldsDialogs.ask(
        QStringLiteral("Message for Every Batch"),
        QStringLiteral("Every batch's message carries these. An address in To (your own, commonly) counts as one of "
                       "the batch's recipients. A mail link carries no attachment: add one in the mail program."),
        {{QStringLiteral("to"), QStringLiteral("To:"), last.to},
         {QStringLiteral("subject"), QStringLiteral("Subject:"), last.subject},
         {QStringLiteral("body"), QStringLiteral("Body:"), last.body, true}});
    if (!values)
        return std::nullopt;
    return MailtoLinks::Message{(*values)[0].trimmed(), (*values)[1], (*values)[2]};
}

// A batch size of 1 to 10,000; another answer is told and asks nothing.
std::optional<qsizetype> Form1::askBatchSize()
{
    const std::optional<QStringList> values = m_fieldsDialogs.ask(
        QStringLiteral("Other Size"),
        QStringLiteral("How many recipients a message may have, To, Cc and Bcc together: 100 for Gmail, "
                       "Outlook.com, Yahoo, Proton and Zoho's free plan from a mail program; 500 for Exchange "
                       "Online and iCloud; 50 for some sending services."),
        {{QStringLiteral("size"), QStringLiteral("Recipients:"), QString()}});
    if (!values)
        return std::nullopt;
    bool whole = false;
    const qsizetype size = values->constFirst().trimmed().toLongLong(&whole);
    if (whole && size >= 1 && size <= 10'000)
        return size;
    m_messageBoxes.warn(QStringLiteral("A batch holds 1 to 10,000 recipients, not \"%1\".").arg(values->constFirst()),
                        m_messageBoxes.applicationTitle());
    return std::nullopt;
}

// What the menus copy goes through the clipboard service, as the button's
// copy does; a clipboard that stays busy is told.
bool Form1::copyToClipboard(const QString &text)
{
    const bool copied = m_clipboard->write(text);
    if (!copied)
        m_messageBoxes.warn(QStringLiteral("The clipboard is in use by another program, so nothing was copied.\r\r"
                                           "Please try again."),
                            m_messageBoxes.applicationTitle());
    return copied;
}
