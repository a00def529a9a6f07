// The help page shipped with the program: it names what the window offers,
// shows the window, and keeps the program's web address.
#include "ui_fixture.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

using namespace uitest;

namespace {

QString helpPage() {
    QFile f(QStringLiteral(TOLVANE_SOURCE_DIR "/assets/help/tolvane.htm"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Every item of a menu and its submenus, as the menu shows it.
void collect(const QMenu* menu, QStringList& captions) {
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator())
            continue;
        QString cap = spPic::caption(a);
        Usr::CutAt(cap, QStringLiteral("(&"));
        captions << cap;
        if (a->menu())
            collect(a->menu(), captions);
    }
}

}  // namespace

TEST_F(MainWindowTest, TheHelpPageNamesEveryMenuItemOptionAndKey) {
    const QString page = helpPage();
    ASSERT_FALSE(page.isEmpty());
    fmMain& w = makeWindow();
    QStringList names;
    for (int i : {2, 3, 4})
        collect(w.menus().mnJb(i), names);
    for (int i = 0; i < 8; ++i)
        names << w.opColor(i)->text();
    names << w.cmRvc()->text() << w.cmRet()->text() << w.chScl(0)->text() << w.chScl(1)->text();
    for (const QString& name : names)
        EXPECT_TRUE(page.contains(name)) << name.toStdString();
    for (const char* key : {"O", "S", "V", "C", "T", "Z", "R", "L"})
        EXPECT_TRUE(page.contains(QStringLiteral("<kbd>Ctrl</kbd>+<kbd>%1</kbd>").arg(QLatin1String(key)))) << key;
    for (const char* where : {"User.xml", "UserData.ini", "Wrk/", "$$Undo001.bmp"})
        EXPECT_TRUE(page.contains(QLatin1String(where))) << where;
    EXPECT_TRUE(page.contains(QStringLiteral("href=\"") + yIni::homePage() + QChar('"'))) << "the home page link";

    // Every picture it shows is shipped beside it.
    const QRegularExpression img(QStringLiteral("<img src=\"([^\"]+)\""));
    int pictures = 0;
    for (auto it = img.globalMatch(page); it.hasNext(); ++pictures) {
        const QString src = it.next().captured(1);
        EXPECT_TRUE(QFileInfo(QStringLiteral(TOLVANE_SOURCE_DIR "/assets/help/") + src).isFile()) << src.toStdString();
    }
    EXPECT_GE(pictures, 1) << "a picture of the window";
}
