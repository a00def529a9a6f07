// What the undo files cannot hold: the file's metadata and the lineage of the
// pixels at each step, kept in memory beside the history.
#include "picture_control/upce.h"

#include "engine/image_engine.h"

void uPcE::keepOrigin(int step) {
    origins_[step] = ikImg_->origin();
}

void uPcE::restoreOrigin(int step) {
    const auto it = origins_.find(step);
    ikImg_->restoreOrigin(it != origins_.end() ? it->second : engine::Origin());
}
