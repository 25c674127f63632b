// The transparency command with its dialog, and the About window, among the program's windows.
#include "app/appcore.h"
#include "common/fakeservices.h"
#include "common/workspace.h"
#include "dialogs/aboutwindow.h"
#include "dialogs/alarmwindow.h"
#include "dialogs/remindereditor.h"
#include "dialogs/transparencydialog.h"
#include "mainwindow/mainwindow.h"
#include "platform/urlopener.h"
#include "windowkit/guard.h"
#include "windowkit/qttranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace vellaro;

namespace {

// The program's five windows, built by its core, and their settings written back at the end.
struct WindowSet
{
    AppCore core;
    MainWindow *main = nullptr;
    AboutWindow *about = nullptr;
    TransparencyDialog *dialog = nullptr;

    explicit WindowSet(AppContext &context, bool buildAll = true) : core(context)
    {
        core.start();
        main = core.mainWindow();
        dialog = core.transparencyDialog();
        if (buildAll) {
            about = core.aboutWindow();
            core.editor();
            core.alarmWindow();
        }
    }

    ~WindowSet() { core.saveOnExit(); }

    // Each window's opacity, as its settings keep it and as the window really carries it (the
    // kept value where the window was not built).
    QList<int> opacities() const
    {
        QList<int> out;
        for (const WindowSettings *settings : WindowSettings::all()) {
            const QWidget *w = settings->window();
            out << settings->alpha() << (w ? qRound(w->windowOpacity() * 255) : settings->alpha());
        }
        return out;
    }
};

QList<int> all(int alpha)
{
    return QList<int>(10, alpha);
}

QComboBox *combo(TransparencyDialog *d)
{
    return d->findChild<QComboBox *>("percentCombo");
}

void confirm(TransparencyDialog *d, const QString &text)
{
    combo(d)->setEditText(text);
    d->findChild<QPushButton *>("okButton")->click();
}

QPoint screenCentreFor(const QWidget *w)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QSize outer = w->frameGeometry().size();
    return screen.topLeft() + QPoint(std::max((screen.width() - outer.width()) / 2, 0),
                                     std::max((screen.height() - outer.height()) / 2, 0));
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private:
    FakeUrlOpener m_opener;
    std::unique_ptr<Workspace> m_ws;

    // Runs the command as the menu does; `user` plays the user's part once the dialog is up.
    void runAlpha(WindowSet &windows, std::function<void(TransparencyDialog *)> user)
    {
        TransparencyDialog *dialog = windows.dialog;
        bool stuck = true;
        QTimer::singleShot(0, dialog, [&] {
            if (QTest::qWaitFor([&] { return QApplication::activeModalWidget() == dialog; }))
                user(dialog);
            stuck = dialog->isVisible();
            if (stuck)
                dialog->close(); // never leave a failed test inside the modal loop
        });
        windows.main->findChild<QAction *>("transparencyAction")->trigger();
        QVERIFY(!stuck);
        QVERIFY(!dialog->isVisible());
    }

private slots:
    void init()
    {
        m_ws = std::make_unique<Workspace>();
        m_ws->context.urlOpener = &m_opener;
        m_opener.opened.clear();
        QVERIFY(m_ws->writeList({}));
    }

    void cleanup() { m_ws.reset(); }

    void fifty_givesEveryWindow155_andARestartKeepsIt()
    {
        {
            WindowSet windows(m_ws->context);
            QCOMPARE(windows.opacities(), all(255));
            windows.main->show(); // shown and hidden windows alike
            runAlpha(windows, [](TransparencyDialog *d) {
                combo(d)->setCurrentIndex(combo(d)->findText("50"));
                d->findChild<QPushButton *>("okButton")->click();
            });
            QCOMPARE(windows.opacities(), all(155));
        }
        {
            // A window built after the change (here the editor) shows it too.
            WindowSet next(m_ws->context, false);
            QCOMPARE(next.opacities(), all(155));
            runAlpha(next, [](TransparencyDialog *d) { confirm(d, "20"); });
            QCOMPARE(qRound(next.core.editor()->windowOpacity() * 255), 215);
        }
        WindowSet next(m_ws->context);
        QCOMPARE(next.opacities(), all(215));
        runAlpha(next, [](TransparencyDialog *d) { confirm(d, "0"); });
        QCOMPARE(next.opacities(), all(255));
        QVERIFY(m_ws->errors.isEmpty());
    }

    void transparency_notANumberOrEscapeOrCloseBox_changeNothing()
    {
        WindowSet windows(m_ws->context);
        runAlpha(windows, [](TransparencyDialog *d) { confirm(d, "70"); });
        QCOMPARE(windows.opacities(), all(115));
        runAlpha(windows, [](TransparencyDialog *d) { confirm(d, "Избери стойност"); });
        QCOMPARE(m_ws->errors,
                 QStringList{"'Избери стойност' is not a valid floating point value."});
        runAlpha(windows, [](TransparencyDialog *d) {
            combo(d)->setCurrentIndex(0);
            QTest::keyClick(d, Qt::Key_Escape);
            QVERIFY(d->isVisible()); // Esc closes nothing
            d->close();
        });
        QCOMPARE(windows.opacities(), all(115));
    }

    void transparency_typedDecimalAndEnter_textStaysForTheNextUse()
    {
        WindowSet windows(m_ws->context);
        runAlpha(windows, [](TransparencyDialog *d) {
            QLineEdit *edit = combo(d)->lineEdit();
            edit->selectAll();
            for (QChar c : QString("12,7"))
                QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), {});
            QTest::keyClick(edit, Qt::Key_Return);
        });
        QCOMPARE(windows.opacities(), all(231));
        QCOMPARE(combo(windows.dialog)->count(), 11); // typed text is not added to the list
        QCOMPARE(windows.dialog->percentText(), QString("12,7"));
    }

    void about_shownTwiceIsOneWindow_centredTheFirstTimeOnly()
    {
        QImageReader banner(":/pictures/about_banner.jpg");
        QCOMPARE(banner.format(), QByteArray("jpeg"));
        QCOMPARE(banner.read().size(), QSize(300, 73));

        QFile ini(m_ws->ini.path());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[За програмата]\nLeft=3\nTop=4\n");
        ini.close();
        auto windows = std::make_unique<WindowSet>(m_ws->context);
        AboutWindow *about = windows->about;
        QCOMPARE(about->pos(), QPoint(3, 4));
        windows->core.showAbout();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->findChild<QLabel *>("banner")->pixmap().size(), QSize(300, 73));
        QCOMPARE(about->pos(), screenCentreFor(about)); // not where the file put it
        windows->core.showAbout();
        int shown = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            shown += qobject_cast<AboutWindow *>(w) && w->isVisible();
        QCOMPARE(shown, 1);

        // Moved, closed and shown again: where it was left; after a restart: centred again.
        about->move(20, 30);
        about->close();
        windows->core.showAbout();
        QCOMPARE(about->pos(), QPoint(20, 30));
        windows.reset();
        windows = std::make_unique<WindowSet>(m_ws->context);
        QCOMPARE(windows->about->pos(), QPoint(20, 30));
        windows->core.showAbout();
        QCOMPARE(windows->about->pos(), screenCentreFor(windows->about));
    }

    void about_keys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("closes");
        QTest::newRow("escapeDoesNothing") << int(Qt::Key_Escape) << false;
        QTest::newRow("enter") << int(Qt::Key_Return) << true;
        QTest::newRow("space") << int(Qt::Key_Space) << true;
    }

    void about_keys()
    {
        QFETCH(int, key);
        QFETCH(bool, closes);
        WindowSet windows(m_ws->context);
        windows.about->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows.about));
        QCOMPARE(QApplication::focusWidget(),
                 windows.about->findChild<QPushButton *>("closeButton"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QCOMPARE(windows.about->isVisible(), !closes);
    }

    void about_webAddressClick_opensTheAddressShown_andTheWindowStays()
    {
        WindowSet windows(m_ws->context);
        windows.about->show();
        QVERIFY(QTest::qWaitForWindowExposed(windows.about));
        auto *link = windows.about->findChild<QLabel *>("webLink");
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(m_opener.opened, QStringList{link->text()});
        QVERIFY(windows.about->isVisible());
        // Pressed on the address and let go elsewhere: no click.
        QTest::mousePress(link, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(-40, 5));
        QCOMPARE(m_opener.opened.size(), 1);
    }

    // Qt's own texts (here a text field's context menu) speak the program's language.
    void qtOwnTexts_inBulgarian()
    {
        QVERIFY(installQtTranslations());
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QVERIFY(!menu->actions().value(0)->text().contains("Undo"));
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
