#include "icons.h"

#include <QString>

namespace vellaro {

QIcon commandIcon(int index)
{
    if (index < 0 || index > 7)
        return {};
    return QIcon(QStringLiteral(":/icons/command_%1.svg").arg(index));
}

QIcon programIcon()
{
    return QIcon(QStringLiteral(":/icons/vellaro.svg"));
}

QIcon editorIcon()
{
    return QIcon(QStringLiteral(":/icons/vellaro_editor.svg"));
}

QIcon okButtonIcon()
{
    return QIcon(QStringLiteral(":/icons/button_ok.svg"));
}

QIcon cancelButtonIcon()
{
    return QIcon(QStringLiteral(":/icons/button_cancel.svg"));
}

} // namespace vellaro
