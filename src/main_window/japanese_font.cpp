#include "main_window/japanese_font.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

namespace mainwin {

bool applyJapaneseFont() {
    static const QString family = QStringLiteral("Noto Sans CJK JP");
    if (!QFontDatabase::hasFamily(family))
        return false;
    QFont f = QApplication::font();
    if (f.family() == family)
        return true;
    f.setFamily(family);
    QApplication::setFont(f);
    return true;
}

}  // namespace mainwin
