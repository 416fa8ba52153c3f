#include "database/file_services.h"

#include <new>

#include "database/global_database.h"
#include "runtime/gp_buffer.h"
#include "runtime/post_office.h"

namespace file_services {
namespace {

CDataBase* g_db = nullptr;
PostOffice* g_office = nullptr;

void* HeapTake(uint32_t size) {
    return new (std::nothrow) uint8_t[size];
}
void HeapGive(void* block) {
    delete[] static_cast<uint8_t*>(block);
}
void* PoolTake(uint32_t size) {
    if (g_GpBuffer.GetState() != CGPBuffer::kReady) {
        return HeapTake(size);
    }
    void* block = nullptr;
    return g_GpBuffer.Alloc(&block, size) ? block : nullptr;
}
void PoolGive(void* block) {
    if (!g_GpBuffer.Free(block)) {
        HeapGive(block);
    }
}

void* (*g_take)(uint32_t) = &PoolTake;
void (*g_give)(void*) = &PoolGive;

}  // namespace

void AttachDatabase(CDataBase* db) {
    g_db = db;
}

void AttachPostOffice(PostOffice* office) {
    g_office = office;
}

CDataBase& Db() {
    return g_db != nullptr ? *g_db : g_DataBase;
}

PostOffice& Office() {
    return g_office != nullptr ? *g_office : g_PostOffice;
}

void* TakeBlock(uint32_t size) {
    return g_take(size);
}

void GiveBlock(void* block) {
    if (block != nullptr) {
        g_give(block);
    }
}

void SetBufferHooks(void* (*take)(uint32_t), void (*give)(void*)) {
    g_take = take != nullptr ? take : &PoolTake;
    g_give = give != nullptr ? give : &PoolGive;
}

}  // namespace file_services
