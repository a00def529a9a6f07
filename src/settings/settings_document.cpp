// The settings document "User.xml": loading, group and key access, writing.
#include "settings/yini.h"
#include "settings/value_text.h"

#include "platform/file_read.h"
#include "platform/file_replace.h"
#include "platform/prompt.h"
#include "platform/text_codec.h"
#include "platform/program_state.h"

#include <QDate>
#include <QDateTime>

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRoot = QStringLiteral("運用");
// Far more than any settings file this program writes; a larger file is not one.
constexpr qint64 kMaxFileBytes = qint64(16) << 20;

QString openTag(const QString& name) { return QChar('<') + name + QChar('>'); }
QString closeTag(const QString& name) { return QStringLiteral("</") + name + QChar('>'); }

// The stream of a file is "at the end of its first line" when it holds
// nothing or starts with a line break: such a file counts as no content.
bool hasFirstLine(const QByteArray& bytes) {
    return !bytes.isEmpty() && bytes.front() != '\r' && bytes.front() != '\n';
}

}  // namespace

QString yIni::MkTag(int kind, const QString& name, const QVariant& value) const {
    // "‡" marks a line break in the layouts below. Only the layout's own marks
    // become CR LF: a value is written as it stands, as SetVal writes it.
    const QString mark = QStringLiteral("‡");
    const QString v = settings::valueText(value);
    QString before, after;
    switch (kind) {
    case 0:
        before = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>‡") + openTag(name);
        after = closeTag(name);
        break;
    case 1:
        before = QStringLiteral("   ") + openTag(name) + mark;
        after = QStringLiteral("   ") + closeTag(name) + mark;
        break;
    case 2:
        before = QStringLiteral("      ") + openTag(name);
        after = closeTag(name) + mark;
        break;
    default:
        return QString();
    }
    before.replace(mark, kCrLf);
    after.replace(mark, kCrLf);
    return before + v + after;
}

QString yIni::GtTag(int kind, const QString& name) {
    const QString& text = kind == 0 ? sTxt : sGtx;
    if (text.isEmpty())
        return QString();
    const qsizetype p1 = text.indexOf(openTag(name));
    const qsizetype p2 = text.indexOf(closeTag(name));
    if (p1 < 0 && p2 < 0)
        return QString();
    const qsizetype s = p1 + name.size() + 2;  // just after the opening tag
    if (p1 >= 0 && p2 >= s) {
        if (kind != 0)
            return text.mid(s, p2 - s);
        // A group: leave out the line break after the opening tag and the
        // indentation before the closing tag. A group too short to hold
        // those is not a layout this program writes; it reads as empty.
        const qsizetype n = p2 - s - 5;
        return n > 0 ? text.mid(s + 2, n) : QString();
    }
    platform::prompt().message(QChar('<') + name + QStringLiteral("> の設定が読み込めません") + QChar('\r') +
                                   QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + sIniFile + QStringLiteral(") が破損しています"),
                               platform::Buttons::Ok);
    return QString();
}

void yIni::GetTxt(const QString& sFL, bool& bOk) {
    bOk = false;
    sTxt.clear();
    sIniFile = sFL;
    const QString dv = QStringLiteral("_DV.xml");
    const qsizetype at = sIniFile.indexOf(dv, 0, Qt::CaseInsensitive);
    if (at >= 0)
        sIniFile.replace(at, dv.size(), QStringLiteral(".xml"));

    if (Usr::F_FileExists(sIniFile)) {
        QByteArray bytes;
        if (platform::readRegularFile(sIniFile, kMaxFileBytes, bytes) != platform::ReadFailure::None)
            return;
        // An editor may have saved the file as UTF-8; it is written back as
        // CP932 all the same.
        if (hasFirstLine(bytes))
            sTxt = platform::fromUtf8OrCp932(bytes);
    } else if (!platform::replaceFileContent(sIniFile, QByteArray())) {
        return;
    }
    if (sTxt.isEmpty())
        sTxt = MkTag(0, kRoot, kCrLf);
    bOk = true;
}

void yIni::GetGtx(const QString& sGp) {
    sCurGp = sGp;
    sGtx = GtTag(0, sGp);
}

QVariant yIni::vGtVal(const QString& sKy, const QVariant& vDef) {
    const int type = vDef.metaType().id();
    const QString text = GtTag(1, sKy);
    switch (type) {
    case QMetaType::QString:
        return text.isEmpty() ? vDef : QVariant(text);
    case QMetaType::Bool:
        if (text.isEmpty())
            return vDef;
        return settings::booleanValue(text);
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        if (text.isEmpty())
            return vDef;
        const QDateTime when = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        if (when.isValid())
            return type == QMetaType::QDate ? QVariant(when.date()) : QVariant(when);
        const QDate day = QDate::fromString(text.trimmed(), Qt::ISODate);
        if (day.isValid())
            return type == QMetaType::QDate ? QVariant(day) : QVariant(day.startOfDay());
        return vDef;
    }
    default:
        return text.isEmpty() ? vDef : QVariant(settings::leadingNumber(text));
    }
}

void yIni::SetVal(const QString& sKy, const QVariant& vVL) {
    // Values are written unescaped: one that holds a tag of its own key, its
    // group or the root would break the layout for good. Such a value is not
    // stored; the key keeps what it had.
    if (settings::holdsTagOf(settings::valueText(vVL), {sKy, sCurGp, kRoot}))
        return;
    const qsizetype a = sGtx.indexOf(openTag(sKy));
    if (a >= 0) {
        const qsizetype valueAt = a + sKy.size() + 2;  // just after the opening tag
        const qsizetype p2 = sGtx.indexOf(closeTag(sKy), valueAt);
        if (p2 >= 0) {
            sGtx = sGtx.left(valueAt) + settings::valueText(vVL) + sGtx.mid(p2);
            return;
        }
    }
    sGtx += MkTag(2, sKy, vVL);
}

bool yIni::SetGtx() {
    if (sTxt.isEmpty())
        sTxt = MkTag(0, kRoot, kCrLf);
    const qsizetype p1 = sTxt.indexOf(openTag(sCurGp));
    if (p1 >= 0) {
        const qsizetype linesAt = p1 + sCurGp.size() + 4;  // after the opening tag's CR LF
        const qsizetype p2 = sTxt.indexOf(closeTag(sCurGp), linesAt - 1);
        if (p2 >= 0) {
            sTxt = sTxt.left(linesAt) + sGtx + QStringLiteral("   ") + sTxt.mid(p2);
            return true;
        }
    }
    const qsizetype end = sTxt.indexOf(closeTag(kRoot));
    if (end < 0)
        return false;
    sTxt.insert(end, MkTag(1, sCurGp, sGtx));
    return true;
}

void yIni::SetTxt(bool& bOk) {
    bOk = false;
    if (sIniFile.isEmpty())
        return;
    // A failed write (full disk, no permission) leaves the previous settings
    // intact rather than a truncated file.
    bOk = platform::replaceFileContent(sIniFile, platform::toCp932(sTxt));
}
