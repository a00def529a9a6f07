#include "engine/colour_management.h"

#include <QHash>
#include <QMutex>
#include <cstring>
#include <lcms2.h>
#include <memory>
#include <mutex>
#include <vector>

namespace engine::colour {

namespace {

struct TransformDeleter {
    void operator()(void* t) const {
        if (t)
            cmsDeleteTransform(t);
    }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

void quietLcms() {
    static std::once_flag once;
    std::call_once(once, [] { cmsSetLogErrorHandler(nullptr); });
}

// Builds the conversion from the profile to sRGB for 4-byte BGRA pixels; null
// when the profile cannot be read or is not RGB.
Transform buildDisplayTransform(const QByteArray& icc) {
    quietLcms();
    cmsHPROFILE source = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    if (!source)
        return nullptr;
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    Transform t;
    if (cmsGetColorSpace(source) == cmsSigRgbData && srgb)
        t.reset(cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL,
                                   cmsFLAGS_COPY_ALPHA));
    cmsCloseProfile(source);
    if (srgb)
        cmsCloseProfile(srgb);
    return t;
}

// One conversion per profile seen, kept for the next rendition of the same
// picture (a handful at most in a session).
void* displayTransform(const QByteArray& icc) {
    static QMutex mutex;
    static QHash<QByteArray, std::shared_ptr<Transform>> cache;
    QMutexLocker lock(&mutex);
    auto it = cache.find(icc);
    if (it == cache.end()) {
        if (cache.size() >= 8)
            cache.clear();
        it = cache.insert(icc, std::make_shared<Transform>(buildDisplayTransform(icc)));
    }
    return it.value()->get();
}

}  // namespace

void displayInSrgb(QImage& rgb32, const QByteArray& icc) {
    if (icc.isEmpty() || rgb32.isNull() || rgb32.format() != QImage::Format_RGB32)
        return;
    void* t = displayTransform(icc);
    if (!t)
        return;
    for (int y = 0; y < rgb32.height(); ++y) {
        uchar* row = rgb32.scanLine(y);
        cmsDoTransform(t, row, row, cmsUInt32Number(rgb32.width()));
    }
}

bool labToSrgb(QImage& bgr888) {
    if (bgr888.format() != QImage::Format_BGR888)
        return false;
    quietLcms();
    cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);  // D50, as CIELab TIFFs are
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    Transform t;
    // Floating-point Lab in: white and black land exactly on 255 and 0,
    // which lcms2's 8-bit tables miss by one.
    if (lab && srgb)
        t.reset(cmsCreateTransform(lab, TYPE_Lab_DBL, srgb, TYPE_BGR_8, INTENT_RELATIVE_COLORIMETRIC, 0));
    if (lab)
        cmsCloseProfile(lab);
    if (srgb)
        cmsCloseProfile(srgb);
    if (!t)
        return false;
    std::vector<cmsCIELab> in(size_t(bgr888.width()));
    for (int y = 0; y < bgr888.height(); ++y) {
        uchar* row = bgr888.scanLine(y);
        for (int x = 0; x < bgr888.width(); ++x)
            in[size_t(x)] = cmsCIELab{row[3 * x] * 100.0 / 255.0, row[3 * x + 1] - 128.0, row[3 * x + 2] - 128.0};
        cmsDoTransform(t.get(), in.data(), row, cmsUInt32Number(bgr888.width()));
    }
    return true;
}

}  // namespace engine::colour
