#include "platform/file_names.h"

#include <QFile>
#include <QFileInfo>

#include <QDir>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#endif

namespace platform {

namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF hold the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at p (at most n bytes), 0 when invalid.
int validSequence(const uchar* p, qsizetype n) {
    const uchar c = p[0];
    int len = 0;
    char32_t min = 0;
    if (c < 0x80)
        return 1;
    if (c >= 0xC2 && c <= 0xDF)
        len = 2, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF)
        len = 3, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4)
        len = 4, min = 0x10000;
    else
        return 0;
    if (n < len)
        return 0;
    char32_t cp = c & (0x7F >> len);
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

bool isEscape(char16_t c) { return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF; }

}  // namespace

QString decodeFileName(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < n;) {
        const int len = validSequence(p + i, n - i);
        if (len > 0) {
            i += len;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + runStart, i - runStart);
        out += QChar(char16_t(kEscapeBase + p[i]));
        runStart = ++i;
    }
    out += QString::fromUtf8(bytes.constData() + runStart, n - runStart);
    return out;
}

QByteArray encodeFileName(const QString& name) {
    QByteArray out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name.at(i).unicode();
        // The low half of a surrogate pair is a character, not an escape.
        if (!isEscape(c) || (i > 0 && name.at(i - 1).isHighSurrogate()))
            continue;
        out += QFile::encodeName(name.mid(runStart, i - runStart));
        out += char(c - kEscapeBase);
        runStart = i + 1;
    }
    if (runStart == 0)
        return QFile::encodeName(name);
    out += QFile::encodeName(name.mid(runStart));
    return out;
}

QStringList decodeArguments(int argc, const char* const* argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << decodeFileName(QByteArray(argv[i]));
    return args;
}

FileKind fileKind(const QString& path) {
    if (path.isEmpty())
        return FileKind::Missing;
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::stat(encodeFileName(path).constData(), &st) != 0)
        return FileKind::Missing;
    if (S_ISREG(st.st_mode))
        return FileKind::Regular;
    return S_ISDIR(st.st_mode) ? FileKind::Folder : FileKind::Other;
#else
    const QFileInfo fi(path);
    if (!fi.exists())
        return FileKind::Missing;
    return fi.isDir() ? FileKind::Folder : fi.isFile() ? FileKind::Regular : FileKind::Other;
#endif
}

QStringList folderEntries(const QString& folder, FileKind kind, bool onlyReadable) {
    QStringList names;
#ifdef Q_OS_UNIX
    const QByteArray base = encodeFileName(folder.isEmpty() ? QStringLiteral(".") : folder) + '/';
    DIR* dir = ::opendir(base.constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name.startsWith('.'))
            continue;  // ".", ".." and hidden entries
        const QByteArray full = base + name;
        struct stat st {};
        if (::stat(full.constData(), &st) != 0)
            continue;
        const FileKind k = S_ISREG(st.st_mode) ? FileKind::Regular : S_ISDIR(st.st_mode) ? FileKind::Folder
                                                                                         : FileKind::Other;
        if (k != kind || (onlyReadable && ::access(full.constData(), R_OK) != 0))
            continue;
        names << decodeFileName(name);
    }
    ::closedir(dir);
#else
    QDir::Filters filter = kind == FileKind::Folder ? QDir::Dirs | QDir::NoDotAndDotDot : QDir::Files;
    if (onlyReadable)
        filter |= QDir::Readable;
    names = QDir(folder).entryList(filter, QDir::NoSort);
#endif
    return names;
}

QString canonicalPath(const QString& path) {
    if (path.isEmpty())
        return QString();
#ifdef Q_OS_UNIX
    char* resolved = ::realpath(encodeFileName(path).constData(), nullptr);
    if (!resolved)
        return QString();
    const QString out = decodeFileName(QByteArray(resolved));
    ::free(resolved);
    return out;
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

bool makeFolders(const QString& path) {
#ifdef Q_OS_UNIX
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    if (fileKind(clean) == FileKind::Folder)
        return true;
    const qsizetype slash = clean.lastIndexOf(QChar('/'));
    if (slash > 0 && !makeFolders(clean.left(slash)))
        return false;
    return ::mkdir(encodeFileName(clean).constData(), 0777) == 0 || fileKind(clean) == FileKind::Folder;
#else
    return QDir().mkpath(path);
#endif
}

}  // namespace platform
