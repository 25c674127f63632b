#pragma once

#include "appcontext.h"

#include <QDialog>

namespace vellaro {

// The common base of every window of the program. Right after a window's own preparation
// has run, its position, size and opacity come back from the window settings file; when the
// window is destroyed at exit they are written there again. The geometry section is named by the
// window's caption of the moment, the opacity by the executable's name (one value for all).
//
// Geometry is kept as the window's top-left corner (frame included) and its size without the
// window manager's frame, which on X11 is only known once mapped and on Wayland never: so a
// stored size comes back exactly, whatever the desktop's decorations.
class PersistentWindow : public QDialog
{
    Q_OBJECT

public:
    explicit PersistentWindow(AppContext &context, QWidget *parent = nullptr);
    ~PersistentWindow() override;

    // Every window of the program that exists now, in creation order.
    static const QList<PersistentWindow *> &liveWindows();

    // Runs the window's own preparation (an error in it is shown in the error box), then
    // restores the geometry and opacity.
    void initialize();
    // Writes the geometry and opacity; throws Error("Unable to write to ...").
    virtual void saveOnExit();

    int alpha() const { return m_alpha; }
    void setAlpha(int alpha);

    void restoreSettings();
    void storeSettings();

protected:
    virtual void prepare() {}

    void setDesignBounds(int left, int top, int width, int height);
    void setFixedBorder(bool fixed);
    // Keys reach the window's controls as in any other window: Esc closes nothing and Enter
    // presses nothing unless the window itself says so.
    void keyPressEvent(QKeyEvent *event) override;

    AppContext &m_context;

private:
    int m_alpha = 255;
    bool m_fixedBorder = false;
};

} // namespace vellaro
