#pragma once
// A sign configuration held in maps, installed for the lifetime of the object.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "render/multi_environment.h"
#include "render/multi_objects.h"

class FakeMultiEnvironment : public CMultiEnvironment {
public:
    // A 96 x 16 full-matrix RGB sign with fonts 1 and 2 and the usual defaults.
    FakeMultiEnvironment() {
        using namespace multi_objects;
        Set(kSignType, 6);
        Set(kSignWidthPixels, 96);
        Set(kSignHeightPixels, 16);
        Set(kCharacterWidthPixels, 0);
        Set(kCharacterHeightPixels, 0);
        Set(kModuleId, 116);
        Set(kDefaultForegroundColor, 9);
        Set(kDefaultBackgroundColor, 0);
        Set(kDefaultFlashOn, 5);
        Set(kDefaultFlashOff, 5);
        Set(kDefaultFont, 1);
        Set(kDefaultJustificationLine, 3);
        Set(kDefaultJustificationPage, 3);
        Set(kDefaultPageOnTime, 30);
        Set(kDefaultPageOffTime, 0);
        Set(FontNumber(0), 1);
        Set(FontVersionId(0), 0x1234);
        Set(FontLineSpacing(0), 2);
        Set(FontNumber(1), 2);
        Set(FontVersionId(1), 0xBEEF);
        Set(FontLineSpacing(1), 4);
        previous_ = MultiSetEnvironment(this);
    }
    ~FakeMultiEnvironment() override { MultiSetEnvironment(previous_); }

    void Set(multi_objects::ObjectRef ref, uint32_t value) { nv[ref.id] = value; }
    void SetVolatile(multi_objects::ObjectRef ref, uint32_t value) { vol[ref.id] = value; }

    uint32_t GetNv(uint32_t id, uint32_t) override {
        auto it = nv.find(id);
        return it == nv.end() ? 0 : it->second;
    }
    uint32_t GetVolatile(uint32_t id, uint32_t) override {
        auto it = vol.find(id);
        return it == vol.end() ? 0 : it->second;
    }
    bool FileExists(const char* name) override {
        stats.emplace_back(name);
        return files.count(name) != 0;
    }
    void SetGpo(unsigned output, bool on) override { gpo.emplace_back(output, on); }

    std::map<uint32_t, uint32_t> nv;
    std::map<uint32_t, uint32_t> vol;
    std::set<std::string> files;
    std::vector<std::string> stats;
    std::vector<std::pair<unsigned, bool>> gpo;

private:
    CMultiEnvironment* previous_ = nullptr;
};
