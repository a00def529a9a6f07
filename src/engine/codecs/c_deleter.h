#pragma once
// Owning pointers to a C library's objects: the deleter calls the library's
// own free function, so every early return frees what was made.
#include <memory>

namespace engine::codecs {

template <auto Free>
struct CDeleter {
    template <class T>
    void operator()(T* p) const {
        Free(p);
    }
};

}  // namespace engine::codecs
