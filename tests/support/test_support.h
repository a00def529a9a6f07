#pragma once
// Helpers shared by the test programs.
#include "engine/picture.h"

#include <QString>
#include <QTemporaryDir>

namespace testsupport {

// The conformance corpus folder (../shared/corpus); empty when it is absent,
// in which case corpus tests skip with GTEST_SKIP.
QString corpusDir();

// A deterministic test picture of the given depth code (1, 4, 40, 8, 80, 16,
// 24, 32): varied colours, every palette entry used where possible.
engine::Picture makeTestPicture(int width, int height, int depthCode, unsigned seed = 1);

// Whether two pictures have the same size, depth, pixels and (for palette
// pictures) colours; mismatch receives a description of the first difference.
bool samePixels(const engine::Picture& a, const engine::Picture& b, QString* mismatch = nullptr);

// Destroys every top-level window (those already scheduled for deletion
// first), so the next test starts without any.
void destroyTopLevelWindows();

// Largest per-channel difference between two pictures of the same size, compared as RGB.
int maxChannelDiff(const QImage& a, const QImage& b);

}  // namespace testsupport
