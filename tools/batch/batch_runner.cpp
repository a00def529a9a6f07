#include "batch/batch_runner.h"

#include "batch/batch_work_folder.h"
#include "engine/image_engine.h"
#include "picture_control/commands.h"
#include "picture_control/upce.h"
#include "platform/file_names.h"
#include "platform/prompt.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>

namespace batch {

// Message boxes become lines on standard error and count as a failure of the
// step; a save question is answered No, the question whether to save over a
// file Yes; the save dialog answers with the path of the --save step being run.
class Runner::BatchPrompt : public platform::Prompt {
public:
    explicit BatchPrompt(Runner& r) : runner_(r) {}
    QString saveName;

    int message(const QString& text, platform::Buttons buttons) override {
        if (buttons == platform::Buttons::YesNoCancel)
            return platform::No;
        if (buttons == platform::Buttons::YesNo)
            return platform::Yes;  // --save names the file to write: a file under that name is saved over
        print(text);
        ++runner_.messages_;
        return platform::Ok;
    }
    // An undo file that could not be written costs nothing the run makes
    // unless a later undo needs it, and that undo then fails on its own: the
    // notice is a warning, whenever the writer reports it.
    void notice(const QString& text) override { print(text); }
    QString openFile(const QString&, const QString&, const QString&) override { return QString(); }
    QString saveFile(const QString&, const QString&, const QString&) override {
        QString n = saveName;
        saveName.clear();
        return n;
    }

private:
    void print(QString line) {
        line.replace(QChar('\r'), QChar(' '));
        runner_.err_ << line << Qt::endl;
    }
    Runner& runner_;
};

namespace {

// The commands that make sense without a window.
bool knownCommand(const QString& group, const QString& item) {
    // Resizing and turning by numbers take their numbers as the item; the
    // control checks them and says what is wrong.
    if (group == commands::groups::ResizeBy || group == commands::groups::TurnBy)
        return true;
    const commands::Command* c = commands::find(group, item);
    return c && c->batch;
}

}  // namespace

Runner::Runner(QTextStream& out, QTextStream& err)
    : out_(out), err_(err), control_(std::make_unique<uPcE>()), prompt_(std::make_unique<BatchPrompt>(*this)) {
    QObject::connect(control_.get(), &uPcE::eStPcTyp,
                     [this](const QString&, const QString&, const QString& sTy) { lastInfo_ = sTy; });
}

Runner::~Runner() = default;

bool Runner::fail(const QString& message) {
    err_ << message << Qt::endl;
    return false;
}

int Runner::run(const Args& args) {
    platform::ScopedPrompt scoped(prompt_.get());
    // A folder of its own inside the one named: the control empties its work
    // folder of "$$*.bmp" files, and those in the named folder are the user's.
    WorkFolder work;
    const QString base = args.workDir.isEmpty() ? QDir::tempPath() : args.workDir;
    if (!work.create(base))
        return fail(QStringLiteral("%1 作業ﾌｫﾙﾀﾞを作れません").arg(base)), 1;
    control_->cOn(work.path());
    // Undo files are written only for a run that may go back to them; the
    // picture that comes from the clipboard lives in the first of them.
    const bool goesBack = std::any_of(args.steps.begin(), args.steps.end(), [](const Step& s) {
        return s.kind == Step::Do && (commands::Undo.is(s.group, s.item) || commands::Redo.is(s.group, s.item) ||
                                      commands::NewFromClipboard.is(s.group, s.item));
    });
    control_->setUndoFiles(goesBack);
    control_->SetUsrP(1, commands::ViewActual.itemText());

    QElapsedTimer timer;
    timer.start();
    const bool opened = open(args.input);
    if (args.time)
        err_ << QStringLiteral("open: %1 ms").arg(timer.nsecsElapsed() / 1e6, 0, 'f', 1) << Qt::endl;
    int status = opened ? 0 : 1;
    for (const Step& step : args.steps) {
        if (status != 0)
            break;
        timer.restart();
        const bool ok = runStep(step);
        if (args.time)
            err_ << QStringLiteral("%1: %2 ms").arg(step.text).arg(timer.nsecsElapsed() / 1e6, 0, 'f', 1) << Qt::endl;
        if (!ok)
            status = 1;
    }
    control_->cOFF();
    return status;
}

bool Runner::open(const QString& path) {
    const platform::FileKind kind = platform::fileKind(path);
    if (kind == platform::FileKind::Missing || kind == platform::FileKind::Folder)
        return fail(path + QStringLiteral(" 画像ﾌｧｲﾙが見つかりません"));
    const int before = messages_;
    QString p = QFileInfo(path).absoluteFilePath();
    control_->pcOpen(0, p);
    if (messages_ != before)
        return false;
    if (control_->ImgHandle() == 0)
        return fail(path + QStringLiteral(" 画像ﾌｧｲﾙを読み込めません"));
    return true;
}

bool Runner::runStep(const Step& step) {
    const int before = messages_;
    bool ok = false;
    switch (step.kind) {
    case Step::Select: ok = select(step); break;
    case Step::Do: ok = doCommand(step); break;
    case Step::Depth: ok = depth(step); break;
    case Step::Save: ok = save(step); break;
    case Step::Info: ok = info(); break;
    }
    return ok && messages_ == before;
}

bool Runner::select(const Step& step) {
    engine::ImageEngine& e = control_->ikImg();
    e.ReadImageInfo();
    const int l = step.values[0], t = step.values[1], r = step.values[2], b = step.values[3];
    if (l < 0 || t < 0 || l > r || t > b || r > e.ImageWidth() || b > e.ImageHeight())
        return fail(QStringLiteral("選択範囲 %1,%2,%3,%4 が画像 (%5 x %6) の外です")
                        .arg(l).arg(t).arg(r).arg(b).arg(e.ImageWidth()).arg(e.ImageHeight()));
    e.SetSelLeft(l);
    e.SetSelTop(t);
    e.SetSelRight(r);
    e.SetSelBottom(b);
    e.Refresh();
    return true;
}

bool Runner::doCommand(const Step& step) {
    if (!knownCommand(step.group, step.item))
        return fail(QStringLiteral("不明なｺﾏﾝﾄﾞです: %1/%2").arg(step.group, step.item));
    if (commands::Undo.is(step.group, step.item) && control_->iUndo() <= 1)
        return fail(QStringLiteral("戻す編集がありません"));
    control_->pcAct(step.group, step.item);
    // A failure was already shown (a line on standard error); a command that
    // found nothing to do did not do what the step asked either.
    if (control_->lastOutcome() == uPcE::Outcome::Failed)
        return false;
    if (control_->lastOutcome() == uPcE::Outcome::NothingToDo)
        return fail(QStringLiteral("%1/%2 を実行できませんでした: %3")
                        .arg(step.group, step.item, engine::errorText(control_->ikImg().lastError())));
    if (control_->ImgHandle() == 0)
        return fail(QStringLiteral("画像がありません"));
    return true;
}

// The colour panel's way: the conversion is made on a copy in a preview
// engine, then handed to the control as one edit.
bool Runner::depth(const Step& step) {
    if (control_->ImgHandle() == 0)
        return fail(QStringLiteral("画像がありません"));
    engine::ImageEngine preview;
    preview.SetImageHandle(control_->ikImg().CopyImage(control_->ImgHandle()));
    if (preview.ImageHandle() == 0 || !preview.Edit().PanelDepth(step.values[0], step.values[1], step.invert))
        return fail(QStringLiteral("色数 %1 に変換できませんでした: %2")
                        .arg(step.values[0])
                        .arg(engine::errorText(preview.lastError())));
    control_->SetImgHandle(preview.ImageHandle());
    return true;
}

bool Runner::save(const Step& step) {
    QString path = QFileInfo(step.path).absoluteFilePath();
    prompt_->saveName = path;
    control_->pcAct(commands::SaveAs.groupText(), commands::SaveAs.itemText());
    prompt_->saveName.clear();
    return true;  // a failed save shows its own message
}

bool Runner::info() {
    control_->ikImg().ReadImageInfo();
    out_ << int(control_->PicWidth()) << 'x' << int(control_->PicHeight()) << '\t' << control_->sBit() << '\t'
         << lastInfo_ << Qt::endl;
    return true;
}

}  // namespace batch
