// Japanese in the windows.
#include "ui/qt/japanese_ui.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QLibraryInfo>
#include <QLocale>
#include <QStringList>
#include <QTranslator>

namespace vexal {

void PreferJapaneseFont() {
    static const char* const kCandidates[] = {"Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP",
                                              "IPAexGothic",      "IPAGothic",    "TakaoGothic",
                                              "VL Gothic"};
    QFont font = QApplication::font();
    QStringList families = font.families();
    if (families.isEmpty()) families << font.family();
    for (const char* name : kCandidates) {
        const QString family = QString::fromLatin1(name);
        if (QFontDatabase::hasFamily(family) && !families.contains(family)) {
            families << family;
            break;
        }
    }
    font.setFamilies(families);
    QApplication::setFont(font);
}

void LoadJapaneseQtTexts() {
    static QTranslator translator;
    if (translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                        QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}

}  // namespace vexal
