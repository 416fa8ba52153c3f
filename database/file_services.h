#pragma once
// What the file peripherals (directory, CONFIG.XML, monrc, SCRIPT.XML, file manager) share: the
// database they read and write, the post office of their letters and the 256 KB work blocks
// (the general-purpose pool once it is ready, the heap before). Tests attach their own.

#include <cstdint>

class CDataBase;
class PostOffice;

namespace file_services {

inline constexpr uint32_t kBlockSize = 0x40000;

// Null restores the defaults (g_DataBase, g_PostOffice).
void AttachDatabase(CDataBase* db);
void AttachPostOffice(PostOffice* office);
CDataBase& Db();
PostOffice& Office();

// A block of the size, or null when none is free; GiveBlock returns it.
void* TakeBlock(uint32_t size);
void GiveBlock(void* block);
// Null restores the defaults.
void SetBufferHooks(void* (*take)(uint32_t size), void (*give)(void* block));

}  // namespace file_services
