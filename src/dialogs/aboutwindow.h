#pragma once

#include "windowkit/persistentwindow.h"

class QLabel;
class QPushButton;

namespace vellaro {

// The author and the web address the About window shows; the address shown is the one opened.
inline constexpr char16_t kAuthorName[] = u"Калин Димитров";
inline constexpr char16_t kAuthorAddress[] = u"https://vellaro.example";

// The About window: the banner, the author and the author's web address (in the palette's link
// colour), always above other windows. It is shown without blocking anything and only hidden when
// closed, so there is never more than one. It is centred on the screen the first time it shows in a
// run and stays where the user leaves it after that.
class AboutWindow final : public PersistentWindow
{
    Q_OBJECT

public:
    static WindowDesign design();
    AboutWindow(AppContext &context, WindowSettings &settings, QWidget *parent = nullptr);

    // A click on the web address: the browser opens it; this window stays.
    void openWebAddress();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void centreOnScreen();
    // The accent colours of the texts, made readable on the palette's base colour.
    void applyColours();

    QLabel *m_banner = nullptr;
    QLabel *m_authorCaption = nullptr;
    QLabel *m_authorName = nullptr;
    QLabel *m_webLink = nullptr;
    QPushButton *m_closeButton = nullptr;
    bool m_centred = false;
    bool m_pictureLoaded = false;
    // The outer size the centring used; the window manager adds its frame only once the window
    // is up, and then the centring is done once more with the real size.
    QSize m_centredFrameSize;
    bool m_frameCheckPending = false;
    bool m_webLinkPressed = false;
};

} // namespace vellaro
