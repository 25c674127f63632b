// The five windows laid out in the desktop's font: at 9, 14 and 20 points and with a dark
// palette no control is cut off or covered, every text keeps the 4.5:1 contrast rule, the alarm
// window shows a long name and long notes whole, windows stay on the screen, and the keyboard
// reaches what it should.
#include "app/appcore.h"
#include "common/darkpalette.h"
#include "common/workspace.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "dialogs/transparencydialog.h"
#include "mainwindow/mainwindow.h"
#include "windowkit/guard.h"
#include "windowkit/windowlook.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace vellaro;

namespace {

// The size a layout must give the widget at least (what QLayout itself allows it).
QSize smallestAllowed(const QWidget *w)
{
    const QSizePolicy policy = w->sizePolicy();
    const QSize hint = w->minimumSizeHint().isValid() ? w->minimumSizeHint() : w->sizeHint();
    QSize least;
    least.setWidth(policy.horizontalPolicy() == QSizePolicy::Ignored       ? 0
                   : (policy.horizontalPolicy() & QSizePolicy::ShrinkFlag) ? hint.width()
                                                                           : w->sizeHint().width());
    least.setHeight(policy.verticalPolicy() == QSizePolicy::Ignored       ? 0
                    : (policy.verticalPolicy() & QSizePolicy::ShrinkFlag) ? hint.height()
                                                                          : w->sizeHint().height());
    if (w->minimumWidth() > 0)
        least.setWidth(w->minimumWidth());
    if (w->minimumHeight() > 0)
        least.setHeight(w->minimumHeight());
    return least.expandedTo(QSize(0, 0));
}

bool showsText(const QWidget *w)
{
    if (auto *label = qobject_cast<const QLabel *>(w))
        return !label->text().isEmpty();
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w);
}

// The program's own controls (those it names) that are shown in the window.
QList<QWidget *> namedControls(QWidget *window)
{
    QList<QWidget *> out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_") &&
            w->isVisibleTo(window) && !w->isWindow())
            out << w;
    }
    return out;
}

bool insideScrollArea(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(p))
            return true;
    return false;
}

// The part of the widget its ancestors show, in the window's coordinates.
QRect shownRect(const QWidget *w, const QWidget *window)
{
    QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        r &= QRect(p->mapTo(window, QPoint(0, 0)), p->size());
    return r;
}

// No control cut off by the window's edge or squeezed below what it needs, no two texts on top
// of each other.
QStringList clipped(QWidget *window)
{
    QStringList problems;
    const QList<QWidget *> controls = namedControls(window);
    for (QWidget *w : controls) {
        const QRect r(w->mapTo(window, QPoint(0, 0)), w->size());
        const QString name = window->objectName() + u'/' + w->objectName();
        if (!insideScrollArea(w, window) && !window->rect().contains(r))
            problems << QStringLiteral("%1 %2 outside %3")
                            .arg(name, QVariant(r).toString(), QVariant(window->rect()).toString());
        const QSize least = smallestAllowed(w);
        if (w->width() < least.width() || w->height() < least.height())
            problems << QStringLiteral("%1 %2x%3 below %4x%5")
                            .arg(name)
                            .arg(w->width())
                            .arg(w->height())
                            .arg(least.width())
                            .arg(least.height());
        if (w->hasHeightForWidth() && !insideScrollArea(w, window) &&
            w->height() < w->heightForWidth(w->width()))
            problems << QStringLiteral("%1 height %2 below %3 for its width")
                            .arg(name)
                            .arg(w->height())
                            .arg(w->heightForWidth(w->width()));
    }
    for (int i = 0; i < controls.size(); ++i) {
        for (int j = i + 1; j < controls.size(); ++j) {
            QWidget *a = controls[i];
            QWidget *b = controls[j];
            if (!showsText(a) || !showsText(b) || a->isAncestorOf(b) || b->isAncestorOf(a))
                continue;
            if (shownRect(a, window).intersects(shownRect(b, window)))
                problems << QStringLiteral("%1 overlaps %2").arg(a->objectName(), b->objectName());
        }
    }
    return problems;
}

// Texts of the window whose colour breaks the contrast rule on the background they stand on.
QStringList unreadable(QWidget *window)
{
    QStringList problems;
    for (QWidget *w : namedControls(window)) {
        auto *label = qobject_cast<QLabel *>(w);
        if (!label || label->text().isEmpty())
            continue;
        const QColor text = label->palette().color(QPalette::Active, label->foregroundRole());
        const QColor background = backgroundColour(label);
        const double ratio = contrastRatio(text, background);
        if (ratio < kMinimumTextContrast)
            problems << QStringLiteral("%1: %2 on %3 is %4:1")
                            .arg(label->objectName(), text.name(), background.name())
                            .arg(ratio, 0, 'f', 2);
    }
    return problems;
}

const QString kLongName =
    QStringLiteral("Годишна среща на сдружението на собствениците в блок 12, вход Б, ") +
    QString(120, u'Ж') +
    QStringLiteral(" — с покана до всички съседи и до управителя на входа, моля потвърдете");

} // namespace

class TestWindowLayout : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AppCore> m_core;
    std::unique_ptr<Workspace> m_ws;
    QFont m_font;
    QPalette m_palette;

    void writeIni(const QByteArray &bytes)
    {
        QFile f(m_ws->ini.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void startCore()
    {
        m_core = std::make_unique<AppCore>(m_ws->context);
        m_core->start();
    }

    // Every window of the program, built by the core and shown (the modal ones without their
    // loops), the alarm window with a reminder in it.
    QList<QWidget *> showAll()
    {
        startCore();
        AlarmWindow *alarm = m_core->alarmWindow();
        alarm->showReminder("9.12.2026 г.", "Среща", "9:00:02", "в офиса");
        const QList<QWidget *> windows{m_core->mainWindow(), m_core->aboutWindow(),
                                       m_core->editor(), alarm, m_core->transparencyDialog()};
        for (QWidget *w : windows) {
            w->show();
            if (!QTest::qWaitForWindowExposed(w))
                qWarning() << w->objectName() << "not exposed";
        }
        QCoreApplication::processEvents();
        return windows;
    }

private slots:
    void initTestCase()
    {
        m_font = QApplication::font();
        m_palette = QApplication::palette();
    }

    void init()
    {
        m_ws = std::make_unique<Workspace>();
        QVERIFY(m_ws->writeList("Среща\r\n\t9.12.2026 г.\r\n\t17:11:29\r\n\tв офиса\r\n"));
    }

    void cleanup()
    {
        m_core.reset();
        QApplication::setFont(m_font);
        QApplication::setPalette(m_palette);
        m_ws.reset();
    }

    void noControlCutOff_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("dark");
        for (int points : {9, 14, 20}) {
            QTest::addRow("%dpt", points) << points << false;
            QTest::addRow("%dpt-dark", points) << points << true;
        }
    }

    void noControlCutOff()
    {
        QFETCH(int, points);
        QFETCH(bool, dark);
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
        if (dark)
            QApplication::setPalette(darkPalette());
        const QList<QWidget *> windows = showAll();
        for (QWidget *w : windows) {
            QCOMPARE(w->font().pointSize(), points);
            const QStringList problems = clipped(w);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
            QVERIFY2(w->screen()->availableGeometry().contains(w->frameGeometry()),
                     qPrintable(w->objectName()));
            // What a screen reader says: no name carries the shortcut marker "&"; the list and
            // the About banner are named.
            for (QWidget *c : namedControls(w)) {
                const QString name =
                    QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name);
                QVERIFY2(!name.contains(u'&'), qPrintable(name));
                if (c->objectName() == "reminderView" || c->objectName() == "banner")
                    QVERIFY(name.startsWith(c->objectName() == "banner" ? "Емблема" : "Списък"));
            }
        }
        // The main window is larger for a larger font: no column cuts its texts (at 20 points
        // the design's size left two letters of a name).
        auto *list = m_core->mainWindow()->findChild<QTableView *>("reminderView");
        for (int column = 0; column < 4; ++column)
            QVERIFY2(list->columnWidth(column) >=
                         static_cast<QAbstractItemView *>(list)->sizeHintForColumn(column),
                     qPrintable(QString::number(column)));
        QVERIFY(m_ws->errors.isEmpty());
    }

    void fontChangedWhileOpen_windowsGrowToTheirLayout()
    {
        const QList<QWidget *> windows = showAll();
        QFont font = QApplication::font();
        font.setPointSize(20);
        QApplication::setFont(font);
        QTest::qWait(50); // the status bar follows when the loop is next idle
        for (QWidget *w : windows) {
            const QStringList problems = clipped(w);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        }
    }

    void contrast_everyTextReadable_lightAndDark()
    {
        const QList<QWidget *> windows = showAll();
        for (QWidget *w : windows) {
            const QStringList problems = unreadable(w);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        }
        // Changed while the windows are open, as when the desktop's theme changes.
        QApplication::setPalette(darkPalette());
        QCoreApplication::processEvents();
        for (QWidget *w : windows) {
            const QStringList problems = unreadable(w);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));
        }
        // The web address is in the link colour, made readable: a light blue on the dark base.
        auto *link = m_core->aboutWindow()->findChild<QLabel *>("webLink");
        const QColor colour = link->palette().color(link->foregroundRole());
        QVERIFY(colour.blue() > colour.red());
        QVERIFY(link->font().underline());
    }

    void contrast_readableColourKeepsWhatPasses_andFixesWhatFails()
    {
        QCOMPARE(readableColour(QColor(0, 0, 128), Qt::white), QColor(0, 0, 128));
        QVERIFY(contrastRatio(QColor(Qt::red), Qt::white) < 4.5);
        const QColor red = readableColour(Qt::red, Qt::white);
        QVERIFY(contrastRatio(red, Qt::white) >= 4.5);
        QVERIFY(red.red() > red.green() && red.red() > red.blue());
        const QColor navy = readableColour(QColor(0, 0, 128), QColor(0x1e, 0x1e, 0x1e));
        QVERIFY(contrastRatio(navy, QColor(0x1e, 0x1e, 0x1e)) >= 4.5);
        QVERIFY(navy.blue() > navy.red());
        QCOMPARE(qRound(contrastRatio(Qt::black, Qt::white)), 21);
    }

    void alarm_longNameAndNotes_shownWhole_withinTwoThirdsOfTheScreen()
    {
        startCore();
        AlarmWindow *alarm = m_core->alarmWindow();
        const QSize designed = alarm->size();
        QString notes;
        for (int i = 0; i < 200; ++i)
            notes += QStringLiteral("Ред %1 от бележката за срещата. ").arg(i);
        alarm->showReminder("9.12.2026 г.", kLongName, "9:00:02", notes);
        alarm->show();
        QVERIFY(QTest::qWaitForWindowExposed(alarm));
        QCoreApplication::processEvents();

        const QRect area = alarm->screen()->availableGeometry();
        QVERIFY(alarm->width() > designed.width());
        QVERIFY2(alarm->width() <= area.width() * 2 / 3 + 1,
                 qPrintable(QString::number(alarm->width())));
        QVERIFY2(alarm->height() <= area.height() * 2 / 3 + 1,
                 qPrintable(QString::number(alarm->height())));
        QVERIFY(area.contains(alarm->frameGeometry()));

        // The name is whole: every line of it inside the window, above the button.
        auto *name = alarm->findChild<QLabel *>("nameValue");
        QCOMPARE(name->text(), kLongName);
        QVERIFY(name->height() >= name->heightForWidth(name->width()));
        QVERIFY(name->height() > 2 * name->fontMetrics().height()); // wrapped
        const QStringList problems = clipped(alarm);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u'\n')));

        // The notes scroll; the button has a row of its own below them.
        auto *area2 = alarm->findChild<QScrollArea *>("notesArea");
        QVERIFY(area2->verticalScrollBar()->maximum() > 0);
        auto *button = alarm->findChild<QPushButton *>("closeButton");
        const QRect buttonRect(button->mapTo(alarm, QPoint(0, 0)), button->size());
        for (QWidget *w : {static_cast<QWidget *>(name), static_cast<QWidget *>(area2)}) {
            const QRect r(w->mapTo(alarm, QPoint(0, 0)), w->size());
            QVERIFY(!r.intersects(buttonRect));
        }

        // The user may make it larger; a short reminder after it keeps that size.
        alarm->close();
        alarm->showReminder("9.12.2026 г.", "Кратко", "9:00:03", "");
        alarm->show();
        QVERIFY(QTest::qWaitForWindowExposed(alarm));
        QVERIFY(clipped(alarm).isEmpty());

        // At exit the stored size is the design's: the growth was the program's, not the user's.
        m_core->saveOnExit();
        QCOMPARE(m_ws->ini.readInteger("Напомняне ...", "Width", 0), designed.width());
    }

    void alarm_returnAndEnterClose_escapeDoesNot()
    {
        startCore();
        AlarmWindow *alarm = m_core->alarmWindow();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
            alarm->showReminder("9.12.2026 г.", "Среща", "9:00:02", "в офиса");
            alarm->show();
            QVERIFY(QTest::qWaitForWindowExposed(alarm));
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : alarm,
                            Qt::Key_Escape);
            QVERIFY(alarm->isVisible());
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : alarm, key);
            QVERIFY(!alarm->isVisible());
        }
        // From the notes too.
        alarm->show();
        QVERIFY(QTest::qWaitForWindowExposed(alarm));
        QTest::keyClick(alarm->findChild<QScrollArea *>("notesArea"), Qt::Key_Return);
        QVERIFY(!alarm->isVisible());
    }

    void editor_startsInTheNameOnEveryAddAndEdit()
    {
        startCore();
        ReminderEditor *editor = m_core->editor();
        auto *nameEdit = editor->findChild<QLineEdit *>("nameEdit");
        QList<QWidget *> focusAtStart;
        const auto user = [&] {
            QTimer::singleShot(0, editor, [&] {
                if (!QTest::qWaitFor([&] { return QApplication::activeModalWidget() == editor; }))
                    qWarning("the editor did not become modal");
                focusAtStart << editor->focusWidget();
                // The user leaves the focus elsewhere before cancelling.
                editor->findChild<QPushButton *>("cancelButton")->setFocus();
                editor->reject();
            });
        };
        user();
        m_core->addReminder();
        user();
        m_core->editReminder(0);
        user();
        m_core->addReminder();
        QCOMPARE(focusAtStart, QList<QWidget *>({nameEdit, nameEdit, nameEdit}));
    }

    void offScreen_shownWhollyOnScreen_storedValuesKeptUntilTheUserMoves()
    {
        writeIni("[Добавяне на напомняне]\nLeft=700\nTop=500\nWidth=60\nHeight=20\n"
                 "[За програмата]\nLeft=-150\nTop=590\n");
        startCore();
        ReminderEditor *editor = m_core->editor();
        const QRect area = editor->screen()->availableGeometry();
        QVERIFY2(area.contains(editor->geometry()),
                 qPrintable(QVariant(editor->geometry()).toString()));
        QVERIFY(editor->width() > 60 && editor->height() > 20); // its layout's needs
        editor->show();
        QVERIFY(QTest::qWaitForWindowExposed(editor));
        QVERIFY(area.contains(editor->frameGeometry()));
        QVERIFY(clipped(editor).isEmpty());
        AboutWindow *about = m_core->aboutWindow();
        QVERIFY(area.contains(about->geometry()));

        // Nothing moved by the user: the file keeps what it had.
        m_core->saveOnExit();
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Left", 0), 700);
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Top", 0), 500);
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Width", 0), 60);
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Height", 0), 20);
        QCOMPARE(m_ws->ini.readInteger("За програмата", "Left", 0), -150);

        // Moved and resized by the user: that is kept.
        editor->move(30, 40);
        editor->resize(editor->width() + 10, editor->height() + 5);
        const QSize chosen = editor->size();
        m_core->saveOnExit();
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Left", 0), 30);
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Top", 0), 40);
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Width", 0), chosen.width());
        QCOMPARE(m_ws->ini.readInteger("Добавяне на напомняне", "Height", 0), chosen.height());
    }

    void designSizes_areTheDefaults_keysUnchanged()
    {
        startCore();
        const QList<std::pair<QWidget *, WindowDesign>> windows{
            {m_core->mainWindow(), MainWindow::design()},
            {m_core->editor(), ReminderEditor::design()},
            {m_core->alarmWindow(), AlarmWindow::design()},
            {m_core->transparencyDialog(), TransparencyDialog::design()},
            {m_core->aboutWindow(), AboutWindow::design()}};
        for (const auto &[w, design] : windows) {
            QCOMPARE(w->pos(), design.bounds.topLeft());
            QVERIFY(w->width() >= design.bounds.width() && w->height() >= design.bounds.height());
        }
        QCOMPARE(m_core->mainWindow()->size(), MainWindow::design().bounds.size());
        m_core->saveOnExit();
        for (const auto &[w, design] : windows) {
            for (const char *key : {"Left", "Top", "Width", "Height"})
                QVERIFY2(m_ws->ini.readInteger(design.caption, QString::fromLatin1(key), -1) >= 0,
                         qPrintable(design.caption + u' ' + QString::fromLatin1(key)));
            QCOMPARE(m_ws->ini.readInteger(design.caption, "Width", 0), design.bounds.width());
            QCOMPARE(m_ws->ini.readInteger(design.caption, "Height", 0), design.bounds.height());
        }
    }
};

QTEST_MAIN(TestWindowLayout)
#include "tst_windowlayout.moc"
