#include "control_fixture.h"

#include "engine/ops/ops.h"
#include "platform/special_folders.h"

#include <QDir>
#include <QFileInfo>

namespace controltest {

bool codecWrites(engine::codecs::Format f, int depthCode) {
    const engine::Picture pic = testsupport::makeTestPicture(5, 3, depthCode);
    QByteArray bytes;
    engine::Error err = engine::Error::None;
    if (!engine::codecs::encode(f, pic, {}, bytes, err))
        return false;
    engine::codecs::Decoded d;
    return engine::codecs::decode(bytes, d, err) && d.picture.width() == 5 && d.picture.height() == 3;
}

bool bmpReady() {
    static const bool ready = [] {
        for (int code : {1, 4, 8, 16, 24, 32}) {
            const engine::Picture pic = testsupport::makeTestPicture(7, 3, code);
            QByteArray bytes;
            engine::Error err = engine::Error::None;
            if (!engine::codecs::encode(engine::codecs::Bmp, pic, {}, bytes, err))
                return false;
            engine::codecs::Decoded d;
            if (!engine::codecs::decode(bytes, d, err) || !testsupport::samePixels(pic, d.picture))
                return false;
        }
        return true;
    }();
    return ready;
}

bool opsReady() {
    static const bool ready = [] {
        engine::Picture p = testsupport::makeTestPicture(6, 4, 24);
        engine::Picture a = p, b = p, c = p, d = p, e = p;
        return engine::ops::trim(a, 1, 1, 3, 3) && engine::ops::regionTrim(b, QPolygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}})) &&
               engine::ops::resize(c, 3, 2) && engine::ops::rotate(d, 9000, false, false, true, Qt::white) &&
               engine::ops::pasteImage(e, p, 2, 1);
    }();
    return ready;
}

QString picturesFolder() {
    const QString pictures = platform::specialFolder(platform::PicturesFolder);
    return (QFileInfo(pictures).isDir() ? pictures : QDir::homePath()) + QChar('/');
}

bool depthOpsReady() {
    static const bool ready = [] {
        engine::Picture p = testsupport::makeTestPicture(6, 4, 24);
        engine::Picture q = p;
        return engine::ops::convertDepth(p, 16, true, 128) && engine::ops::convertDepth(q, 8, false, 128) &&
               engine::ops::invertChannels(p, false, QPolygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}}), false, false, true);
    }();
    return ready;
}

ControlTest::ControlTest() {
    work = tmp.path() + QStringLiteral("/Wrk/");
    pics = tmp.path() + QStringLiteral("/pics/");
    QDir().mkpath(work);
    QDir().mkpath(pics);
    scoped = std::make_unique<platform::ScopedPrompt>(&prompt);
    ctl = std::make_unique<uPcE>();
    ctl->resize(400, 300);
    ctl->cOn(work);
    ctl->SetUsrP(0, QStringLiteral("ｽｹｰﾙ"));
    QObject::connect(ctl.get(), &uPcE::eStFile, [this](const QString& f) { log << QStringLiteral("eStFile ") + f; });
    QObject::connect(ctl.get(), &uPcE::eEdtMode, [this](const QString& m) { log << QStringLiteral("eEdtMode ") + m; });
    QObject::connect(ctl.get(), &uPcE::eStPcTyp,
                     [this](const QString&, const QString& b, const QString&) { log << QStringLiteral("eStPcTyp ") + b; });
    QObject::connect(ctl.get(), &uPcE::ePopUp, [this] { log << QStringLiteral("ePopUp"); });
    spyFile = std::make_unique<QSignalSpy>(ctl.get(), &uPcE::eStFile);
    spyType = std::make_unique<QSignalSpy>(ctl.get(), &uPcE::eStPcTyp);
    spyMode = std::make_unique<QSignalSpy>(ctl.get(), &uPcE::eEdtMode);
    spyPopUp = std::make_unique<QSignalSpy>(ctl.get(), &uPcE::ePopUp);
}

ControlTest::~ControlTest() {
    spyFile.reset();
    spyType.reset();
    spyMode.reset();
    spyPopUp.reset();
    ctl.reset();
}

QString ControlTest::writeBmp(const QString& name, const engine::Picture& pic) {
    const QString path = pics + name;
    engine::Error err = engine::Error::None;
    EXPECT_TRUE(engine::codecs::saveFile(path, engine::codecs::Bmp, pic, {}, err)) << int(err);
    return path;
}

QString ControlTest::openPicture(const engine::Picture& pic, const QString& name) {
    QString path = writeBmp(name, pic);
    ctl->pcOpen(0, path);
    return path;
}

void ControlTest::putPicture(const engine::Picture& pic) {
    const quint32 h = engine::PictureStore::instance().add(pic);
    ctl->SetImgHandle(h);
    engine::PictureStore::instance().remove(h);
    ctl->settleUndo();  // the file is on disk, as the tests that change it expect
}

engine::Picture ControlTest::current() {
    const engine::Picture* p = engine::PictureStore::instance().find(ctl->ImgHandle());
    return p ? *p : engine::Picture();
}

void ControlTest::select(int l, int t, int r, int b) {
    engine::ImageEngine& e = ctl->ikImg();
    e.SetSelLeft(l);
    e.SetSelTop(t);
    e.SetSelRight(r);
    e.SetSelBottom(b);
}

QStringList ControlTest::undoFiles() const {
    ctl->settleUndo();  // the files are written in the background
    QStringList names = QDir(work).entryList({QStringLiteral("$$*.bmp")}, QDir::Files);
    names.sort();
    return names;
}

engine::Picture ControlTest::readFile(const QString& path) {
    ctl->settleUndo();
    engine::codecs::Decoded d;
    engine::Error err = engine::Error::None;
    engine::codecs::decodeFile(path, d, err);
    return d.picture;
}

void ControlTest::clearEvents() {
    log.clear();
    spyFile->clear();
    spyType->clear();
    spyMode->clear();
    spyPopUp->clear();
}

QImage rgb(const engine::Picture& p) { return p.image.convertToFormat(QImage::Format_RGB32); }

QStringList undoNames(std::initializer_list<int> steps) {
    QStringList out;
    for (int s : steps)
        out << QStringLiteral("$$Undo%1.bmp").arg(s, 3, 10, QChar('0'));
    return out;
}

}  // namespace controltest
