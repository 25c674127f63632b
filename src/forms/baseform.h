#pragma once

#include "formcontext.h"

#include <QWidget>

class QEventLoop;

namespace vellaro {

enum ModalResult : int
{
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2
};

// The common base of every window of the program. Right after a window's own creation handler
// has run, its position, size and opacity come back from the window settings file; when the
// window is destroyed at exit they are written there again. The geometry section is named by the
// window's caption of the moment, the opacity by the executable's name (one value for all).
//
// Geometry is kept as the window's top-left corner (frame included) and its size without the
// window manager's frame, which on X11 is only known once mapped and on Wayland never: so a
// stored size comes back exactly, whatever the desktop's decorations.
class TBaseForm : public QWidget
{
    Q_OBJECT

public:
    explicit TBaseForm(FormContext &context, QWidget *parent = nullptr);
    ~TBaseForm() override;

    // Every window of the program that exists now, in creation order.
    static const QList<TBaseForm *> &liveForms();

    // Runs the creation handler (its error is shown in the error box), then the restore.
    void DoCreate();
    // Writes the geometry and opacity; throws Error("Unable to write to ...").
    virtual void DoDestroy();

    int AlphaBlendValue() const { return m_alphaBlendValue; }
    void setAlphaBlendValue(int alpha);

    // Runs the window modally and returns its modal result (mrCancel when closed by its box).
    int showModal();
    int modalResult() const { return m_modalResult; }
    void setModalResult(int result);
    bool isModalRunning() const { return m_modalLoop != nullptr; }

    void restoreSettings();
    void storeSettings();

protected:
    virtual void FormCreate() {}

    void setDesignBounds(int left, int top, int width, int height);
    void setFixedBorder(bool fixed);
    void closeEvent(QCloseEvent *event) override;

    FormContext &m_context;

private:
    int m_alphaBlendValue = 255;
    int m_modalResult = mrNone;
    QEventLoop *m_modalLoop = nullptr;
    bool m_fixedBorder = false;
};

} // namespace vellaro
