// Packet pools: payloads carved from the caller's memory, records on the host side, a counting
// semaphore for allocations that wait. The free list is changed with interrupts masked (drivers
// allocate and release in interrupt handlers).

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/net/nx_api.h"
#include "platform/net/stack_core.h"

namespace {

constexpr ULONG kPoolId = 0x504B5450;  // "PKTP"

// The records of every pool not deleted, freed at the end of a boot.
std::mutex g_recordsLock;
std::vector<NX_PACKET*> g_records;

void Track(NX_PACKET* records, bool add) {
    std::lock_guard<std::mutex> guard(g_recordsLock);
    if (add) {
        g_records.push_back(records);
    } else {
        std::erase(g_records, records);
    }
}

UINT FromWait(UINT status) {
    if (status == TX_SUCCESS) {
        return NX_SUCCESS;
    }
    return status == TX_WAIT_ABORTED ? NX_WAIT_ABORTED
                                     : (status == TX_NO_INSTANCE ? NX_NO_PACKET : NX_WAIT_ERROR);
}

}  // namespace

UINT nx_packet_pool_create(NX_PACKET_POOL* pool, const CHAR* name, ULONG payload_size, VOID* memory,
                           ULONG memory_size) {
    if (pool == nullptr || memory == nullptr) {
        return NX_PTR_ERROR;
    }
    payload_size = (payload_size + 3u) & ~3u;
    const ULONG stride = payload_size + NX_PACKET_HEADER_SIZE;
    const ULONG count = payload_size == 0 ? 0 : memory_size / stride;
    if (count == 0) {
        return NX_SIZE_ERROR;
    }
    auto* records = new (std::nothrow) NX_PACKET[count]();
    if (records == nullptr) {
        return NX_POOL_ERROR;
    }
    *pool = NX_PACKET_POOL{};
    if (tx_semaphore_create(&pool->nx_packet_pool_free, const_cast<CHAR*>("packet pool"), count) !=
        TX_SUCCESS) {
        delete[] records;
        return NX_POOL_ERROR;
    }
    auto* area = static_cast<UCHAR*>(memory);
    for (ULONG i = count; i-- > 0;) {
        NX_PACKET& p = records[i];
        p.nx_packet_pool_owner = pool;
        p.nx_packet_data_start = area + i * stride + NX_PACKET_HEADER_SIZE;
        p.nx_packet_data_end = p.nx_packet_data_start + payload_size;
        p.nx_packet_pool_next = pool->nx_packet_pool_free_list;
        pool->nx_packet_pool_free_list = &p;
    }
    pool->nx_packet_pool_name = name;
    pool->nx_packet_pool_total = count;
    pool->nx_packet_pool_available = count;
    pool->nx_packet_pool_payload_size = payload_size;
    pool->nx_packet_pool_records = records;
    pool->nx_packet_pool_id = kPoolId;
    Track(records, true);
    return NX_SUCCESS;
}

UINT nx_packet_pool_delete(NX_PACKET_POOL* pool) {
    if (pool == nullptr || pool->nx_packet_pool_id != kPoolId) {
        return NX_PTR_ERROR;
    }
    pool->nx_packet_pool_id = 0;
    tx_semaphore_delete(&pool->nx_packet_pool_free);
    Track(pool->nx_packet_pool_records, false);
    delete[] pool->nx_packet_pool_records;
    pool->nx_packet_pool_records = nullptr;
    pool->nx_packet_pool_free_list = nullptr;
    return NX_SUCCESS;
}

UINT nx_packet_allocate(NX_PACKET_POOL* pool, NX_PACKET** packet, ULONG packet_type,
                        ULONG wait_option) {
    if (pool == nullptr || pool->nx_packet_pool_id != kPoolId || packet == nullptr) {
        return NX_PTR_ERROR;
    }
    *packet = nullptr;
    if (packet_type > pool->nx_packet_pool_payload_size) {
        return NX_OPTION_ERROR;
    }
    UINT status = FromWait(tx_semaphore_get(&pool->nx_packet_pool_free, TX_NO_WAIT));
    if (status == NX_NO_PACKET) {
        TX_INTERRUPT_SAVE_AREA
        TX_DISABLE
        ++pool->nx_packet_pool_empty_requests;
        TX_RESTORE
        if (wait_option != TX_NO_WAIT) {
            status = FromWait(tx_semaphore_get(&pool->nx_packet_pool_free, wait_option));
        }
    }
    if (status != NX_SUCCESS) {
        return status;
    }
    TX_INTERRUPT_SAVE_AREA
    TX_DISABLE
    NX_PACKET* p = pool->nx_packet_pool_free_list;
    pool->nx_packet_pool_free_list = p->nx_packet_pool_next;
    --pool->nx_packet_pool_available;
    TX_RESTORE
    p->nx_packet_pool_next = nullptr;
    p->nx_packet_queue_next = nullptr;
    p->nx_packet_next = nullptr;
    p->nx_packet_prepend_ptr = p->nx_packet_data_start + packet_type;
    p->nx_packet_append_ptr = p->nx_packet_prepend_ptr;
    p->nx_packet_length = 0;
    p->nx_packet_ip = nullptr;
    p->nx_packet_source_ip = 0;
    p->nx_packet_source_port = 0;
    p->nx_packet_allocated = 1;
    *packet = p;
    return NX_SUCCESS;
}

UINT nx_packet_release(NX_PACKET* packet) {
    if (packet == nullptr || packet->nx_packet_pool_owner == nullptr) {
        return NX_PTR_ERROR;
    }
    NX_PACKET_POOL* pool = packet->nx_packet_pool_owner;
    TX_INTERRUPT_SAVE_AREA
    TX_DISABLE
    if (!packet->nx_packet_allocated) {
        ++pool->nx_packet_pool_invalid_releases;
        TX_RESTORE
        return NX_ALREADY_RELEASED;
    }
    packet->nx_packet_allocated = 0;
    packet->nx_packet_pool_next = pool->nx_packet_pool_free_list;
    pool->nx_packet_pool_free_list = packet;
    ++pool->nx_packet_pool_available;
    TX_RESTORE
    tx_semaphore_put(&pool->nx_packet_pool_free);
    return NX_SUCCESS;
}

UINT nx_packet_transmit_release(NX_PACKET* packet) {
    return nx_packet_release(packet);
}

UINT nx_packet_data_append(NX_PACKET* packet, const VOID* data, ULONG size, NX_PACKET_POOL*,
                           ULONG) {
    if (packet == nullptr || (data == nullptr && size != 0)) {
        return NX_PTR_ERROR;
    }
    if (size > ULONG(packet->nx_packet_data_end - packet->nx_packet_append_ptr)) {
        return NX_SIZE_ERROR;
    }
    if (size != 0) {
        std::memcpy(packet->nx_packet_append_ptr, data, size);
    }
    packet->nx_packet_append_ptr += size;
    packet->nx_packet_length += size;
    return NX_SUCCESS;
}

UINT nx_packet_data_retrieve(NX_PACKET* packet, VOID* buffer, ULONG* size) {
    if (packet == nullptr || buffer == nullptr || size == nullptr) {
        return NX_PTR_ERROR;
    }
    if (packet->nx_packet_length != 0) {
        std::memcpy(buffer, packet->nx_packet_prepend_ptr, packet->nx_packet_length);
    }
    *size = packet->nx_packet_length;
    return NX_SUCCESS;
}

UINT nx_packet_pool_info_get(NX_PACKET_POOL* pool, ULONG* total, ULONG* free, ULONG* empty_requests,
                             ULONG* invalid_releases) {
    if (pool == nullptr || pool->nx_packet_pool_id != kPoolId) {
        return NX_PTR_ERROR;
    }
    if (total)
        *total = pool->nx_packet_pool_total;
    if (free)
        *free = pool->nx_packet_pool_available;
    if (empty_requests)
        *empty_requests = pool->nx_packet_pool_empty_requests;
    if (invalid_releases)
        *invalid_releases = pool->nx_packet_pool_invalid_releases;
    return NX_SUCCESS;
}

namespace net {

void ForgetPools() {
    std::lock_guard<std::mutex> guard(g_recordsLock);
    for (NX_PACKET* records : g_records) {
        delete[] records;
    }
    g_records.clear();
}

}  // namespace net
