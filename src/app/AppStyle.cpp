#include "app/AppStyle.h"

#include "app/Icons.h"

#include <QStyleFactory>

namespace tessera {

AppStyle::AppStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int AppStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                        QStyleHintReturn* returnData) const
{
    if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

QIcon AppStyle::standardIcon(StandardPixmap icon, const QStyleOption* option, const QWidget* widget) const
{
    switch (icon) {
    case SP_MessageBoxInformation:
    case SP_MessageBoxQuestion:
        return makeIcon(IconKind::Information);
    case SP_MessageBoxWarning:
    case SP_MessageBoxCritical:
        return makeIcon(IconKind::Warning);
    default:
        return QProxyStyle::standardIcon(icon, option, widget);
    }
}

}  // namespace tessera
