#include "engine/picture_store.h"

namespace engine {

PictureStore& PictureStore::instance() {
    static PictureStore store;
    return store;
}

quint32 PictureStore::add(Picture pic) {
    if (pic.isNull())
        return 0;
    while (next_ == 0 || pictures_.contains(next_))
        ++next_;
    const quint32 h = next_++;
    pictures_.insert(h, std::move(pic));
    return h;
}

Picture* PictureStore::find(quint32 handle) {
    if (handle == 0)
        return nullptr;
    auto it = pictures_.find(handle);
    return it == pictures_.end() ? nullptr : &it.value();
}

bool PictureStore::remove(quint32 handle) {
    return handle != 0 && pictures_.remove(handle) > 0;
}

quint32 PictureStore::copy(quint32 handle) {
    Picture* p = find(handle);
    return p ? add(*p) : 0;  // implicit sharing: the pixels are copied on the first write
}

}  // namespace engine
