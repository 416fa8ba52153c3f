#include "ntcip/mib2_tables.h"

#include <cstddef>

#include "database/global_database.h"
#include "ntcip/mib_answer.h"
#include "ntcip/mib_header.h"
#include "ntcip/sign_control_objects.h"
#include "ntcip/snmp_set_staging.h"

namespace {

constexpr uint32_t kStringSlot = 4;

enum : uint8_t {
    kReadOnly = 0,
    kStores = 1,   // a committed set stores the value
    kNetwork = 2,  // ... and marks the network settings changed
    kSpeed = 4,    // the port's shared speed: stored only when the port supports it
};

// A row key and the object behind it; width 0 is a string object. Row i of a table column is
// id + stride * (i - 1).
struct Mib2Object {
    uint8_t key;
    uint32_t id;
    uint8_t width;
    DbImage image;
    uint8_t stride;
    uint8_t flags;
};

constexpr DbImage V = DbImage::kVolatile;
constexpr DbImage N = DbImage::kNv;

const Mib2Object kIfNumber[] = {{0, 24420, 4, V, 0, kReadOnly}};

const Mib2Object kIfEntry[] = {
    {0, 24424, 4, V, 0, kReadOnly},  {4, 24428, 0, V, 0, kReadOnly},
    {8, 24432, 1, V, 0, kReadOnly},  {12, 24436, 4, V, 0, kReadOnly},
    {16, 98628, 4, N, 0, kStores},   {20, 24440, 0, V, 0, kStores},
    {24, 24444, 1, V, 0, kStores},   {28, 24445, 1, V, 0, kReadOnly},
    {32, 24448, 4, V, 0, kReadOnly}, {36, 24452, 4, V, 0, kReadOnly},
    {40, 24456, 4, V, 0, kReadOnly}, {44, 24460, 4, V, 0, kReadOnly},
    {48, 24464, 4, V, 0, kReadOnly}, {52, 24468, 4, V, 0, kReadOnly},
    {56, 24472, 4, V, 0, kReadOnly}, {60, 24476, 4, V, 0, kReadOnly},
    {64, 24480, 4, V, 0, kReadOnly}, {68, 24484, 4, V, 0, kReadOnly},
    {72, 24488, 4, V, 0, kReadOnly}, {76, 24492, 4, V, 0, kReadOnly},
    {80, 24496, 4, V, 0, kReadOnly}, {84, 24500, 0, V, 0, kReadOnly},
};

const Mib2Object kIp[] = {
    {0, 98640, 1, N, 0, kStores},    {4, 98644, 4, N, 0, kStores},
    {8, 24508, 4, V, 0, kReadOnly},  {12, 24512, 4, V, 0, kReadOnly},
    {16, 24516, 4, V, 0, kReadOnly}, {20, 24520, 4, V, 0, kReadOnly},
    {24, 24524, 4, V, 0, kReadOnly}, {28, 24528, 4, V, 0, kReadOnly},
    {32, 24532, 4, V, 0, kReadOnly}, {36, 24536, 4, V, 0, kReadOnly},
    {40, 24540, 4, V, 0, kReadOnly}, {44, 24544, 4, V, 0, kReadOnly},
    {48, 24548, 4, V, 0, kReadOnly}, {52, 24552, 4, V, 0, kReadOnly},
    {56, 24556, 4, V, 0, kReadOnly}, {60, 24560, 4, V, 0, kReadOnly},
    {64, 24564, 4, V, 0, kReadOnly}, {68, 24568, 4, V, 0, kReadOnly},
    {72, 24572, 4, V, 0, kReadOnly}, {76, 24576, 4, V, 0, kReadOnly},
};

const Mib2Object kIpAddrEntry[] = {
    {0, 24580, 4, V, 0, kStores | kNetwork}, {4, 24584, 4, V, 0, kReadOnly},
    {8, 24588, 4, V, 0, kStores | kNetwork}, {12, 24592, 4, V, 0, kReadOnly},
    {16, 24596, 2, V, 0, kReadOnly},
};

const Mib2Object kIpRouteEntry[] = {
    {0, 24600, 4, V, 0, kStores | kNetwork},
    {4, 24604, 4, V, 0, kStores},
    {8, 24608, 4, V, 0, kStores},
    {12, 24612, 4, V, 0, kStores},
    {16, 24616, 4, V, 0, kStores},
    {20, 24620, 4, V, 0, kStores},
    {24, 24624, 4, V, 0, kStores},
    {28, 24628, 1, V, 0, kStores},
    {32, 24629, 1, V, 0, kReadOnly},
    {36, 24632, 4, V, 0, kStores},
    {40, 98648, 4, N, 0, kStores},
    {44, 24636, 4, V, 0, kStores},
    {48, 24640, 0, V, 0, kReadOnly},
};

const Mib2Object kDot3StatsEntry[] = {
    {0, 24660, 4, V, 0, kReadOnly},  {4, 24664, 4, V, 0, kReadOnly},
    {8, 24668, 4, V, 0, kReadOnly},  {12, 24672, 4, V, 0, kReadOnly},
    {16, 24676, 4, V, 0, kReadOnly}, {20, 24680, 4, V, 0, kReadOnly},
    {24, 24684, 4, V, 0, kReadOnly}, {28, 24688, 4, V, 0, kReadOnly},
    {32, 24692, 4, V, 0, kReadOnly}, {36, 24696, 4, V, 0, kReadOnly},
    {40, 24700, 4, V, 0, kReadOnly}, {44, 24704, 4, V, 0, kReadOnly},
    {48, 24708, 4, V, 0, kReadOnly}, {52, 24712, 0, V, 0, kReadOnly},
};

// The LAPB columns are writable rows whose sets store nothing.
const Mib2Object kLapbAdmnEntry[] = {
    {0, 24724, 4, V, 4, kReadOnly},  {4, 24744, 4, V, 4, kReadOnly},
    {8, 24764, 4, V, 4, kReadOnly},  {12, 24784, 4, V, 4, kReadOnly},
    {16, 24804, 4, V, 4, kReadOnly},
};

const Mib2Object kLapbOperEntry[] = {
    {0, 24824, 4, V, 4, kReadOnly},
    {4, 24844, 4, V, 4, kReadOnly},
    {8, 24864, 4, V, 4, kReadOnly},
    {12, 24884, 0, V, 4, kReadOnly},
};

const Mib2Object kRs232[] = {{0, 24904, 4, V, 0, kReadOnly}};

const Mib2Object kRs232PortEntry[] = {
    {0, 24908, 4, V, 4, kReadOnly},
    {4, 24928, 1, V, 1, kReadOnly},
    {8, 98652, 4, N, 4, kStores | kSpeed},
    {12, 98652, 4, N, 4, kStores | kSpeed},
};

const Mib2Object kRs232AsyncPortEntry[] = {
    {0, 24936, 4, V, 4, kReadOnly},
    {4, 24956, 4, V, 4, kReadOnly},
    {8, 24976, 4, V, 4, kReadOnly},
};

constexpr uint32_t kLastPort = 5;

// Serves the row's key from `table`: scalars (rows 0) by their exact name, table columns at
// instances 1..rows.
template <size_t Count>
uintptr_t* Serve(const Mib2Object (&table)[Count], uint32_t rows, MibVariable* row, uint32_t* name,
                 uint32_t* name_length, int mode, uint32_t* value_length, snmp_pdu* pdu,
                 int index) {
    const int header = rows == 0
                           ? MibHeaderExact(row, name, *name_length, mode, value_length)
                           : MibHeaderIndexed(row, name, *name_length, mode, value_length, rows);
    if (header != 0) {
        return nullptr;
    }
    const uint32_t instance = rows == 0 ? 1u : MibInstance(row, name);
    for (const Mib2Object& object : table) {
        if (object.key != row->key) {
            continue;
        }
        const uint32_t id = object.id + object.stride * (instance - 1u);
        if ((object.flags & kStores) != 0 && MibCommitting(mode)) {
            if (object.width == 0) {
                g_DataBase.SetString(id, kStringSlot, g_SnmpSetBuffer, g_SnmpSetLength,
                                     object.image, kDbNotify);
            } else if ((object.flags & kSpeed) == 0 ||
                       Rs232SpeedSupported(instance, g_SnmpSetInt)) {
                g_DataBase.SetInt(id, object.width, g_SnmpSetInt, object.image, kDbNotify);
            }
            if ((object.flags & kNetwork) != 0) {
                g_NetworkSettingsChanged = 1;
            }
        }
        if (object.width == 0) {
            uint32_t length = 0;
            const char* text = g_DataBase.GetString(id, kStringSlot, object.image, &length);
            return MibAnswerText(pdu, index, text, length, value_length);
        }
        return MibAnswerWord(pdu, index, g_DataBase.GetInt(id, object.width, object.image),
                             value_length);
    }
    pdu->varbinds[index].handler_value = 0;
    return nullptr;
}

}  // namespace

bool Rs232SpeedSupported(uint32_t port, uint32_t speed) {
    static constexpr uint32_t kPort1[] = {2400, 4800, 9600, 19200, 28800, 38400, 57600, 115200};
    static constexpr uint32_t kPorts2And4[] = {1200,  2400,  4800,   9600,  19200,
                                               38400, 56000, 128000, 512000};
    static constexpr uint32_t kPort3[] = {1200, 2400, 4800, 9600, 19200, 38400};
    auto in = [speed](const auto& list) {
        for (uint32_t s : list) {
            if (s == speed) {
                return true;
            }
        }
        return false;
    };
    switch (port) {
        case 1:
            return in(kPort1);
        case 2:
        case 4:
            return in(kPorts2And4);
        case 3:
            return in(kPort3);
        default:
            return false;
    }
}

uintptr_t* var_ifNumber(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                        uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kIfNumber, 0, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_ifEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                       uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kIfEntry, 1, row, name, name_length, mode, value_length, pdu, index);
}

// The deprecated address-translation group is not served: its rows answer no instance.
uintptr_t* var_atEntry(MibVariable*, uint32_t*, uint32_t*, int, uint32_t*, snmp_pdu*, int) {
    return nullptr;
}

uintptr_t* var_ip(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                  uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kIp, 0, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_ipAddrEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                           uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kIpAddrEntry, 1, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_ipRouteEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                            uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kIpRouteEntry, 1, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_ipNetToMediaEntry(MibVariable*, uint32_t*, uint32_t*, int, uint32_t*, snmp_pdu*,
                                 int) {
    return nullptr;
}

uintptr_t* var_dot3StatsEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kDot3StatsEntry, 1, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_dot3CollEntry(MibVariable*, uint32_t*, uint32_t*, int, uint32_t*, snmp_pdu*, int) {
    return nullptr;
}

uintptr_t* var_lapbAdmnEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kLapbAdmnEntry, kLastPort, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_lapbOperEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                             uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kLapbOperEntry, kLastPort, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_rs232(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                     uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kRs232, 0, row, name, name_length, mode, value_length, pdu, index);
}

uintptr_t* var_rs232PortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length, int mode,
                              uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kRs232PortEntry, kLastPort, row, name, name_length, mode, value_length, pdu,
                 index);
}

uintptr_t* var_rs232AsyncPortEntry(MibVariable* row, uint32_t* name, uint32_t* name_length,
                                   int mode, uint32_t* value_length, snmp_pdu* pdu, int index) {
    return Serve(kRs232AsyncPortEntry, kLastPort, row, name, name_length, mode, value_length, pdu,
                 index);
}
