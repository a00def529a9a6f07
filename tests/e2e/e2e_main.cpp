// Runs the real program under xvfb-run in a private home: opens a picture
// named on the command line, turns it with Ctrl+R, closes the window as the
// window system would, answers "yes" to the save question, then checks the
// picture and the settings file on disk. A second run takes a picture of the
// window with the colour panel in use. A third run selects with the mouse,
// copies from the popup menu, pastes as new, edits from the menu and the
// keyboard, commits a colour preview and makes the Open With entry. A fourth
// undoes and redoes from the keys and takes a revert back. A fifth zooms,
// steps through a folder, uses the settings dialog and resizes by number.
//
//   tolvane_e2e <path of tolvane> <screenshot.png to write>
//
// Exit code 0 passed, 1 failed, 77 skipped (no xvfb-run).
#include <QGuiApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "e2e_support.h"

namespace {

using e2e::stateLine;

int failures = 0;

void check(bool ok, const QString& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    if (!ok)
        ++failures;
}

// A small landscape: sky, sun, hills, so that the depth options show something.
QImage landscape(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(40, 110, 200));
    sky.setColorAt(1, QColor(200, 230, 255));
    p.fillRect(img.rect(), sky);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(255, 210, 60));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(w * 0.75, h * 0.25), h * 0.12, h * 0.12);
    p.setBrush(QColor(60, 140, 60));
    p.drawEllipse(QPointF(w * 0.25, h * 1.05), w * 0.55, h * 0.45);
    p.setBrush(QColor(30, 100, 45));
    p.drawEllipse(QPointF(w * 0.85, h * 1.1), w * 0.45, h * 0.4);
    p.end();
    return img;
}

bool saveBmp(const QString& path, const QImage& img) { return img.save(path, "BMP"); }

QString findFile(const QString& root, const QString& name) {
    QDirIterator it(root, {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

// Runs the program once under xvfb-run with a script; returns its exit code.
// With output given, the program's standard output is collected there.
int runProgram(const QString& program, const QString& home, const QString& script, const QString& picture,
               QString* output = nullptr) {
    const QProcessEnvironment env = e2e::programEnvironment(home, script);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(output ? QProcess::ForwardedErrorChannel : QProcess::ForwardedChannels);
    p.start(QStringLiteral("xvfb-run"), {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                                          program, picture});
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    if (output)
        *output = QString::fromUtf8(p.readAllStandardOutput());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

bool writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

}  // namespace

int main(int argc, char** argv) {
    // The driver itself needs no display; the program gets the virtual one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tolvane_e2e <tolvane> <screenshot.png>\n");
        return 1;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("xvfb-run")).isEmpty()) {
        std::printf("skipped: xvfb-run is not installed\n");
        return 77;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const QString shot = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir tmp;
    if (!tmp.isValid())
        return 1;
    const QString home = tmp.path() + QStringLiteral("/home");
    const QString pics = tmp.path() + QStringLiteral("/pictures/");
    QDir().mkpath(home);
    QDir().mkpath(pics);

    // 1. Turn, close, save.
    const QString picture = pics + QStringLiteral("scan.bmp");
    check(saveBmp(picture, landscape(64, 40)), QStringLiteral("test picture written"));
    const QString script = tmp.path() + QStringLiteral("/turn.txt");
    writeText(script, "# turn right, then close as the window system would and save\n"
                      "key Ctrl+R\nanswer 6\nclose\n");
    const int code = runProgram(program, home, script, picture);
    check(code == 0, QStringLiteral("the program ended by its close sequence (exit code %1)").arg(code));
    const QImage saved(picture);
    check(saved.width() == 40 && saved.height() == 64,
          QStringLiteral("the saved picture is turned: %1 x %2").arg(saved.width()).arg(saved.height()));
    const QString settings = findFile(home, QStringLiteral("User.xml"));
    check(!settings.isEmpty(), QStringLiteral("User.xml written"));
    QFile f(settings);
    const QByteArray xml = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    for (const char* tag : {"<LEFT>", "<TOP>", "<WIDTH>", "<HEIGHT>"})
        check(xml.contains(tag), QStringLiteral("User.xml holds %1").arg(QLatin1String(tag)));
    check(xml.contains(pics.toLocal8Bit()), QStringLiteral("User.xml holds the picture's folder as the last folder"));
    check(findFile(home, QStringLiteral("$$Undo*.bmp")).isEmpty(), QStringLiteral("no undo file is left behind"));

    // 2. The window with a picture and the colour panel in use.
    const QString photo = pics + QStringLiteral("photo.bmp");
    saveBmp(photo, landscape(480, 300));
    const QString script2 = tmp.path() + QStringLiteral("/shot.txt");
    writeText(script2, QByteArray("option 1\nshot ") + shot.toLocal8Bit() + "\nexit\n");
    QFile::remove(shot);
    const int code2 = runProgram(program, home, script2, photo);
    check(code2 == 0, QStringLiteral("second run ended (exit code %1)").arg(code2));
    const QImage grabbed(shot);
    check(!grabbed.isNull() && grabbed.width() > 300, QStringLiteral("window picture written to ") + shot);

    // 3. What a user does with the menus, the clipboard and the colour panel.
    const QString large = pics + QStringLiteral("large.bmp");
    saveBmp(large, landscape(800, 600));
    const QString script3 = tmp.path() + QStringLiteral("/user.txt");
    writeText(script3, "drag 300 150 500 300\n"
                       "state selected\n"
                       "popup ｸﾘｯﾌﾟﾎﾞｰﾄﾞにｺﾋﾟｰ\n"
                       "key Ctrl+V\n"
                       "state pasted\n"
                       "menu 2 左右反転\n"
                       "answer 7\n"
                       "option 0\n"
                       "key Ctrl+R\n"
                       "click 確定 ↑\n"
                       "state committed\n"
                       "answer 1\n"
                       "menu 3 「送る」にｼｮｰﾄｶｯﾄ作成\n"
                       "exit\n");
    QString out;
    const int code3 = runProgram(program, home, script3, large, &out);
    check(code3 == 0, QStringLiteral("third run ended (exit code %1)").arg(code3));
    const QStringList sel = stateLine(out, QStringLiteral("selected")).value(QStringLiteral("sel")).split(u',');
    const bool selected = sel.size() == 4 && sel[2].toInt() > sel[0].toInt() && sel[3].toInt() > sel[1].toInt();
    check(selected, QStringLiteral("a drag over the picture selects: ") + sel.join(u','));
    if (selected) {
        const QString want = QStringLiteral("%1x%2").arg(sel[2].toInt() - sel[0].toInt()).arg(sel[3].toInt() - sel[1].toInt());
        const QString turned = QStringLiteral("%1x%2").arg(sel[3].toInt() - sel[1].toInt()).arg(sel[2].toInt() - sel[0].toInt());
        const auto pasted = stateLine(out, QStringLiteral("pasted"));
        check(pasted.value(QStringLiteral("size")) == want,
              QStringLiteral("copy and paste as new give the selection: ") + pasted.value(QStringLiteral("size")) + " " + want);
        // The turn made from the keyboard after choosing black and white is kept by the commit.
        const auto committed = stateLine(out, QStringLiteral("committed"));
        check(committed.value(QStringLiteral("size")) == turned && committed.value(QStringLiteral("mode")) == "編集",
              QStringLiteral("the colour commit keeps the turn: ") + committed.value(QStringLiteral("size")) + " " + turned);
    }
    const QString entry = findFile(home, QStringLiteral("tolvane.desktop"));
    QFile desktop(entry);
    const QByteArray entryText = desktop.open(QIODevice::ReadOnly) ? desktop.readAll() : QByteArray();
    check(entryText.contains("Exec=") && entryText.contains("%f"), QStringLiteral("the Open With entry names the program: ") + entry);

    // 4. Undo and redo from the keys, a revert and the undo that takes it back.
    const QString wide = pics + QStringLiteral("wide.bmp");
    saveBmp(wide, landscape(96, 40));
    const QString script4 = tmp.path() + QStringLiteral("/redo.txt");
    writeText(script4, "key Ctrl+R\n"
                       "key Ctrl+Z\n"
                       "state undone\n"
                       "key Ctrl+Y\n"
                       "state redone\n"
                       "menu 2 読込時に戻す\n"
                       "state reverted\n"
                       "key Ctrl+Z\n"
                       "state back\n"
                       "key Ctrl+Z\n"
                       "key Ctrl+Shift+Z\n"
                       "state again\n"
                       "answer 7\n"
                       "close\n");
    QString out4;
    const int code4 = runProgram(program, home, script4, wide, &out4);
    check(code4 == 0, QStringLiteral("fourth run ended (exit code %1)").arg(code4));
    const auto shown = [&](const char* label) {
        const auto f = stateLine(out4, QLatin1String(label));
        return f.value(QStringLiteral("size")) + u' ' + f.value(QStringLiteral("mode")) + u' ' + f.value(QStringLiteral("undo"));
    };
    check(shown("undone") == "96x40 読込 1", QStringLiteral("Ctrl+Z undoes the turn: ") + shown("undone"));
    check(shown("redone") == "40x96 編集 2", QStringLiteral("Ctrl+Y redoes it: ") + shown("redone"));
    check(shown("reverted") == "96x40 読込 1", QStringLiteral("the revert shows the file: ") + shown("reverted"));
    check(shown("back") == "40x96 編集 2", QStringLiteral("Ctrl+Z takes the revert back: ") + shown("back"));
    check(shown("again") == "40x96 編集 2", QStringLiteral("Ctrl+Shift+Z redoes too: ") + shown("again"));
    check(QImage(wide).width() == 96, QStringLiteral("the picture file is unchanged after answering No"));

    // 5. Zoom, stepping through a folder, the settings dialog and resizing by number.
    const QString folder = tmp.path() + QStringLiteral("/browse/");
    QDir().mkpath(folder);
    for (const char* n : {"pic1.bmp", "Pic2.bmp", "pic10.bmp"})
        saveBmp(folder + QString::fromLatin1(n), landscape(240, 160));
    writeText(folder + QStringLiteral("notes.txt"), "not a picture");
    const QString script5 = tmp.path() + QStringLiteral("/browse.txt");
    writeText(script5, "key Ctrl+0\n"
                       "state fit\n"
                       "key Ctrl++\n"
                       "state zoomin\n"
                       "wheel 100 100 120\n"
                       "state wheel\n"
                       "key Ctrl+0\n"
                       "state back\n"
                       "key PgDown\n"
                       "state next\n"
                       "key PgDown\n"
                       "state next2\n"
                       "key PgDown\n"
                       "state wrapped\n"
                       "key End\n"
                       "state last\n"
                       "form 0=2 1=1\n"
                       "menu 3 環境設定...\n"
                       "state options\n"
                       "form 1=120\n"
                       "menu 2 ｻｲｽﾞ変更...\n"
                       "state resized\n"
                       "exit\n");
    QString out5;
    const int code5 = runProgram(program, home, script5, folder + QStringLiteral("pic1.bmp"), &out5);
    check(code5 == 0, QStringLiteral("fifth run ended (exit code %1)").arg(code5));
    const auto fit = stateLine(out5, QStringLiteral("fit"));
    const auto zoomin = stateLine(out5, QStringLiteral("zoomin"));
    const auto wheel = stateLine(out5, QStringLiteral("wheel"));
    const auto back = stateLine(out5, QStringLiteral("back"));
    check(fit.value(QStringLiteral("zoom")) == "100", QStringLiteral("a small picture fits at 100 %: ") + fit.value("zoom"));
    check(zoomin.value(QStringLiteral("zoom")) == "150" && wheel.value(QStringLiteral("zoom")) == "200",
          QStringLiteral("Ctrl++ and Ctrl+wheel zoom in: %1, %2").arg(zoomin.value("zoom"), wheel.value("zoom")));
    check(back.value(QStringLiteral("zoom")) == "100", QStringLiteral("Ctrl+0 goes back to the view mode: ") + back.value("zoom"));
    const auto fileOf = [&](const char* label) { return QFileInfo(stateLine(out5, QString::fromLatin1(label)).value("file")).fileName(); };
    check(fileOf("next") == "Pic2.bmp" && fileOf("next2") == "pic10.bmp" && fileOf("wrapped") == "pic1.bmp" &&
              fileOf("last") == "pic10.bmp",
          QStringLiteral("PageDown and End step through the folder in natural order: %1 %2 %3 %4")
              .arg(fileOf("next"), fileOf("next2"), fileOf("wrapped"), fileOf("last")));
    const auto options = stateLine(out5, QStringLiteral("options"));
    check(options.value(QStringLiteral("view")) == "3" && options.value(QStringLiteral("update")) == "1" &&
              options.value(QStringLiteral("scale")) == "0",
          QStringLiteral("the settings dialog sets the view and update modes: view=%1 update=%2")
              .arg(options.value("view"), options.value("update")));
    check(stateLine(out5, QStringLiteral("resized")).value(QStringLiteral("size")) == "120x80",
          QStringLiteral("resizing by number keeps the proportions: ") + stateLine(out5, "resized").value("size"));
    QFile userXml(findFile(home, QStringLiteral("User.xml")));
    const QByteArray xml5 = userXml.open(QIODevice::ReadOnly) ? userXml.readAll() : QByteArray();
    check(xml5.count('\n') == 14, QStringLiteral("User.xml keeps its fifteen lines"));
    check(xml5.contains(QByteArray("<\x95\xd2\x8f\x57\x8d\x58\x90\x56>1</")),
          QStringLiteral("User.xml holds the new edit-update mode"));

    std::printf("%s\n", failures ? "FAILED" : "PASSED");
    return failures ? 1 : 0;
}
