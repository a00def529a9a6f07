#include "engine/codecs/codecs.h"
#include "engine/image_engine.h"
#include "engine/picture_store.h"
#include "platform/prompt.h"

namespace engine {

bool EngineFile::LoadFile(int) {
    codecs::Decoded d;
    Error err = Error::None;
    emit engine_.longOperationStarted();
    const bool ok = codecs::decodeFile(FileName, d, err);
    emit engine_.longOperationFinished();
    if (!ok) {
        engine_.setError(err);
        return false;
    }
    Comment = d.comment;
    engine_.replaceCurrent(std::move(d.picture));
    engine_.setError(Error::None);
    return true;
}

bool EngineFile::LoadFileInfo() {
    codecs::FileInfo info;
    Error err = Error::None;
    if (!codecs::readFileInfo(FileName, info, err)) {
        engine_.setError(err);
        return false;
    }
    return true;
}

bool EngineFile::SaveFile(int formatCode, quint32 handle) {
    const Picture* p = handle ? PictureStore::instance().find(handle) : engine_.current();
    if (!p) {
        engine_.setError(handle ? Error::BadHandle : Error::NoPicture);
        return false;
    }
    codecs::EncodeOptions opt;
    opt.comment = Comment;
    opt.jpegQuality = JpegQuality;
    Error err = Error::None;
    emit engine_.longOperationStarted();
    const bool ok = codecs::saveFile(FileName, codecs::Format(formatCode), *p, opt, err);
    emit engine_.longOperationFinished();
    engine_.setError(ok ? Error::None : err);
    return ok;
}

bool EngineFile::ShowSaveDialog() {
    QStringList pats;
    for (const QString& e : SaveFilter.split(QChar(';'), Qt::SkipEmptyParts))
        pats << QStringLiteral("*.") + e;
    const QString filter = QStringLiteral("画像ﾌｧｲﾙ|") + pats.join(QChar(';')) + QChar('|');
    const QString name = platform::prompt().saveFile(QStringLiteral("名前を付けて保存"), FileName, filter);
    if (name.isEmpty())
        return false;
    FileName = name;
    return true;
}

}  // namespace engine
