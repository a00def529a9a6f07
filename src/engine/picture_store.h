#pragma once
// One process-wide table of pictures by handle (0 = none), so a handle from one
// engine instance is valid in every other.
#include "engine/picture.h"

#include <QHash>

namespace engine {

class PictureStore {
public:
    static PictureStore& instance();

    quint32 add(Picture pic);           // a new handle for the picture
    Picture* find(quint32 handle);      // nullptr for an unknown handle or 0
    bool remove(quint32 handle);        // false for an unknown handle
    quint32 copy(quint32 handle);       // a new handle holding a copy; 0 if unknown
    int count() const { return int(pictures_.size()); }

private:
    QHash<quint32, Picture> pictures_;
    quint32 next_ = 1;
};

}  // namespace engine
