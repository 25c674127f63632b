#include "aboutwindow.h"

#include "guard.h"
#include "urlopener.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace vellaro {

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text, const QColor &colour,
                  int left, int top)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Window, Qt::white);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->move(left, top);
    label->adjustSize();
    return label;
}

} // namespace

TForm2::TForm2(FormContext &context, QWidget *parent) : TBaseForm(context, parent)
{
    setObjectName(QStringLiteral("TForm2"));
    setWindowTitle(QStringLiteral("За програмата"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);
    setDesignBounds(300, 200, 271, 150);
    setFixedBorder(true);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    // The banner starts left of the window; the strips it loses are white margin.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(-16, 0, 305, 73);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const QColor windowText = palette().color(QPalette::WindowText);
    Label1 = makeLabel(this, "Label1", QStringLiteral("Създадена от"), QColor(0, 0, 128), 40, 72);
    Label2 = makeLabel(this, "Label2", QString::fromUtf16(kAuthorName), QColor(128, 0, 0), 144, 72);
    Label3 = makeLabel(this, "Label3", QString::fromUtf16(kAuthorAddress), windowText, 85, 88);
    Label3->setCursor(Qt::PointingHandCursor);
    Label3->installEventFilter(this);

    Button1 = new QPushButton(QStringLiteral("&Затвори прозореца"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(56, 112, 161, 25);
    // Enter presses it while it has the focus; it is not the window's default button.
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, guardedSlot(this, &TForm2::Button1Click));
    setFocusProxy(Button1);
}

void TForm2::Label3Click()
{
    if (m_context.urlOpener)
        m_context.urlOpener->openUrl(QString::fromUtf16(kAuthorAddress));
}

void TForm2::Button1Click()
{
    close();
}

bool TForm2::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Label3) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_label3Pressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const bool click = m_label3Pressed && mouse->button() == Qt::LeftButton &&
                               Label3->rect().contains(mouse->position().toPoint());
            m_label3Pressed = false;
            if (click)
                guarded([this] { Label3Click(); });
        }
    }
    return TBaseForm::eventFilter(watched, event);
}

void TForm2::showEvent(QShowEvent *event)
{
    // Read when first shown: at start it would load the JPEG decoder into every run, for a
    // window most runs never show.
    if (!m_pictureLoaded) {
        m_pictureLoaded = true;
        Image1->setPixmap(QPixmap(QStringLiteral(":/pictures/about_banner.jpg")));
    }
    // Centred once per run, whatever position the settings file gave; after that the window
    // comes back where the user left it.
    if (!m_centred) {
        m_centred = true;
        centreOnScreen();
        m_frameCheckPending = true;
    }
    TBaseForm::showEvent(event);
    Button1->setFocus(Qt::OtherFocusReason);
}

void TForm2::hideEvent(QHideEvent *event)
{
    m_frameCheckPending = false;
    TBaseForm::hideEvent(event);
}

void TForm2::moveEvent(QMoveEvent *event)
{
    TBaseForm::moveEvent(event);
    if (m_frameCheckPending && frameGeometry().size() != m_centredFrameSize) {
        m_frameCheckPending = false;
        centreOnScreen();
    }
}

void TForm2::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    m_centredFrameSize = frameGeometry().size();
    const int left = std::max((area.width() - m_centredFrameSize.width()) / 2, 0);
    const int top = std::max((area.height() - m_centredFrameSize.height()) / 2, 0);
    move(area.left() + left, area.top() + top);
}

} // namespace vellaro
