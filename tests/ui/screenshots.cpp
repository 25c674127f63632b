// Draws the program's windows with sample reminders into PNG files, for the README and the
// AppStream data: scripts/screenshots runs it on a private Xvfb display.
//   vellaro_screenshots OUTPUT_FOLDER
#include "app/appcore.h"
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

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return {QDate(2026, 12, 9), QTime(9, 5, 7)}; }
};

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
    if (argc != 2) {
        std::fprintf(stderr, "usage: vellaro_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir dir;
    ProfileFile ini(dir.filePath("Vellaro.ini"));
    FixedClock clock;
    LocaleFormats formats =
        LocaleFormats::fromLocale(QLocale(QLocale::Bulgarian, QLocale::Bulgaria));
    AppContext context{dir.filePath("List.ul1"), &ini, "vellaro", &clock, &formats};
    QFile list(context.listPath);
    if (!list.open(QIODevice::WriteOnly))
        return 1;
    list.write("Годишен преглед при зъболекаря\r\n\t15.12.2026 г.\r\n\t10:30:00\r\n"
               "\tд-р Петрова, ул. \"Шипка\" 12\r\n"
               "Рожден ден на мама\r\n\t23.12.2026 г.\r\n\t09:00:00\r\n\tторта и цветя\r\n"
               "Среща с екипа\r\n\t10.12.2026 г.\r\n\t14:00:00\r\n\tзала 3, втори етаж\r\n"
               "Плащане на сметките\r\n\t28.12.2026 г.\r\n\t18:00:00\r\n"
               "\tток, вода, интернет\r\n");
    list.close();
    setErrorBoxHandler(
        [](const QString &text) { std::fprintf(stderr, "error: %s\n", qPrintable(text)); });

    AppCore core(context);
    core.start();
    MainWindow *main = core.mainWindow();
    main->resize(640, 400);
    main->findChild<QTableView *>("reminderView")->selectRow(1);
    bool ok = save(main, out.filePath("main-window.png"));

    ReminderEditor *editor = core.editor();
    editor->setWindowTitle(QStringLiteral("Добавяне на нов запис"));
    editor->setDraft({QStringLiteral("Среща с екипа"), QDate(2026, 12, 10), QTime(14, 0),
                      QStringLiteral("зала 3, втори етаж")});
    ok = save(editor, out.filePath("reminder-editor.png")) && ok;

    AlarmWindow *alarm = core.alarmWindow();
    alarm->showReminder(
        formats.dateText(QDate(2026, 12, 9)),
        QStringLiteral("Годишна среща на сдружението на собствениците в блок 12, вход Б"),
        QStringLiteral("18:30:00"),
        QStringLiteral("В залата на първия етаж. Дневен ред: ремонт на покрива, асансьорът, "
                       "осветлението на стълбището и бюджетът за следващата година. Носете "
                       "пълномощно, ако представлявате съсед."));
    ok = save(alarm, out.filePath("alarm-window.png")) && ok;

    ok = save(core.aboutWindow(), out.filePath("about-window.png")) && ok;

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
    ok = tray.save(out.filePath("tray-icon.png")) && ok;
    ok = save(core.transparencyDialog(), out.filePath("transparency-dialog.png")) && ok;
    return ok ? 0 : 1;
}
