#include "engine/errors.h"

namespace engine {

QString errorText(Error e) {
    switch (e) {
    case Error::None: return QString();
    case Error::NoPicture: return QStringLiteral("画像がありません");
    case Error::FileMissing: return QStringLiteral("ﾌｧｲﾙが見つかりません");
    case Error::FileUnreadable: return QStringLiteral("ﾌｧｲﾙを読み込めません");
    case Error::UnknownFormat: return QStringLiteral("画像ﾌｧｲﾙの形式が分かりません");
    case Error::Damaged: return QStringLiteral("画像ﾌｧｲﾙが壊れています");
    case Error::TooLarge: return QStringLiteral("画像が大きすぎます");
    case Error::WriteFailed: return QStringLiteral("ﾌｧｲﾙを書き込めません");
    case Error::ClipboardEmpty: return QStringLiteral("ｸﾘｯﾌﾟﾎﾞｰﾄﾞに画像がありません");
    case Error::BadArgument: return QStringLiteral("指定が正しくありません");
    case Error::Unsupported: return QStringLiteral("この形式の画像には対応していません");
    case Error::OutOfMemory: return QStringLiteral("ﾒﾓﾘが足りません");
    case Error::BadHandle: return QStringLiteral("画像ﾊﾝﾄﾞﾙが正しくありません");
    case Error::NothingToUndo: return QStringLiteral("元に戻す編集がありません");
    case Error::Cancelled: return QStringLiteral("取り消されました");
    }
    return QString();
}

bool isFailure(Error e) {
    switch (e) {
    case Error::FileUnreadable:
    case Error::Damaged:
    case Error::TooLarge:
    case Error::WriteFailed:
    case Error::Unsupported:
    case Error::OutOfMemory:
    case Error::BadHandle:
        return true;
    default:
        return false;
    }
}

Failure::Failure(Error e) : std::runtime_error(errorText(e).toStdString()), error_(e) {}

}  // namespace engine
