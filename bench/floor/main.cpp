// The floor for start-up and memory: the least a Qt Widgets tray program does. It links what
// Vellaro links, opens libcanberra, keeps one hidden window and shows one tray icon; nothing
// else. What Vellaro needs beyond these figures is its own cost.
//
// With --timer it also runs an empty timer once a second: what a tray program that polls the
// clock every second costs at rest, the reference for a program that sleeps until it is needed.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <canberra.h>

#include <cstdio>

namespace {

QIcon floorIcon()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setBrush(QColor(0x2e, 0x7d, 0x32));
    painter.drawEllipse(1, 1, 14, 14);
    return QIcon(pixmap);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    // Opened the way a program that plays sounds does; without a sound server it stays unused.
    ca_context *sound = nullptr;
    if (ca_context_create(&sound) == CA_SUCCESS) {
        if (const int result = ca_context_open(sound); result != CA_SUCCESS)
            std::fprintf(stderr, "floor: libcanberra: %s\n", ca_strerror(result));
    }

    // A window that exists but is never shown, as the program's own windows start.
    QWidget window;
    window.setWindowTitle(QStringLiteral("floor"));
    window.winId();

    QSystemTrayIcon tray(floorIcon());
    tray.setToolTip(QStringLiteral("floor"));
    tray.show();

    QTimer poll;
    if (QApplication::arguments().contains(QStringLiteral("--timer"))) {
        QObject::connect(&poll, &QTimer::timeout, &poll, [] {});
        poll.start(1000);
    }

    const int result = QApplication::exec();
    if (sound)
        ca_context_destroy(sound);
    return result;
}
