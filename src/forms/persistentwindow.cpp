#include "persistentwindow.h"

#include "guard.h"

#include <QGuiApplication>
#include <QScreen>

namespace vellaro {

namespace {

const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kAlphaBlend = QStringLiteral("AlphaBlend");

QList<WindowSettings *> &registry()
{
    static QList<WindowSettings *> records;
    return records;
}

// A Wayland client can neither place its windows nor make them translucent: the compositor
// decides both, and what it reports as a position is not where the user put the window.
bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QFont windowFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

} // namespace

WindowSettings::WindowSettings(AppContext &context, const WindowDesign &design)
    : m_context(context), m_caption(design.caption), m_geometry(design.bounds),
      m_fixedSize(design.fixedSize)
{
    registry().append(this);
}

WindowSettings::~WindowSettings()
{
    registry().removeOne(this);
}

const QList<WindowSettings *> &WindowSettings::all()
{
    return registry();
}

void WindowSettings::read()
{
    const ProfileFile &ini = *m_context.settings;
    const int top = ini.readInteger(m_caption, kTop, m_geometry.top());
    const int left = ini.readInteger(m_caption, kLeft, m_geometry.left());
    const int width = ini.readInteger(m_caption, kWidth, m_geometry.width());
    const int height = ini.readInteger(m_caption, kHeight, m_geometry.height());

    // A stored position on a screen that is no longer there would leave the window unreachable.
    QPoint position(left, top);
    const QRect bounds(position, QSize(std::max(width, 1), std::max(height, 1)));
    const auto screens = QGuiApplication::screens();
    const bool visibleSomewhere = std::any_of(screens.begin(), screens.end(), [&](QScreen *s) {
        return s->availableVirtualGeometry().intersects(bounds);
    });
    if (!visibleSomewhere && QGuiApplication::primaryScreen())
        position = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
    m_geometry = QRect(position, QSize(width, height));

    setAlpha(ini.readInteger(m_context.opacitySection, kAlphaBlend, m_alpha));
}

void WindowSettings::write()
{
    ProfileFile &ini = *m_context.settings;
    // Where the compositor places windows, the stored position is left as it was for other
    // sessions.
    if (!onWayland()) {
        ini.writeInteger(m_caption, kTop, m_geometry.top());
        ini.writeInteger(m_caption, kLeft, m_geometry.left());
    }
    ini.writeInteger(m_caption, kWidth, m_geometry.width());
    ini.writeInteger(m_caption, kHeight, m_geometry.height());
    ini.writeInteger(m_context.opacitySection, kAlphaBlend, m_alpha);
}

void WindowSettings::setAlpha(int alpha)
{
    m_alpha = alpha & 0xFF;
    // On Wayland the value is only kept (and stored at exit); Qt would warn and do nothing.
    if (m_window && !onWayland())
        m_window->setWindowOpacity(m_alpha / 255.0);
}

PersistentWindow::PersistentWindow(AppContext &context, WindowSettings &settings, QWidget *parent)
    : QDialog(parent, Qt::Window), m_context(context), m_settings(settings)
{
    setFont(windowFont());
    setWindowTitle(settings.m_caption);
    const QRect bounds = settings.geometry();
    if (!onWayland())
        move(bounds.topLeft());
    if (settings.fixedSize())
        setFixedSize(bounds.size());
    else
        resize(bounds.size());
}

PersistentWindow::~PersistentWindow() = default;

void PersistentWindow::initialize()
{
    guarded([this] { prepare(); });
    guarded([this] { applySettings(); });
}

void PersistentWindow::applySettings()
{
    m_settings.m_window = this;
    const QRect geometry = m_settings.geometry();
    if (!onWayland())
        move(geometry.topLeft());
    if (m_settings.fixedSize())
        setFixedSize(std::max(geometry.width(), 0), std::max(geometry.height(), 0));
    else
        resize(geometry.size());
    m_settings.setAlpha(m_settings.alpha());
}

void PersistentWindow::saveOnExit()
{
    m_settings.m_caption = windowTitle();
    m_settings.m_geometry = QRect(pos(), size());
    m_settings.write();
}

void PersistentWindow::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}

} // namespace vellaro
