#include "render/render_files.h"

namespace {
CRenderFiles* g_RenderFiles = nullptr;
}  // namespace

CRenderFiles* RenderSetFiles(CRenderFiles* files) {
    CRenderFiles* previous = g_RenderFiles;
    g_RenderFiles = files;
    return previous;
}

CRenderFiles* RenderFiles() {
    return g_RenderFiles;
}
