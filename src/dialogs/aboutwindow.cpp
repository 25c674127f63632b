#include "dialogs/aboutwindow.h"

#include "platform/urlopener.h"
#include "windowkit/guard.h"
#include "windowkit/windowlook.h"

#include <QBoxLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace vellaro {

namespace {

QLabel *makeLabel(QWidget *parent, const char *name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFont(derivedFont(label->font(), 1.0, true));
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

    // The window stands on the palette's base colour (white in a light theme), as the banner
    // does; its texts are drawn in colours readable on it.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    m_banner = new QLabel(this);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->setAlignment(Qt::AlignCenter);
    // A picture has no text of its own for a screen reader to read out.
    m_banner->setAccessibleName(QStringLiteral("Емблема на Vellaro, версия 2.0"));
    // The picture's own size, before it is read (it is read when the window first shows).
    m_banner->setMinimumSize(300, 73);

    m_authorCaption = makeLabel(this, "authorCaption", QStringLiteral("Създадена от"));
    m_authorName = makeLabel(this, "authorName", QString::fromUtf16(kAuthorName));
    m_webLink = makeLabel(this, "webLink", QString::fromUtf16(kAuthorAddress));
    QFont linkFont = m_webLink->font();
    linkFont.setUnderline(true);
    m_webLink->setFont(linkFont);
    m_webLink->setForegroundRole(QPalette::Link);
    m_webLink->setCursor(Qt::PointingHandCursor);
    m_webLink->setToolTip(QString::fromUtf16(kAuthorAddress));
    m_webLink->installEventFilter(this);

    m_closeButton = new QPushButton(QStringLiteral("&Затвори прозореца"), this);
    m_closeButton->setObjectName(QStringLiteral("closeButton"));
    // Enter presses it while it has the focus; it is not the window's default button.
    m_closeButton->setAutoDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &AboutWindow::close);
    setFocusProxy(m_closeButton);

    auto *author = new QHBoxLayout;
    author->addStretch(1);
    author->addWidget(m_authorCaption);
    author->addWidget(m_authorName);
    author->addStretch(1);

    auto *texts = new QVBoxLayout;
    texts->setContentsMargins(style()->pixelMetric(QStyle::PM_LayoutLeftMargin), 0,
                              style()->pixelMetric(QStyle::PM_LayoutRightMargin),
                              style()->pixelMetric(QStyle::PM_LayoutBottomMargin));
    texts->addLayout(author);
    texts->addWidget(m_webLink, 0, Qt::AlignHCenter);
    texts->addSpacing(style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
    texts->addWidget(m_closeButton, 0, Qt::AlignHCenter);

    // The banner runs from edge to edge, as in the design.
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_banner);
    layout->addLayout(texts);
    layout->addStretch(1);

    applyColours();
}

void AboutWindow::applyColours()
{
    // Not before the window has built its texts (a palette change reaches it while it does).
    if (!m_webLink)
        return;
    setTextColour(m_authorCaption, QColor(0, 0, 128));
    setTextColour(m_authorName, QColor(128, 0, 0));
    setTextColour(m_webLink, palette().color(QPalette::Link));
}

void AboutWindow::changeEvent(QEvent *event)
{
    PersistentWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColours();
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
