// The real main window on a 6000 x 4000 24-bit JPEG (quality 90): each action
// timed from its input event (a key, a menu choice, a button click) to the end
// of the first paint of the view that shows the new picture. Median, min and
// max of the runs, in milliseconds.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_window [RUNS]   (default 5)
//   build/bench/bench_window --memory     peak memory of one session
//
// The window is sized as on a 1920 x 1080 screen (1344 x 756). Between runs
// the program is left alone until its event queue has been quiet for a while,
// so work left in the background by one run does not land in the next.
#include "bench_photo.h"
#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "main_window/fm_main.h"
#include "menus/sp_pic.h"
#include "picture_control/upce.h"
#include "platform/large_pages.h"
#include "platform/prompt.h"
#include "startup/usr.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QSize kWindow(1344, 756);

qint64 pictureKey(engine::ImageEngine& view) {
    const engine::Picture* p = view.current();
    return p ? p->image.cacheKey() : 0;
}

// Runs the event loop until nothing has happened for quietMs (background work
// finishing posts its results, which counts as something happening).
void settle(int quietMs = 600) {
    QElapsedTimer quiet;
    quiet.start();
    QDeadlineTimer limit(60000);
    while (quiet.elapsed() < quietMs && !limit.hasExpired()) {
        if (QCoreApplication::instance()->eventDispatcher()->processEvents(QEventLoop::AllEvents))
            quiet.restart();
        else
            QThread::msleep(5);
    }
}

// Milliseconds from input() to the end of the first paint of view after which
// done() holds.
double timeToPaint(engine::ImageEngine& view, const std::function<void()>& input, const std::function<bool()>& done) {
    QElapsedTimer t;
    double ms = -1;
    const auto c = QObject::connect(&view, &engine::ImageEngine::painted, [&] {
        if (ms < 0 && done())
            ms = double(t.nsecsElapsed()) / 1e6;
    });
    t.start();
    input();
    QDeadlineTimer limit(60000);
    while (ms < 0 && !limit.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QObject::disconnect(c);
    return ms;
}

struct Row {
    QString what;
    std::vector<double> ms;
};

void printRow(const Row& r) {
    std::vector<double> v = r.ms;
    std::sort(v.begin(), v.end());
    if (v.empty())
        return;
    const double median = v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    std::printf("| %s | %.0f | %.0f | %.0f |\n", r.what.toUtf8().constData(), median, v.front(), v.back());
    std::fflush(stdout);
}

void key(fmMain& w, int k) {
    QCoreApplication::postEvent(w.windowHandle(), new QKeyEvent(QEvent::KeyPress, k, Qt::ControlModifier));
    QCoreApplication::postEvent(w.windowHandle(), new QKeyEvent(QEvent::KeyRelease, k, Qt::ControlModifier));
}

// A click on a command-bar menu (1 ﾌｧｲﾙ, 2 画像編集, 3 表示) that chooses item.
void menu(fmMain& w, int bar, QAction* item) {
    spPic::instance().chooser = [item](QMenu*) { return item; };
    QMetaObject::invokeMethod(&w, [&w, bar] { w.lbComClick(bar); }, Qt::QueuedConnection);
}

void select(fmMain& w, int l, int t, int r, int b) {
    engine::ImageEngine& v = w.control().ikImg();
    v.SetSelLeft(l);
    v.SetSelTop(t);
    v.SetSelRight(r);
    v.SetSelBottom(b);
}

class Session {
public:
    explicit Session(const QString& jpeg) : jpeg_(jpeg) {
        Usr::sUsrFd = dir_.path() + QStringLiteral("/");
        QDir().mkpath(dir_.path() + QStringLiteral("/Wrk"));
        QDir().mkpath(dir_.path() + QStringLiteral("/Temp"));
        Usr::bRun = true;
    }
    ~Session() { close(); }

    // Starts the window with the picture as the program does (load, then show).
    fmMain& start() {
        close();
        window_ = new fmMain;
        window_->appEnd = [] {};
        window_->load({jpeg_});
        window_->resize(kWindow);
        window_->show();
        return *window_;
    }
    void close() {
        if (!window_)
            return;
        window_->hide();
        delete window_;
        window_ = nullptr;
        settle(100);
    }
    fmMain& window() { return *window_; }

private:
    QTemporaryDir dir_;
    QString jpeg_;
    fmMain* window_ = nullptr;
};

QString makeJpeg(const QString& folder) {
    const QString path = folder + QStringLiteral("/photo.jpg");
    if (QFile::exists(path))
        return path;
    engine::codecs::EncodeOptions opt;
    opt.jpegQuality = 90;
    engine::Error err{};
    if (!engine::codecs::saveFile(path, engine::codecs::Jpeg, bench::makePhoto(), opt, err)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    return path;
}

long peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One session as a user has it: start with the photo, one quarter turn, the
// colour panel on 256 colours; the process's peak resident memory.
int memoryRun(const QString& jpeg) {
    Session s(jpeg);
    fmMain& w = s.start();
    engine::ImageEngine& view = w.control().ikImg();
    const qint64 before = pictureKey(view);
    timeToPaint(view, [] {}, [&] { return pictureKey(view) != 0; });
    settle();
    timeToPaint(view, [&] { key(w, Qt::Key_R); }, [&] { return pictureKey(view) != before; });
    settle();
    w.opColor(3)->click();
    settle();
    std::printf("peak resident memory: %.0f MB\n", double(peakKb()) / 1024.0);
    return 0;
}

int timingRuns(const QString& jpeg, int runs) {
    platform::ScriptedPrompt prompt;
    prompt.defaultAnswer = platform::No;  // open over edits: discard them
    platform::ScopedPrompt scoped(&prompt);
    Session s(jpeg);
    spPic& m = spPic::instance();

    std::printf("| what | median | min | max |\n|---|---|---|---|\n");

    Row start{QStringLiteral("start with the JPEG: picture drawn")};
    for (int i = 0; i < runs; ++i) {
        settle();
        QElapsedTimer t;
        t.start();
        fmMain& w = s.start();
        const double loaded = double(t.nsecsElapsed()) / 1e6;
        engine::ImageEngine& view = w.control().ikImg();
        start.ms.push_back(loaded + timeToPaint(view, [] {}, [&] { return pictureKey(view) != 0 || view.showsStandIn(); }));
    }
    printRow(start);

    fmMain& w = s.window();
    engine::ImageEngine& view = w.control().ikImg();
    engine::ImageEngine& preview = w.ikImg();
    w.chScl(1)->setChecked(true);  // the scaled preview
    settle();

    // An action and the way back, both timed.
    const auto pair = [&](Row& there, Row* back, const std::function<void()>& prepare, const std::function<void()>& act,
                          const std::function<void()>& undo) {
        for (int i = 0; i < runs; ++i) {
            prepare();
            settle();
            qint64 k = pictureKey(view);
            there.ms.push_back(timeToPaint(view, act, [&] { return pictureKey(view) != k; }));
            settle();
            k = pictureKey(view);
            const double b = timeToPaint(view, undo, [&] { return pictureKey(view) != k; });
            if (back)
                back->ms.push_back(b);
        }
    };
    const auto none = [] {};
    const auto undoKey = [&] { key(w, Qt::Key_Z); };

    Row turn{QStringLiteral("quarter turn (Ctrl+R)")}, turnBack{QStringLiteral("quarter turn back (Ctrl+L)")};
    pair(turn, &turnBack, none, [&] { key(w, Qt::Key_R); }, [&] { key(w, Qt::Key_L); });
    printRow(turn);
    printRow(turnBack);

    Row flip{QStringLiteral("flip left-right (menu)")}, undo{QStringLiteral("undo (Ctrl+Z)")};
    pair(flip, &undo, none, [&] { menu(w, 2, m.mnRotate(0)); }, undoKey);
    printRow(flip);

    Row trim{QStringLiteral("trim to a quarter (Ctrl+T)")};
    pair(trim, &undo, [&] { select(w, 1500, 1000, 4500, 3000); }, [&] { key(w, Qt::Key_T); }, undoKey);
    printRow(trim);

    Row shrink{QStringLiteral("shrink to half width (menu)")};
    pair(shrink, &undo, [&] { select(w, 0, 0, 3000, 2000); }, [&] { menu(w, 2, m.mnResize(0)); }, undoKey);
    printRow(shrink);

    Row closeUp{QStringLiteral("close up a 600-column band (menu)")};
    pair(closeUp, &undo, [&] { select(w, 2700, 0, 3300, 4000); }, [&] { menu(w, 2, m.mnToj(0)); }, undoKey);
    printRow(closeUp);

    Row highlight{QStringLiteral("highlight a selection (menu)")};
    pair(highlight, &undo, [&] { select(w, 1000, 1000, 3000, 3000); }, [&] { menu(w, 2, m.mnEdt(7)); }, undoKey);
    printRow(highlight);

    Row open{QStringLiteral("open through the dialog (Ctrl+O)")};
    for (int i = 0; i < runs; ++i) {
        settle();
        prompt.openNames.push_back(jpeg);
        const qint64 k = pictureKey(view);
        // The picture drawn: the reduced stand-in counts, it is what the user sees.
        open.ms.push_back(timeToPaint(view, [&] { key(w, Qt::Key_O); },
                                      [&] { return pictureKey(view) != k || view.showsStandIn(); }));
    }
    printRow(open);

    // The colour panel: 256 colours, then black and white, alternately.
    Row col256{QStringLiteral("colour panel: 256 colours, preview shown")};
    Row colBw{QStringLiteral("colour panel: black and white, preview shown")};
    for (int i = 0; i < runs; ++i) {
        for (auto [option, row] : {std::pair{3, &col256}, std::pair{0, &colBw}}) {
            settle();
            // The preview shares the picture's pixels: a new rendition is the new preview.
            const int builds = preview.renditionBuilds();
            row->ms.push_back(timeToPaint(preview, [&, o = option] {
                QMetaObject::invokeMethod(&w, [&w, o] { w.opColor(o)->click(); }, Qt::QueuedConnection);
            }, [&] { return preview.renditionBuilds() != builds; }));
        }
    }
    printRow(col256);
    printRow(colBw);

    Row commit{QStringLiteral("確定 ↑ on 256 colours, picture repainted")};
    pair(commit, &undo, [&] {
        w.opColor(3)->click();
    }, [&] { QMetaObject::invokeMethod(w.cmRet(), &QPushButton::click, Qt::QueuedConnection); }, undoKey);
    printRow(commit);
    printRow(undo);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::restartWithLargePages(argv);  // as the program runs
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() >= 3 && args.at(1) == QStringLiteral("--memory-of"))
        return memoryRun(args.at(2));

    QTemporaryDir folder;
    const QString jpeg = makeJpeg(folder.path());
    if (args.contains(QStringLiteral("--memory"))) {
        // A fresh process, so that making the test picture does not count.
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--memory-of"), jpeg});
        child.waitForFinished(-1);
        return child.exitCode();
    }
    const int runs = args.size() >= 2 ? std::max(1, args.at(1).toInt()) : 5;
    return timingRuns(jpeg, runs);
}
