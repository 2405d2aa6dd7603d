#include "app/Startup.h"

#include "app/AppStyle.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tessera {

void setUpApplication(QApplication& app)
{
    QApplication::setStyle(new AppStyle);
    // Qt's own texts and dates in Chinese, whatever the system locale.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto* translator = new QTranslator(&app);
    if (translator->load(chinese, QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    if (QFontDatabase::families().contains(cjk)) {
        QFont font = QApplication::font();
        font.setFamilies({cjk});
        font.setPointSize(9);
        QApplication::setFont(font);
    }
}

}  // namespace tessera
