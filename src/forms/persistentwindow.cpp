#include "persistentwindow.h"

#include "guard.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

namespace vellaro {

namespace {

const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kAlphaBlend = QStringLiteral("AlphaBlend");

QList<PersistentWindow *> &registry()
{
    static QList<PersistentWindow *> forms;
    return forms;
}

QFont windowFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

} // namespace

PersistentWindow::PersistentWindow(AppContext &context, QWidget *parent)
    : QDialog(parent, Qt::Window), m_context(context)
{
    setFont(windowFont());
    registry().append(this);
}

PersistentWindow::~PersistentWindow()
{
    registry().removeOne(this);
}

const QList<PersistentWindow *> &PersistentWindow::liveWindows()
{
    return registry();
}

void PersistentWindow::initialize()
{
    guarded([this] { prepare(); });
    guarded([this] { restoreSettings(); });
}

void PersistentWindow::saveOnExit()
{
    storeSettings();
}

void PersistentWindow::setAlpha(int alpha)
{
    m_alpha = alpha & 0xFF;
    setWindowOpacity(m_alpha / 255.0);
}

void PersistentWindow::setDesignBounds(int left, int top, int width, int height)
{
    move(left, top);
    if (m_fixedBorder)
        setFixedSize(width, height);
    else
        resize(width, height);
}

void PersistentWindow::setFixedBorder(bool fixed)
{
    m_fixedBorder = fixed;
    if (fixed)
        setFixedSize(size());
}

void PersistentWindow::restoreSettings()
{
    const ProfileFile &ini = *m_context.settings;
    const QString section = windowTitle();
    const int top = ini.readInteger(section, kTop, y());
    const int left = ini.readInteger(section, kLeft, x());
    const int width = ini.readInteger(section, kWidth, this->width());
    const int height = ini.readInteger(section, kHeight, this->height());

    // A stored position on a screen that is no longer there would leave the window unreachable.
    QPoint position(left, top);
    const QRect bounds(position, QSize(std::max(width, 1), std::max(height, 1)));
    const auto screens = QGuiApplication::screens();
    const bool visibleSomewhere = std::any_of(screens.begin(), screens.end(), [&](QScreen *s) {
        return s->availableVirtualGeometry().intersects(bounds);
    });
    if (!visibleSomewhere && QGuiApplication::primaryScreen())
        position = QGuiApplication::primaryScreen()->availableGeometry().topLeft();

    move(position);
    if (m_fixedBorder)
        setFixedSize(std::max(width, 0), std::max(height, 0));
    else
        resize(width, height);

    setAlpha(ini.readInteger(m_context.opacitySection, kAlphaBlend, m_alpha));
}

void PersistentWindow::storeSettings()
{
    ProfileFile &ini = *m_context.settings;
    const QString section = windowTitle();
    ini.writeInteger(section, kTop, y());
    ini.writeInteger(section, kLeft, x());
    ini.writeInteger(section, kWidth, width());
    ini.writeInteger(section, kHeight, height());
    ini.writeInteger(m_context.opacitySection, kAlphaBlend, m_alpha);
}

void PersistentWindow::keyPressEvent(QKeyEvent *event)
{
    QWidget::keyPressEvent(event);
}

} // namespace vellaro
