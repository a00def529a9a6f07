#pragma once
// Helpers for the metadata, colour and lossless JPEG tests: JPEG files made
// by TurboJPEG (not by the encoder under test) carrying EXIF, XMP and ICC
// segments built with exiv2 and lcms2, and independent readers (exiftool,
// libjpeg's coefficients).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <vector>

namespace testsupport {

// A smooth colour picture (TurboJPEG's own encoder, 4:2:0 unless grey).
QByteArray turboJpeg(int width, int height, int quality, bool grey = false);

// The JPEG with the segments (each a full segment: marker, length, payload)
// inserted after its start and JFIF segments.
QByteArray withSegments(QByteArray jpeg, const QList<QByteArray>& segments);

// An APP1 EXIF segment: Make "TolvaneCam", Model "T1", a date, the
// orientation, the pixel dimensions and, when asked, a small JPEG thumbnail.
QByteArray exifSegment(int orientation, int width, int height, bool thumbnail);
// An APP1 XMP segment: CreatorTool "TolvaneTest" and the orientation.
QByteArray xmpSegment(int orientation);
// An APP2 ICC segment holding the profile.
QByteArray iccSegment(const QByteArray& profile);

// An RGB profile unlike sRGB (wide primaries, gamma 1.8) described as
// "Tolvane test RGB".
QByteArray testProfile();

// What exiftool reads from a file: "Group:Tag" -> value (numbers unconverted).
// Empty when exiftool is not installed (callers skip).
QMap<QString, QString> exiftool(const QString& path);
bool haveTool(const QString& program);

// Every quantised DCT coefficient of every component, in file order.
std::vector<std::vector<short>> dctCoefficients(const QByteArray& jpeg);
// The first quantisation table of the file.
std::vector<int> firstQuantTable(const QByteArray& jpeg);

}  // namespace testsupport
