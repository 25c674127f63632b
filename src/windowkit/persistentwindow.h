#pragma once

#include "windowkit/appcontext.h"

#include <QDialog>
#include <QMainWindow>
#include <QPointer>
#include <QRect>

namespace vellaro {

// How a window is drawn before the settings file has a say: its caption, position and size,
// whether the user may resize it, and whether its size is meant for the design's font (the size
// then grows with a larger desktop font; a size from the settings file is taken as it is).
struct WindowDesign
{
    QString caption;
    QRect bounds;
    bool fixedSize = false;
    bool sizeFollowsFont = false;
};

// What the settings file keeps of one window: its position, size and opacity. The record lives
// for the whole run, whether the window was ever built or not: it is read at start, follows the
// window while there is one, and is written back at exit (as read, when the window never showed).
// The geometry section is named by the window's caption of the moment, the opacity by the
// executable's name (one value for all windows).
//
// Geometry is kept as the window's top-left corner (frame included) and its size without the
// window manager's frame, which on X11 is only known once mapped and on Wayland never: so a
// stored size comes back exactly, whatever the desktop's decorations.
class WindowSettings final
{
public:
    // The design gives the values the file does not hold.
    WindowSettings(AppContext &context, const WindowDesign &design);
    ~WindowSettings();

    // Every window's record, in creation order.
    static const QList<WindowSettings *> &all();

    // Reads the values; a position on no screen is moved onto the primary screen.
    void read();
    // Writes the values; throws Error("Unable to write to ...").
    void write();

    int alpha() const { return m_alpha; }
    // Gives the window (when there is one) its opacity now, and keeps it for the file.
    void setAlpha(int alpha);
    QRect geometry() const { return m_geometry; }
    bool fixedSize() const { return m_fixedSize; }
    // The window built for the record, while there is one.
    QWidget *window() const { return m_window; }

private:
    friend class WindowPlacement;

    AppContext &m_context;
    QString m_caption;
    QRect m_geometry;
    bool m_fixedSize;
    bool m_sizeFollowsFont;
    // Whether the file gave the width and the height (otherwise they are the design's).
    bool m_widthStored = false;
    bool m_heightStored = false;
    int m_alpha = 255;
    QPointer<QWidget> m_window;
};

// What every window of the program does with its settings record, whichever Qt window it is.
//
// Every window lays its controls out with Qt layouts in the desktop's font (the application
// font; captions that stand out are bold or larger versions of it, never another family). The
// design size is the default; a window is never smaller than its layout needs (fixed-size
// windows are fixed at the larger of the two), and it is kept wholly on the available area of
// its screen. What the program changes on its own (a size grown for a larger font or a long
// text, a position moved back onto the screen) is not written to the settings file: the stored
// values change only when the user moves or resizes the window.
class WindowPlacement final
{
public:
    // Gives the window its caption and the record's position and size.
    WindowPlacement(QWidget &window, WindowSettings &settings);

    // Takes the geometry and opacity from the record, grown to the layout's needs and kept on
    // the screen.
    void apply();
    // Hands the geometry and caption to the record and writes it; throws
    // Error("Unable to write to ...").
    void save();
    // From the window's showEvent, changeEvent, moveEvent and resizeEvent.
    void shown();
    void changed(const QEvent *event);
    void movedOrResized();

    // Resizes the window for its contents, within the available screen; a size set this way
    // is not stored (unless the user resizes the window afterwards).
    void resizeForContents(const QSize &size);
    // Moves (and, when resizable, shrinks) the window so that it lies wholly on the available
    // area of its screen; a position set this way is not stored.
    void keepOnScreen();
    // The smallest size the window's layout allows.
    QSize layoutMinimum() const;
    // The available area of the screen the window is on (or would be on).
    QRect availableArea() const;

    int alpha() const { return m_settings.alpha(); }
    void setAlpha(int alpha) { m_settings.setAlpha(alpha); }

private:
    void setSize(const QSize &size);
    // Grows the window to what its layout needs (after a change of font or style).
    void fitLayout();

    QWidget &m_window;
    WindowSettings &m_settings;
    // Where the program itself last put the window, and the size it last gave it.
    QPoint m_placedPosition;
    QSize m_placedSize;
    bool m_positionPlaced = false;
    bool m_sizePlaced = false;
    // The window manager's frame as it was when the window was last kept on the screen.
    QSize m_frameKept;
};

// The common base of the program's dialog windows (the modal ones run with exec()): takes its
// position, size and opacity from its settings record when it is initialised, and hands them
// back when the program ends.
class PersistentWindow : public QDialog
{
    Q_OBJECT

public:
    PersistentWindow(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);
    ~PersistentWindow() override;

    // Runs the window's own preparation (an error in it is shown in the error box), then takes
    // the geometry and opacity from the settings record.
    void initialize();
    // Hands the geometry, caption and opacity to the settings record and writes it; throws
    // Error("Unable to write to ...").
    virtual void saveOnExit();

    int alpha() const { return m_placement.alpha(); }
    void setAlpha(int alpha) { m_placement.setAlpha(alpha); }

protected:
    virtual void prepare() {}

    void resizeForContents(const QSize &size) { m_placement.resizeForContents(size); }
    void keepOnScreen() { m_placement.keepOnScreen(); }
    QSize layoutMinimum() const { return m_placement.layoutMinimum(); }
    QRect availableArea() const { return m_placement.availableArea(); }

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Keys reach the window's controls as in any other window: Esc closes nothing and Enter
    // presses nothing unless the window itself says so.
    void keyPressEvent(QKeyEvent *event) override;

    AppContext &m_context;

private:
    WindowPlacement m_placement;
};

// The same for the main window, a QMainWindow (menu bar, central list, status bar).
class PersistentMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    PersistentMainWindow(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);
    ~PersistentMainWindow() override;

    void initialize();
    virtual void saveOnExit();

    int alpha() const { return m_placement.alpha(); }
    void setAlpha(int alpha) { m_placement.setAlpha(alpha); }

protected:
    virtual void prepare() {}

    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    AppContext &m_context;

private:
    WindowPlacement m_placement;
};

} // namespace vellaro
