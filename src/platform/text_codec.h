#pragma once
// Shift-JIS (code page 932) text, as the settings file is stored, converted
// through iconv so that every byte matches what the original Windows program
// wrote.
#include <QByteArray>
#include <QString>

namespace platform {

// Unicode text as CP932 bytes. A character that has no CP932 form is written
// as "?" (as the Windows ANSI conversion does) and *lossless, when given, is
// set to false; otherwise it is set to true.
QByteArray toCp932(const QString& text, bool* lossless = nullptr);

// CP932 bytes as Unicode text. A byte sequence that is not valid CP932 becomes
// U+FFFD and *lossless, when given, is set to false.
QString fromCp932(const QByteArray& bytes, bool* lossless = nullptr);

// Whether the bytes are well-formed UTF-8 (an empty array is).
bool isValidUtf8(const QByteArray& bytes);

// Text from a file of unknown encoding: UTF-8 when the bytes are valid UTF-8
// (a leading byte-order mark dropped), otherwise CP932.
QString fromUtf8OrCp932(const QByteArray& bytes);

}  // namespace platform
