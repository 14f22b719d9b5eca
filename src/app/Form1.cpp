#include "app/Form1.h"

#include "app/ApplicationTitle.h"
#include "app/ProductInfo.h"
#include "app/Procedure.h"
#include "app/ReportText.h"
#include "platform/PushButton.h"
#include "platform/TextArea.h"

#include <QGroupBox>
#include <QScreen>
#include <QStyle>

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

void paintBackground(QWidget *widget, const QColor &colour)
{
    QPalette colours = widget->palette();
    colours.setColor(QPalette::Window, colour);
    widget->setPalette(colours);
    widget->setAutoFillBackground(true);
}

} // namespace

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("Form1"));
    setFixedSize(pixels(8040), pixels(7980));
    setFont(arialBold(9));
    paintBackground(this, Qt::white);
    setMouseTracking(true);
    createControls();
    setTabOrder();
    connectProcedures();
    m_pointer.setHandTargets({PushButton3, PushButton20, PushButton1, PushButton5, PushButton17, PushButton4,
                              PushButton2, PushButton18, PushButton6});
    Text2->setFocus();
}

void Form1::createControls()
{
    auto addFrame = [this](const char *name, const QString &caption, QRect geometry) {
        auto *frame = new QGroupBox(caption, this);
        frame->setObjectName(QLatin1String(name));
        frame->setAccessibleName(caption);
        frame->setGeometry(geometry);
        frame->setMouseTracking(true);
        paintBackground(frame, Qt::white);
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
void Form1::setTabOrder()
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
    connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
    connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
    connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
    connect(PushButton17, &QPushButton::clicked, this, &Form1::PushButton17_Click);
    connect(PushButton20, &QPushButton::clicked, this, &Form1::PushButton20_Click);
}

void Form1::Form_Load()
{
    Procedure p(m_errorReport, Qualifier::Form_Load);
    p.run(104, [&] {
        setWindowTitle(ProductInfo::productTitle);
        m_messageBoxes.setApplicationTitle(applicationTitleFrom(ProductInfo::productTitle));
    });
}

void Form1::showCentred()
{
    const QRect available = screen()->availableGeometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), available));
    show();
}

void Form1::PushButton6_Click()
{
    Procedure p(m_errorReport, Qualifier::PushButton6_Click);
    p.run(100, [&] {
        m_messageBoxes.inform(QStringLiteral("Questions? Please contact Team Marrowick at ") + ProductInfo::contactPage);
    });
}
