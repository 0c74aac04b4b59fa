#include "linkport/OsLayer.h"

#include "linkport/LinuxOsLayer.h"

namespace linkport {

namespace {

OsLayer* g_installed = nullptr;

OsLayer& LinuxLayer() {
    static LinuxOsLayer layer;
    return layer;
}

}  // namespace

OsLayer& Os() { return g_installed != nullptr ? *g_installed : LinuxLayer(); }

void SetOsLayerForTesting(OsLayer* layer) { g_installed = layer; }

}  // namespace linkport
