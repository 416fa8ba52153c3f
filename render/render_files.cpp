#include "render/render_files.h"

#include "platform/monitor/mon.h"

namespace {

// The boot monitor's flash file system: a file's data follows its header in flash and stays
// readable until the next boot.
class MonitorFiles final : public CRenderFiles {
public:
    bool Read(const char* name, const uint8_t** data, uint32_t* size) override {
        if (name == nullptr || data == nullptr || size == nullptr) {
            return false;
        }
        const TFILE* header = mon_tfsstat(name);
        if (header == nullptr || header->hdrsize < sizeof(TFILE)) {
            return false;
        }
        *data = reinterpret_cast<const uint8_t*>(header) + header->hdrsize;
        *size = header->filsize;
        return true;
    }
};

MonitorFiles g_MonitorFiles;
CRenderFiles* g_RenderFiles = &g_MonitorFiles;

}  // namespace

CRenderFiles* RenderSetFiles(CRenderFiles* files) {
    CRenderFiles* previous = g_RenderFiles;
    g_RenderFiles = files != nullptr ? files : &g_MonitorFiles;
    return previous;
}

CRenderFiles* RenderFiles() {
    return g_RenderFiles;
}
