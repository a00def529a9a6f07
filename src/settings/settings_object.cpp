// The program's one settings object.
#include "settings/yini.h"

#include <memory>

namespace Usr {

namespace {
std::unique_ptr<yIni> g_ini;
}  // namespace

yIni& oIni() {
    if (!g_ini)
        g_ini = std::make_unique<yIni>();
    return *g_ini;
}

void releaseIni() { g_ini.reset(); }

}  // namespace Usr
