#include "platform/text_codec.h"

#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

// One iconv conversion descriptor for the length of a call.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts input; when a sequence cannot be converted, appends
    // replacement, skips skipLength(rest) bytes of input and goes on.
    template <typename SkipLength>
    QByteArray run(const QByteArray& input, const QByteArray& replacement, SkipLength skipLength, bool* lossless) {
        QByteArray out;
        bool clean = true;
        char* in = const_cast<char*>(input.constData());
        size_t inLeft = size_t(input.size());
        char buffer[1024];
        while (inLeft > 0) {
            char* o = buffer;
            size_t oLeft = sizeof buffer;
            const size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
            out.append(buffer, qsizetype(sizeof buffer - oLeft));
            if (r != size_t(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ (a sequence with no counterpart) or EINVAL (a sequence
            // cut short by the end of the input): replace and skip it.
            clean = false;
            out.append(replacement);
            const size_t skip = std::min(inLeft, std::max<size_t>(1, skipLength(in, inLeft)));
            in += skip;
            inLeft -= skip;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        if (lossless)
            *lossless = clean;
        return out;
    }

private:
    iconv_t cd_;
};

// Length of the UTF-8 sequence that starts at p (1 for a stray byte).
size_t utf8Length(const char* p, size_t left) {
    const auto c = static_cast<unsigned char>(*p);
    size_t n = 1;
    if (c >= 0xF0)
        n = 4;
    else if (c >= 0xE0)
        n = 3;
    else if (c >= 0xC0)
        n = 2;
    return std::min(n, left);
}

// Length of the CP932 character that starts at p: two bytes for a lead byte
// followed by a plausible trail byte, otherwise one.
size_t cp932Length(const char* p, size_t left) {
    const auto c = static_cast<unsigned char>(*p);
    const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (lead && left >= 2) {
        const auto t = static_cast<unsigned char>(p[1]);
        if (t >= 0x40 && t <= 0xFC && t != 0x7F)
            return 2;
    }
    return 1;
}

}  // namespace

QByteArray toCp932(const QString& text, bool* lossless) {
    Converter c("CP932", "UTF-8");
    if (!c.ok()) {
        // No CP932 table on this system: ASCII is the one safe subset.
        bool clean = true;
        QByteArray out;
        for (QChar ch : text) {
            clean = clean && ch.unicode() < 0x80;
            out.append(ch.unicode() < 0x80 ? char(ch.unicode()) : '?');
        }
        if (lossless)
            *lossless = clean;
        return out;
    }
    return c.run(text.toUtf8(), QByteArrayLiteral("?"), utf8Length, lossless);
}

QString fromCp932(const QByteArray& bytes, bool* lossless) {
    Converter c("UTF-8", "CP932");
    if (!c.ok()) {
        if (lossless)
            *lossless = false;
        return QString::fromLatin1(bytes);
    }
    return QString::fromUtf8(c.run(bytes, QByteArrayLiteral("\xEF\xBF\xBD"), cp932Length, lossless));
}

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);  // decoding happens on conversion
    Q_UNUSED(text);
    return !decoder.hasError();
}

QString fromUtf8OrCp932(const QByteArray& bytes) {
    if (isValidUtf8(bytes)) {
        QString text = QString::fromUtf8(bytes);
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    return fromCp932(bytes);
}

}  // namespace platform
