// Draws the program's windows with sample reminders into PNG files, for the README and the
// AppStream data: scripts/screenshots runs it on a private Xvfb display, in the default look, with
// a larger font and with a dark palette.
//   vellaro_screenshots OUTPUT_FOLDER [default|large|dark]
#include "app/appcore.h"
#include "common/darkpalette.h"
#include "common/workspace.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "dialogs/transparencydialog.h"
#include "mainwindow/mainwindow.h"
#include "resources/icons.h"
#include "windowkit/guard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace vellaro;

namespace {

bool save(QWidget *window, const QString &path)
{
    window->show();
    window->raise();
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    // What the program does each time its loop waits, which qWait never does.
    if (auto *main = qobject_cast<MainWindow *>(window))
        main->updateOnIdle();
    QTest::qWait(300);
    const QImage image = window->grab().toImage();
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
    window->hide();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString look = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("default");
    if (argc < 2 || argc > 3 || !QStringList{"default", "large", "dark"}.contains(look)) {
        std::fprintf(stderr, "usage: vellaro_screenshots OUTPUT_FOLDER [default|large|dark]\n");
        return 2;
    }
    if (look == QLatin1String("large")) {
        QFont font = QApplication::font();
        font.setPointSizeF(16);
        QApplication::setFont(font);
    } else if (look == QLatin1String("dark")) {
        QApplication::setPalette(darkPalette());
    }
    const QString suffix = look == QLatin1String("default") ? QString() : u'-' + look;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const auto file = [&out, &suffix](const char *name) {
        return out.filePath(QString::fromLatin1(name) + suffix + QStringLiteral(".png"));
    };
    Workspace workspace;
    AppContext &context = workspace.context;
    const LocaleFormats &formats = workspace.formats;
    if (!workspace.writeList(
            "Годишен преглед при зъболекаря\r\n\t15.12.26 г.\r\n\t10:30:00\r\n"
            "\tд-р Петрова, ул. \"Шипка\" 12\r\n"
            "Рожден ден на мама\r\n\t23.12.26 г.\r\n\t9:00:00\r\n\tторта и цветя\r\n"
            "Среща с екипа\r\n\t10.12.26 г.\r\n\t14:00:00\r\n\tзала 3, втори етаж\r\n"
            "Плащане на сметките\r\n\t28.12.26 г.\r\n\t18:00:00\r\n"
            "\tток, вода, интернет\r\n"))
        return 1;
    setErrorBoxHandler(
        [](const QString &text) { std::fprintf(stderr, "error: %s\n", qPrintable(text)); });

    AppCore core(context);
    core.start();
    MainWindow *main = core.mainWindow();
    main->resize(640, 400);
    main->findChild<QTableView *>("reminderView")->selectRow(1);
    bool ok = save(main, file("main-window"));

    ReminderEditor *editor = core.editor();
    editor->setWindowTitle(QStringLiteral("Добавяне на нов запис"));
    editor->setDraft({QStringLiteral("Среща с екипа"), QDate(2026, 12, 10), QTime(14, 0),
                      QStringLiteral("зала 3, втори етаж"),
                      QStringLiteral("FREQ=WEEKLY;BYDAY=TH")});
    ok = save(editor, file("reminder-editor")) && ok;

    AlarmWindow *alarm = core.alarmWindow();
    alarm->showReminder(
        formats.dateText(QDate(2026, 12, 9)),
        QStringLiteral("Годишна среща на сдружението на собствениците в блок 12, вход Б"),
        QStringLiteral("18:30:00"),
        QStringLiteral("В залата на първия етаж. Дневен ред: ремонт на покрива, асансьорът, "
                       "осветлението на стълбището и бюджетът за следващата година. Носете "
                       "пълномощно, ако представлявате съсед."));
    ok = save(alarm, file("alarm-window")) && ok;

    ok = save(core.aboutWindow(), file("about-window")) && ok;

    // The tray icon at the sizes panels use, on a dark panel and on a light one.
    QImage tray(4 * 40 + 8, 2 * 40, QImage::Format_ARGB32);
    {
        QPainter p(&tray);
        const QColor panels[] = {QColor(0x24, 0x24, 0x24), QColor(0xf6, 0xf5, 0xf4)};
        for (int row = 0; row < 2; ++row) {
            p.fillRect(0, row * 40, tray.width(), 40, panels[row]);
            int x = 8;
            for (const int size : {16, 22, 24, 32}) {
                p.drawPixmap(x, row * 40 + (40 - size) / 2, programIcon().pixmap(size, size));
                x += size + 16;
            }
        }
    }
    if (suffix.isEmpty())
        ok = tray.save(file("tray-icon")) && ok;
    ok = save(core.transparencyDialog(), file("transparency-dialog")) && ok;
    return ok ? 0 : 1;
}
