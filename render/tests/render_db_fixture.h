#pragma once
// A database of its own attached to the surfaces and fonts for the length of a test.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "database/data_base.h"
#include "database/object_ids.h"
#include "render/sign_objects.h"

class RenderDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        db = std::make_unique<CDataBase>(1u << 20);
        sign_objects::AttachDatabase(db.get());
    }
    void TearDown() override { sign_objects::AttachDatabase(nullptr); }

    // Writes that bypass validation, journal and notices.
    void Poke(uint32_t id, uint32_t width, uint32_t value, DbImage image = DbImage::kNv) {
        ASSERT_EQ(db->SetInt(id, width, value, image, kDbReplayFlags), kDbOk) << id;
    }
    void PokeString(uint32_t id, const std::string& bytes) {
        ASSERT_EQ(db->SetString(id, 4, bytes.data(), uint32_t(bytes.size()), DbImage::kNv,
                                kDbReplayFlags),
                  kDbOk)
            << id;
    }
    void SetSignType(uint32_t type) { Poke(dbo::dmsSignType.id, 1, type); }
    void SetControlMode(uint32_t mode) {
        Poke(dbo::dmsControlMode.id, 1, mode, DbImage::kVolatile);
    }

    std::unique_ptr<CDataBase> db;
};
