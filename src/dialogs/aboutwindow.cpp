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

WindowDesign AboutWindow::design()
{
    return {QStringLiteral("За програмата"), QRect(300, 200, 271, 150), true};
}

AboutWindow::AboutWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : PersistentWindow(context, settings, parent)
{
    setObjectName(QStringLiteral("AboutWindow"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::WindowStaysOnTopHint);

    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    // The banner starts left of the window; the strips it loses are white margin.
    m_banner = new QLabel(this);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->setGeometry(-16, 0, 305, 73);
    m_banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    const QColor windowText = palette().color(QPalette::WindowText);
    makeLabel(this, "authorCaption", QStringLiteral("Създадена от"), QColor(0, 0, 128), 40, 72);
    makeLabel(this, "authorName", QString::fromUtf16(kAuthorName), QColor(128, 0, 0), 144, 72);
    m_webLink = makeLabel(this, "webLink", QString::fromUtf16(kAuthorAddress), windowText, 85, 88);
    m_webLink->setCursor(Qt::PointingHandCursor);
    m_webLink->installEventFilter(this);

    m_closeButton = new QPushButton(QStringLiteral("&Затвори прозореца"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    m_closeButton->setGeometry(56, 112, 161, 25);
    // Enter presses it while it has the focus; it is not the window's default button.
    m_closeButton->setAutoDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &AboutWindow::close);
    setFocusProxy(m_closeButton);
}

void AboutWindow::openWebAddress()
{
    if (m_context.urlOpener)
        m_context.urlOpener->openUrl(QString::fromUtf16(kAuthorAddress));
}

bool AboutWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_webLink) {
        if (event->type() == QEvent::MouseButtonPress) {
            m_webLinkPressed = static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const bool click = m_webLinkPressed && mouse->button() == Qt::LeftButton &&
                               m_webLink->rect().contains(mouse->position().toPoint());
            m_webLinkPressed = false;
            if (click)
                guarded([this] { openWebAddress(); });
        }
    }
    return PersistentWindow::eventFilter(watched, event);
}

void AboutWindow::showEvent(QShowEvent *event)
{
    // Read when first shown: at start it would load the JPEG decoder into every run, for a
    // window most runs never show.
    if (!m_pictureLoaded) {
        m_pictureLoaded = true;
        m_banner->setPixmap(QPixmap(QStringLiteral(":/pictures/about_banner.jpg")));
    }
    // Centred once per run, whatever position the settings file gave; after that the window
    // comes back where the user left it.
    if (!m_centred) {
        m_centred = true;
        centreOnScreen();
        m_frameCheckPending = true;
    }
    PersistentWindow::showEvent(event);
    m_closeButton->setFocus(Qt::OtherFocusReason);
}

void AboutWindow::hideEvent(QHideEvent *event)
{
    m_frameCheckPending = false;
    PersistentWindow::hideEvent(event);
}

void AboutWindow::moveEvent(QMoveEvent *event)
{
    PersistentWindow::moveEvent(event);
    if (m_frameCheckPending && frameGeometry().size() != m_centredFrameSize) {
        m_frameCheckPending = false;
        centreOnScreen();
    }
}

void AboutWindow::centreOnScreen()
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
