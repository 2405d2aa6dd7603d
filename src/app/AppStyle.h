#pragma once

#include <QProxyStyle>

namespace tessera {

// Fusion with the program's own flat icons in message boxes and no icons on dialog buttons, so
// that dialogs look like the tool bar.
class AppStyle : public QProxyStyle {
public:
    AppStyle();

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr, const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace tessera
