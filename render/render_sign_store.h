#pragma once
// A self-contained sign for rendering outside the controller (the multi2png tool, tests,
// benchmarks, fuzzing): its own object store set up like a factory-fresh sign of a given
// geometry, with the two built-in fonts in slots 0 and 1, and a file store for bitmap files.
// While it lives it is the installed MULTI environment, file reader and surface database.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/multi_environment.h"
#include "render/render_files.h"

class CDataBase;

struct RenderSignGeometry {
    int32_t width = 96;
    int32_t height = 16;
    uint8_t bitsPerPixel = 15;     // 1, 2 or 15
    uint32_t signType = 6;         // dmsSignType: 4 character, 5 line, 6 full matrix
    uint32_t characterWidth = 0;   // vmsCharacterWidthPixels (character matrix)
    uint32_t characterHeight = 0;  // vmsCharacterHeightPixels (character and line matrix)
    uint32_t moduleId = 116;       // brenModuleID
};

class CRenderSignStore : public CMultiEnvironment, public CRenderFiles {
public:
    explicit CRenderSignStore(const RenderSignGeometry& geometry);
    ~CRenderSignStore() override;
    CRenderSignStore(const CRenderSignStore&) = delete;
    CRenderSignStore& operator=(const CRenderSignStore&) = delete;

    CDataBase& Database() { return *m_db; }
    const RenderSignGeometry& Geometry() const { return m_geometry; }

    // Writes that bypass validation, journal and notices.
    void SetNv(uint32_t id, uint32_t width, uint32_t value);
    void SetVolatile(uint32_t id, uint32_t width, uint32_t value);
    void SetNvString(uint32_t id, const void* bytes, uint32_t length);
    void SetVolatileString(uint32_t id, const void* bytes, uint32_t length);
    uint32_t Nv(uint32_t id, uint32_t width);
    uint32_t Volatile(uint32_t id, uint32_t width);

    // Copies a built-in font into a font slot as the factory defaults do (font number slot+1).
    bool ImportBuiltinFont(const char* fileName, uint8_t slot);
    // A graphic table row: number, geometry, type, status, and the pixel data split into
    // blocks of dmsGraphicBlockSize bytes.
    void AddGraphic(uint32_t row, uint8_t number, uint8_t height, uint16_t width, uint8_t type,
                    const std::vector<uint8_t>& pixels, bool transparency = false,
                    const std::vector<uint8_t>& transparentColour = {}, uint8_t status = 4,
                    uint16_t id = 0);
    // A file of the flash file system.
    void AddFile(const std::string& name, std::vector<uint8_t> bytes);

    // CMultiEnvironment.
    uint32_t GetNv(uint32_t id, uint32_t width) override;
    uint32_t GetVolatile(uint32_t id, uint32_t width) override;
    bool FileExists(const char* name) override;
    void SetGpo(unsigned, bool) override {}
    // CRenderFiles.
    bool Read(const char* name, const uint8_t** data, uint32_t* size) override;

private:
    RenderSignGeometry m_geometry;
    std::unique_ptr<CDataBase> m_db;
    std::map<std::string, std::vector<uint8_t>> m_files;
    CMultiEnvironment* m_previousEnvironment = nullptr;
    CRenderFiles* m_previousFiles = nullptr;
};
