// Each row of the default tables against the image after a first start, and what a commanded
// factory reset keeps.

#include "database/factory_defaults.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/write_mode_scope.h"

namespace {

constexpr DbImage N = DbImage::kNv;
constexpr DbImage V = DbImage::kVolatile;

// count integer objects from id, stride apart, holding value, value + step, value + 2 step, ...
struct IntRow {
    DbImage image;
    uint32_t id, width, count, stride, value;
    uint32_t step = 0;
    uint32_t Expected(uint32_t i) const { return value + i * step; }
};
// count string objects from id, stride apart, all holding text.
struct TextRow {
    DbImage image;
    uint32_t id, count, stride;
    std::string text;
};

std::string Oid(std::initializer_list<uint32_t> arcs) {
    std::string out;
    for (uint32_t a : arcs) {
        out += static_cast<char>(a >> 24);
        out += static_cast<char>(a >> 16);
        out += static_cast<char>(a >> 8);
        out += static_cast<char>(a);
    }
    return out;
}
std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) {
        out += static_cast<char>(b);
    }
    return out;
}
const std::string kOid00 = Oid({0, 0});
const std::string kEmpty;

// clang-format off
const IntRow kIntRows[] = {
    // dms, NV
    {N, 48, 2, 1, 0, 1524}, {N, 50, 2, 1, 0, 1220}, {N, 52, 2, 2, 2, 338},
    {N, 56, 1, 1, 0, 8}, {N, 57, 1, 1, 0, 6}, {N, 58, 1, 1, 0, 2}, {N, 60, 1, 2, 1, 0},
    {N, 62, 2, 1, 0, 16}, {N, 64, 2, 1, 0, 24}, {N, 66, 1, 2, 1, 34},
    {N, 25772, 1, 1, 0, 7}, {N, 25773, 1, 1, 0, 0}, {N, 25774, 1, 2, 1, 10}, {N, 25776, 1, 1, 0, 1},
    {N, 25777, 1, 2, 1, 3}, {N, 25779, 1, 1, 0, 20}, {N, 25780, 1, 1, 0, 0}, {N, 25781, 1, 1, 0, 2},
    {N, 25782, 1, 1, 0, 6}, {N, 25783, 1, 2, 1, 10}, {N, 25785, 1, 1, 0, 1}, {N, 25786, 1, 2, 1, 3},
    {N, 25788, 1, 1, 0, 20}, {N, 25789, 1, 1, 0, 0}, {N, 25790, 1, 1, 0, 2},
    {N, 30592, 2, 600, 2, 0}, {N, 31792, 1, 600, 1, 0}, {N, 32392, 1, 600, 1, 0},
    {N, 32992, 1, 500, 1, 1}, {N, 33492, 1, 100, 1, 190}, {N, 33592, 1, 600, 1, 1},
    {N, 34200, 2, 1, 0, 0}, {N, 34202, 1, 2, 1, 0}, {N, 34204, 1, 1, 0, 1}, {N, 34205, 1, 1, 0, 4},
    {N, 34216, 2, 1, 0, 0}, {N, 34218, 1, 2, 1, 0}, {N, 34220, 1, 1, 0, 1}, {N, 34221, 1, 1, 0, 4},
    {N, 34224, 1, 1, 0, 0}, {N, 34226, 2, 1, 0, 65535}, {N, 34232, 4, 1, 0, 0},
    {N, 34236, 1, 1, 0, 11}, {N, 34248, 2, 1, 0, 60}, {N, 34260, 2, 1, 0, 0},
    {N, 34272, 1, 1, 0, 0}, {N, 34273, 1, 1, 0, 2}, {N, 34274, 2, 1, 0, 0},
    {N, 34280, 1, 1, 0, 2}, {N, 34281, 1, 1, 0, 255}, {N, 34288, 1, 1, 0, 2}, {N, 34290, 2, 1, 0, 0},
    {N, 35312, 1, 1, 0, 0}, {N, 35316, 4, 1, 0, 0},
    {N, 35320, 1, 50, 1, 0}, {N, 35572, 1, 50, 1, 0}, {N, 35622, 2, 50, 2, 0},
    {N, 35722, 1, 50, 1, 1}, {N, 35772, 2, 50, 2, 0}, {N, 35872, 1, 50, 1, 0},
    {N, 36124, 1, 50, 1, 1},
    {N, 72, 1, 20, 1, 0}, {N, 172, 1, 60, 1, 0}, {N, 232, 2, 20, 2, 0}, {N, 272, 1, 5100, 1, 0},
    // MIB-II, NV
    {N, 98628, 4, 1, 0, 0x5000000}, {N, 98636, 4, 1, 0, 0}, {N, 98640, 1, 1, 0, 2},
    {N, 98644, 4, 1, 0, 100}, {N, 98648, 4, 1, 0, 0}, {N, 98652, 4, 4, 4, 9600},
    {N, 98668, 4, 1, 0, 10},
    // private, NV
    {N, 95616, 1, 1, 0, 1}, {N, 95620, 1, 1, 0, 100}, {N, 95648, 1, 4, 1, 53},
    {N, 95623, 1, 1, 0, 85}, {N, 95630, 2, 1, 0, 116}, {N, 95632, 1, 1, 0, 0},
    {N, 95636, 4, 1, 0, 1}, {N, 95640, 4, 1, 0, 0}, {N, 95644, 1, 1, 0, 0},
    {N, 95656, 4, 1, 0, 0}, {N, 95660, 4, 1, 0, 0}, {N, 95664, 2, 1, 0, 162},
    {N, 95670, 1, 1, 0, 1}, {N, 95666, 2, 1, 0, 161}, {N, 95700, 4, 1, 0, 20},
    {N, 95668, 2, 1, 0, 80}, {N, 95672, 4, 1, 0, 0}, {N, 95680, 2, 1, 0, 60},
    {N, 95682, 1, 2, 1, 0}, {N, 95696, 1, 1, 0, 1}, {N, 95697, 1, 1, 0, 0}, {N, 95646, 2, 1, 0, 10},
    {N, 95628, 1, 1, 0, 1}, {N, 95684, 1, 2, 1, 1}, {N, 95704, 4, 1, 0, 90000001},
    {N, 95708, 4, 1, 0, 180000001}, {N, 95712, 4, 2, 4, 0}, {N, 95652, 2, 1, 0, 0},
    {N, 95720, 1, 2, 1, 3}, {N, 95722, 1, 9, 1, 0}, {N, 95734, 2, 1, 0, 120},
    {N, 95732, 1, 1, 0, 2}, {N, 95736, 1, 1, 0, 40}, {N, 95741, 1, 1, 0, 100},
    {N, 95737, 1, 1, 0, 100}, {N, 95742, 1, 1, 0, 40}, {N, 95738, 1, 3, 1, 0},
    {N, 95743, 1, 3, 1, 0}, {N, 95752, 2, 1, 0, 5}, {N, 95754, 1, 1, 0, 5}, {N, 95756, 4, 1, 0, 0},
    {N, 95772, 4, 1, 0, 0},
    {N, 95785, 1, 1, 0, 2}, {N, 95786, 1, 3, 1, 0}, {N, 95789, 1, 1, 0, 11},
    {N, 95780, 1, 4, 1, 0}, {N, 95784, 1, 1, 0, 4}, {N, 95790, 1, 5, 1, 0}, {N, 95796, 2, 5, 2, 0},
    {N, 95828, 2, 2, 2, 0}, {N, 95832, 1, 1, 0, 2}, {N, 95833, 1, 1, 0, 1},
    {N, 95836, 2, 1, 0, 2}, {N, 95838, 2, 1, 0, 13}, {N, 95840, 2, 253, 2, 0},
    {N, 98388, 1, 1, 0, 64}, {N, 98396, 4, 1, 0, 0}, {N, 98400, 1, 1, 0, 50},
    {N, 98604, 2, 1, 0, 1024},
    // global, NV
    {N, 48792, 2, 1, 0, 0}, {N, 48794, 1, 1, 0, 10}, {N, 48796, 4, 10, 4, 0}, {N, 48836, 4, 1, 0, 0},
    {N, 48852, 4, 1, 0, 0xFFFFABA0}, {N, 48844, 1, 1, 0, 3},
    {N, 48856, 1, 1, 0, 15}, {N, 48866, 1, 1, 0, 2}, {N, 48876, 1, 1, 0, 1}, {N, 48886, 1, 1, 0, 1},
    {N, 48896, 4, 1, 0, 7200}, {N, 48936, 1, 1, 0, 11}, {N, 48946, 1, 1, 0, 1},
    {N, 48956, 1, 1, 0, 1}, {N, 48966, 1, 1, 0, 1}, {N, 48976, 4, 1, 0, 7200},
    {N, 49016, 2, 1, 0, 3600},
    {N, 48857, 1, 9, 1, 14}, {N, 48867, 1, 9, 1, 1}, {N, 48877, 1, 9, 1, 1}, {N, 48887, 1, 9, 1, 1},
    {N, 48900, 4, 9, 4, 0}, {N, 48937, 1, 9, 1, 14}, {N, 48947, 1, 9, 1, 1}, {N, 48957, 1, 9, 1, 1},
    {N, 48967, 1, 9, 1, 1}, {N, 48980, 4, 9, 4, 0}, {N, 49018, 2, 9, 2, 0},
    {N, 49036, 2, 1, 0, 29}, {N, 49038, 1, 1, 0, 20}, {N, 49039, 1, 1, 0, 24}, {N, 49040, 1, 1, 0, 0},
    {N, 49044, 2, 29, 2, 0}, {N, 49102, 1, 29, 1, 0}, {N, 49132, 4, 29, 4, 0}, {N, 49248, 1, 29, 1, 0},
    {N, 49280, 1, 480, 1, 0}, {N, 49760, 1, 480, 1, 0},
    {N, 52160, 1, 16, 1, 1}, {N, 52176, 1, 1, 0, 12}, {N, 52177, 1, 43, 1, 1},
    {N, 52220, 1, 16, 1, 1}, {N, 52236, 1, 1, 0, 2}, {N, 52280, 4, 60, 4, 0}, {N, 52520, 4, 60, 4, 0},
    {N, 53240, 1, 16, 1, 2}, {N, 53256, 1, 1, 0, 3}, {N, 53257, 1, 43, 1, 2},
    {N, 53300, 2, 4080, 2, 1}, {N, 61460, 4, 4080, 4, 0},
    {N, 94100, 1, 11, 1, 0}, {N, 94111, 1, 1, 0, 100}, {N, 94112, 1, 4, 1, 0},
    {N, 94116, 4, 16, 4, 0}, {N, 94244, 1, 16, 1, 0},
    {N, 94664, 4, 2, 4, 0}, {N, 94672, 4, 1, 0, 0xFFFFFFFF}, {N, 94676, 4, 97, 4, 0},
    // header and block headers
    {N, 0, 4, 1, 0, 3}, {N, 4, 4, 1, 0, 98712}, {N, 8, 4, 1, 0, 40}, {N, 12, 4, 1, 0, 48776},
    {N, 16, 4, 1, 0, 95608}, {N, 20, 4, 1, 0, 98608}, {N, 24, 4, 1, 0, 98680},
    {N, 28, 4, 1, 0, 98700}, {N, 40, 4, 1, 0, 1}, {N, 44, 4, 1, 0, 48736}, {N, 48776, 4, 1, 0, 1},
    {N, 48780, 4, 1, 0, 46832}, {N, 95608, 4, 1, 0, 1}, {N, 95612, 4, 1, 0, 3000},
    {N, 98608, 4, 1, 0, 1}, {N, 98612, 4, 1, 0, 72}, {N, 98680, 4, 1, 0, 1}, {N, 98684, 4, 1, 0, 20},
    {N, 98700, 4, 1, 0, 1}, {N, 98704, 4, 1, 0, 12},
    // dms, volatile
    {V, 0, 1, 1, 0, 2}, {V, 2, 2, 1, 0, 2}, {V, 4, 1, 1, 0, 20}, {V, 6, 2, 1, 0, 255},
    {V, 8, 2, 1, 0, 2}, {V, 10, 2, 1, 0, 0}, {V, 12, 2, 1, 0, 500}, {V, 16, 4, 1, 0, 750000},
    {V, 20, 2, 1, 0, 0}, {V, 22, 2, 1, 0, 4}, {V, 24, 4, 1, 0, 6000},
    {V, 60, 2, 4, 2, 0}, {V, 68, 1, 8, 1, 0}, {V, 76, 1, 8, 1, 1},
    {V, 100, 2, 2, 2, 0}, {V, 104, 1, 4, 1, 0}, {V, 108, 1, 1, 0, 255}, {V, 109, 1, 1, 0, 1},
    {V, 110, 1, 2, 1, 4}, {V, 120, 2, 1, 0, 0}, {V, 122, 1, 2, 1, 0}, {V, 124, 1, 2, 1, 1},
    {V, 132, 1, 1, 0, 4}, {V, 133, 1, 1, 0, 2}, {V, 134, 2, 3, 2, 0},
    {V, 140, 1, 1, 0, 0}, {V, 142, 2, 1, 0, 0}, {V, 144, 2, 1, 0, 65535}, {V, 146, 1, 1, 0, 255},
    {V, 148, 1, 1, 0, 255}, {V, 149, 1, 3, 1, 0}, {V, 152, 1, 11, 1, 1, 1},
    {V, 220, 2, 1, 0, 0}, {V, 222, 1, 3, 1, 2}, {V, 225, 1, 1, 0, 0}, {V, 226, 2, 3, 2, 0},
    {V, 236, 4, 1, 0, 0}, {V, 244, 4, 1, 0, 0}, {V, 252, 1, 3, 1, 0}, {V, 260, 1, 1, 0, 0},
    {V, 268, 4, 1, 0, 0},
    {V, 2672, 1, 300, 1, 2}, {V, 2972, 2, 300, 2, 0}, {V, 3572, 1, 300, 1, 6},
    {V, 4128, 1, 32, 1, 2}, {V, 4160, 1, 32, 1, 0}, {V, 4192, 1, 32, 1, 2}, {V, 4352, 1, 32, 1, 1},
    {V, 4452, 2, 6, 2, 0}, {V, 4464, 1, 6, 1, 2}, {V, 4496, 1, 6, 1, 0}, {V, 4502, 1, 6, 1, 2},
    {V, 4556, 1, 6, 1, 0}, {V, 4532, 1, 6, 1, 127}, {V, 4544, 1, 6, 1, 127},
    {V, 4538, 1, 6, 1, 128}, {V, 4550, 1, 6, 1, 128}, {V, 4562, 1, 6, 1, 0},
    {V, 4568, 2, 3, 2, 1}, {V, 5568, 2, 3, 2, 1}, {V, 6568, 2, 3, 2, 1}, {V, 7568, 2, 3, 2, 1},
    {V, 8568, 2, 3, 2, 1}, {V, 9568, 2, 3, 2, 1}, {V, 10568, 1, 3, 1, 0}, {V, 11068, 1, 3, 1, 0},
    {V, 11568, 1, 3, 1, 0},
    {V, 12068, 2, 1, 0, 0}, {V, 12070, 1, 2, 1, 0}, {V, 12072, 1, 1, 0, 120},
    {V, 12073, 1, 1, 0, 4}, {V, 12074, 1, 1, 0, 0}, {V, 12076, 1, 6, 1, 0},
    {V, 12092, 1, 1, 0, 50}, {V, 12093, 1, 1, 0, 0}, {V, 12094, 2, 1, 0, 64449},
    {V, 12096, 4, 1, 0, 0xFFFFFF}, {V, 12100, 2, 1, 0, 1023},
    // MIB-II, volatile
    {V, 24412, 4, 1, 0, 0}, {V, 24416, 1, 1, 0, 67}, {V, 24420, 4, 2, 4, 1}, {V, 24432, 1, 1, 0, 6},
    {V, 24436, 4, 1, 0, 1518}, {V, 24444, 1, 2, 1, 1}, {V, 24448, 4, 13, 4, 0},
    {V, 24504, 4, 1, 0, 1}, {V, 24508, 4, 18, 4, 0}, {V, 24580, 4, 4, 4, 0}, {V, 24596, 2, 1, 0, 0},
    {V, 24600, 4, 7, 4, 0}, {V, 24628, 1, 1, 0, 1}, {V, 24629, 1, 1, 0, 0}, {V, 24632, 4, 2, 4, 0},
    {V, 24644, 4, 1, 0, 0}, {V, 24652, 4, 2, 4, 0}, {V, 24660, 4, 1, 0, 1}, {V, 24664, 4, 12, 4, 0},
    {V, 24716, 4, 2, 4, 0}, {V, 24724, 4, 5, 4, 1, 1}, {V, 24744, 4, 20, 4, 0},
    {V, 24824, 4, 5, 4, 1, 1}, {V, 24844, 4, 10, 4, 0},
    {V, 24904, 4, 1, 0, 0}, {V, 24908, 4, 5, 4, 1, 1}, {V, 24928, 1, 2, 1, 2},
    {V, 24930, 1, 1, 0, 1}, {V, 24931, 1, 1, 0, 2}, {V, 24932, 1, 1, 0, 1},
    {V, 24936, 4, 5, 4, 1, 1}, {V, 24956, 4, 10, 4, 0}, {V, 24996, 4, 25, 4, 0},
    {V, 25096, 4, 1, 0, 2},
    // private, volatile
    {V, 14016, 2, 1500, 2, 0}, {V, 17016, 1, 1, 0, 1}, {V, 17017, 1, 1, 0, 100},
    {V, 17018, 1, 1, 0, 2}, {V, 17019, 1, 2, 1, 0}, {V, 17054, 1, 5, 1, 1}, {V, 17061, 1, 5, 1, 1},
    {V, 17076, 4, 5, 4, 0}, {V, 17124, 2, 1, 0, 0xFF81}, {V, 17156, 1, 1, 0, 9},
    {V, 17157, 1, 1, 0, 1}, {V, 17160, 1, 1, 0, 0}, {V, 17162, 2, 1, 0, 0}, {V, 17164, 4, 1, 0, 0},
    {V, 17168, 2, 1, 0, 0}, {V, 17176, 2, 1, 0, 0}, {V, 17180, 2, 2, 2, 0}, {V, 17184, 1, 3, 1, 0},
    {V, 17187, 1, 1, 0, 100}, {V, 17188, 1, 1, 0, 1}, {V, 17189, 1, 1, 0, 0}, {V, 17190, 1, 1, 0, 1},
    {V, 17196, 2, 4, 2, 0}, {V, 17204, 4, 1, 0, 1000}, {V, 17212, 1, 1, 0, 5},
    {V, 17213, 1, 2, 1, 2}, {V, 17215, 1, 1, 0, 3}, {V, 17216, 1, 1, 0, 2}, {V, 17217, 1, 1, 0, 4},
    {V, 17220, 2, 1, 0, 255}, {V, 17218, 1, 1, 0, 2}, {V, 17222, 1, 255, 1, 0},
    {V, 17478, 2, 1, 0, 0}, {V, 17480, 1, 2, 1, 0}, {V, 17588, 1, 26, 1, 0}, {V, 17614, 2, 26, 2, 0},
    {V, 17666, 1, 78, 1, 1}, {V, 24400, 1, 4, 1, 0},
    // global, volatile
    {V, 12104, 1, 1, 0, 1}, {V, 12108, 4, 1, 0, 2050}, {V, 12112, 1, 1, 0, 8},
    {V, 12244, 1, 1, 0, 3}, {V, 12245, 1, 1, 0, 2}, {V, 12246, 1, 4, 1, 3}, {V, 12250, 1, 1, 0, 2},
    {V, 12251, 1, 1, 0, 3},
    {V, 12252, 1, 1, 0, 1}, {V, 12253, 1, 1, 0, 7}, {V, 12260, 1, 3, 1, 0}, {V, 12268, 4, 1, 0, 0},
    {V, 12272, 1, 1, 0, 10}, {V, 12274, 2, 1, 0, 60}, {V, 12276, 2, 1, 0, 255},
    {V, 12278, 1, 1, 0, 16}, {V, 12280, 1, 1, 0, 100}, {V, 12281, 1, 100, 1, 1, 1},
    {V, 12381, 1, 1, 0, 112}, {V, 12382, 1, 1, 0, 24},
    {V, 12384, 1, 112, 1, 3}, {V, 12496, 1, 24, 1, 2}, {V, 12520, 1, 112, 1, 1, 1},
    {V, 12632, 1, 24, 1, 1, 1}, {V, 12656, 1, 136, 1, 0},
    {V, 12792, 4, 136, 4, 0}, {V, 13336, 1, 136, 1, 2}, {V, 13472, 4, 136, 4, 0},
};

const TextRow kTextRows[] = {
    {N, 68, 1, 0, Bytes({0, 0, 0, 0xFF, 0xFF, 0xFF})},
    {N, 92, 20, 4, kEmpty}, {N, 5372, 5100, 4, kEmpty},
    {N, 25792, 1200, 4, kEmpty}, {N, 34192, 2, 4, kEmpty}, {N, 34208, 2, 4, kEmpty},
    {N, 34228, 1, 0, Bytes({7, 0, 1, 0, 0})}, {N, 34240, 2, 4, Bytes({5, 0, 1, 0, 0})},
    {N, 34252, 1, 0, Bytes({5, 0, 1, 0, 0})}, {N, 34256, 1, 0, Bytes({7, 0, 1, 0, 0})},
    {N, 34264, 1, 0, Bytes({5, 0, 1, 0, 0})}, {N, 34268, 1, 0, Bytes({7, 0, 1, 0, 0})},
    {N, 34276, 1, 0, kEmpty}, {N, 34284, 1, 0, "\x30"}, {N, 34292, 255, 4, kEmpty},
    {N, 35372, 50, 4, kEmpty}, {N, 35924, 50, 4, std::string(1, '\0')}, {N, 36176, 3150, 4, kEmpty},
    {N, 98616, 1, 0, kDefaultSysContact}, {N, 98620, 1, 0, kDefaultSysName},
    {N, 98624, 1, 0, "Unknown"}, {N, 98632, 1, 0, "0.0.0.0"},
    {N, 95676, 1, 0, kEmpty}, {N, 95624, 1, 0, Bytes({7, 0, 1, 0, 0})},
    {N, 95688, 1, 0, Bytes({7, 0, 1, 0, 0})},
    {N, 95692, 1, 0, Bytes({0xFF, 0xFF, 1, 7, 0, 1, 0, 0, 0, 0, 0, 0})},
    {N, 95748, 1, 0, kEmpty}, {N, 95768, 1, 0, kEmpty}, {N, 95776, 1, 0, kEmpty},
    {N, 95808, 5, 4, kEmpty}, {N, 96348, 1, 0, "42005,2"}, {N, 96352, 1, 0, "42105,2"},
    {N, 96356, 253, 4, kEmpty}, {N, 98392, 1, 0, Bytes({0xC5, 0x21, 0x02})}, {N, 98404, 50, 4, kEmpty},
    {N, 48784, 1, 0, "LANTERNS"}, {N, 48788, 1, 0, "MAPLES"},
    {N, 50240, 480, 4, Oid({1, 3, 6, 1, 4, 1, 1206, 4, 2, 6, 3, 1, 0})},
    {N, 52760, 16, 4, kOid00}, {N, 52824, 1, 0, Oid({1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1})},
    {N, 52828, 43, 4, kOid00}, {N, 53000, 16, 4, kOid00},
    {N, 53064, 1, 0, Oid({1, 3, 6, 1, 4, 1, 1206, 4, 2, 3, 5, 8, 1, 3, 5, 1})},
    {N, 53068, 43, 4, kOid00}, {N, 77780, 4080, 4, kEmpty}, {N, 94180, 11, 4, kEmpty},
    {N, 94224, 1, 0, "Current Speed Limit"}, {N, 94228, 4, 4, kEmpty},
    {N, 94260, 1, 0, "quartermaster"}, {N, 94264, 2, 4, "tamsol"}, {N, 94272, 1, 0, "Tamsol"},
    {N, 94276, 97, 4, "tamsol"}, {N, 95064, 136, 4, "UNUSED"},
    // volatile
    {V, 28, 8, 4, kEmpty}, {V, 84, 4, 4, kEmpty}, {V, 112, 2, 4, kEmpty}, {V, 128, 1, 0, kEmpty},
    {V, 164, 11, 4, kEmpty}, {V, 208, 3, 4, kEmpty}, {V, 232, 3, 8, kEmpty},
    {V, 256, 1, 0, std::string(1, '\0')}, {V, 264, 1, 0, std::string(1, '\0')},
    {V, 272, 600, 4, kEmpty}, {V, 3872, 64, 4, kEmpty}, {V, 4224, 32, 4, kEmpty},
    {V, 4384, 11, 4, kEmpty}, {V, 4428, 6, 4, kEmpty}, {V, 4472, 6, 4, kEmpty},
    {V, 4508, 6, 4, kEmpty}, {V, 12084, 2, 4, kEmpty},
    {V, 24404, 1, 0, kDefaultSysName}, {V, 24408, 1, 0, Oid({1, 3, 6, 1, 4, 1, 1206, 4, 2, 3})},
    {V, 24428, 1, 0, "Ethernet Port"}, {V, 24440, 1, 0, kEmpty}, {V, 24500, 1, 0, kOid00},
    {V, 24640, 1, 0, kOid00}, {V, 24648, 1, 0, kEmpty}, {V, 24712, 1, 0, Oid({1, 3, 6, 1, 2, 1, 10, 7, 8, 2, 1})},
    {V, 24884, 5, 4, kOid00},
    {V, 17024, 2, 4, std::string(12, '\0')}, {V, 17032, 5, 4, kEmpty}, {V, 17104, 5, 4, kEmpty},
    {V, 17132, 6, 4, kEmpty}, {V, 17172, 1, 0, kEmpty}, {V, 17208, 1, 0, kEmpty},
    {V, 17484, 26, 4, kEmpty}, {V, 17744, 26, 4, kEmpty},
    {V, 17848, 1638, 4, std::string(1024, '\0')},
    {V, 12116, 8, 4, Oid({1, 3, 6, 1, 4, 1, 1206, 4, 2, 3})}, {V, 12148, 8, 4, "Brennovask, Inc."},
    {V, 12180, 1, 0, "PX40317 - SFC-4400 FW"}, {V, 12184, 1, 0, "CONTROLLER SERIAL NUMBER"},
    {V, 12188, 1, 0, "DISPLAY DRIVER"}, {V, 12192, 1, 0, "CONTROL PANEL"},
    {V, 12196, 1, 0, "DISPLAY MODULE"}, {V, 12200, 1, 0, "DISTRIBUTION BOARD"},
    {V, 12204, 1, 0, "SIGN MODEL"}, {V, 12208, 1, 0, "PX40851 - BOOTLOADER"},
    {V, 12212, 1, 0, "1.9.4588.53"}, {V, 12216, 1, 0, "SN: ----"}, {V, 12220, 4, 4, kEmpty},
    {V, 12236, 1, 0, "SN: ----"}, {V, 12240, 1, 0, "1.0"},
    {V, 12256, 1, 0, kOid00}, {V, 12264, 1, 0, kEmpty},
};
// clang-format on

class FactoryDefaults : public ::testing::Test {
protected:
    void SetUp() override {
        DefaultHooks hooks;
        hooks.monitorVersion = [] { return "MicroMonitor-1.0"; };
        db_set_default_hooks(hooks);
    }
    void TearDown() override { db_set_default_hooks({}); }

    void RunAll(CDataBase& database, int mode) {
        DbBulkWriteScope scope;
        dms_factory_defaults(database, mode);
        mib2_factory_defaults(database, mode);
        private_factory_defaults(database, mode);
        global_factory_defaults(database, mode);
        for (const auto& [id, value] : kHeader) {
            database.SetInt(id, 4, value, DbImage::kNv, 0);
        }
    }
    void RunVolatile(CDataBase& database) {
        DbBulkWriteScope scope;
        dms_volatile_defaults(database);
        mib2_volatile_defaults(database);
        private_volatile_defaults(database);
        global_volatile_defaults(database);
    }
    std::string Text(DbImage image, uint32_t id) {
        uint32_t n = 0;
        const char* text = db.GetString(id, 4, image, &n);
        return std::string(text, n);
    }

    // The header words are written by the task after the groups.
    static constexpr std::pair<uint32_t, uint32_t> kHeader[] = {
        {0, 3},        {4, 98712},  {40, 1},        {8, 40},     {44, 48736},
        {48776, 1},    {12, 48776}, {48780, 46832}, {95608, 1},  {16, 95608},
        {95612, 3000}, {98608, 1},  {20, 98608},    {98612, 72}, {98680, 1},
        {24, 98680},   {98684, 20}, {98700, 1},     {28, 98700}, {98704, 12}};
    CDataBase db;
};

TEST_F(FactoryDefaults, FirstStartFillsEveryRow) {
    RunAll(db, kDefaultsFirstStart);
    RunVolatile(db);
    for (const IntRow& row : kIntRows) {
        for (uint32_t i = 0; i < row.count; ++i) {
            const uint32_t id = row.id + i * row.stride;
            EXPECT_EQ(db.GetInt(id, row.width, row.image), row.Expected(i))
                << (row.image == N ? "NV " : "volatile ") << id;
        }
    }
    for (const TextRow& row : kTextRows) {
        for (uint32_t i = 0; i < row.count; ++i) {
            const uint32_t id = row.id + i * row.stride;
            EXPECT_EQ(Text(row.image, id), row.text)
                << (row.image == N ? "NV " : "volatile ") << id;
        }
    }
    EXPECT_EQ(static_cast<int16_t>(db.GetInt(17124, 2, V)), -127);
}

// The volatile defaults also run over a used image (after a commanded reset): every volatile row
// is rewritten, zeros and empty strings included, and unused graphics lose their blocks.
TEST_F(FactoryDefaults, VolatileDefaultsRewriteEveryRowOfAUsedImage) {
    RunAll(db, kDefaultsFirstStart);
    RunVolatile(db);
    for (const IntRow& row : kIntRows) {
        for (uint32_t i = 0; row.image == V && i < row.count; ++i) {
            db.SetInt(row.id + i * row.stride, row.width, row.Expected(i) ^ 0x5A, V,
                      kDbReplayFlags);
        }
    }
    for (const TextRow& row : kTextRows) {
        for (uint32_t i = 0; (row.image == V || row.id == 36176) && i < row.count; ++i) {
            db.SetString(row.id + i * row.stride, 4, "old", 3, row.image, kDbReplayFlags);
        }
    }
    RunVolatile(db);
    for (const IntRow& row : kIntRows) {
        for (uint32_t i = 0; row.image == V && i < row.count; ++i) {
            EXPECT_EQ(db.GetInt(row.id + i * row.stride, row.width, V), row.Expected(i))
                << "volatile " << row.id + i * row.stride;
        }
    }
    for (const TextRow& row : kTextRows) {
        for (uint32_t i = 0; (row.image == V || row.id == 36176) && i < row.count; ++i) {
            EXPECT_EQ(Text(row.image, row.id + i * row.stride), row.text)
                << (row.image == N ? "NV " : "volatile ") << row.id + i * row.stride;
        }
    }
}

// NV objects that only a first start writes (rows marked first start): a commanded factory reset
// keeps them. Inclusive id ranges.
struct IdRange {
    uint32_t first, last;
};
constexpr IdRange kFirstStartOnly[] = {
    {48, 71},                                        // geometry, pixels, pitch, monochromeColor
    {25782, 25782},                                  // NV 25782
    {27792, 28191}, {30192, 30591}, {31592, 31791},  // message rows 501-600: text, owner, CRC,
    {32292, 32391}, {32892, 32991}, {33492, 33591},  // beacon, pixel service, priority,
    {34092, 34191},                                  // status
    {35320, 48775},                                  // graphics and their blocks
    {98628, 98631}, {98652, 98671},                  // ifSpeed, rs232PortInSpeed
    {95620, 95687}, {95696, 98399},                  // private installation settings
    {48784, 48791}, {48840, 49035},                  // CHAP texts, time, zone, daylight saving
};
bool FirstStartOnly(uint32_t id) {
    for (const IdRange& range : kFirstStartOnly) {
        if (id >= range.first && id <= range.last) {
            return true;
        }
    }
    return false;
}

// Mode 1 over an image where every NV object differs from its default: the rows marked both
// return to their defaults, the rows marked first start keep what they hold.
TEST_F(FactoryDefaults, FactoryResetRewritesBothRowsAndKeepsFirstStartRows) {
    RunAll(db, kDefaultsFirstStart);
    for (const IntRow& row : kIntRows) {
        for (uint32_t i = 0; row.image == N && i < row.count; ++i) {
            db.SetInt(row.id + i * row.stride, row.width, row.Expected(i) ^ 0x5A, N,
                      kDbReplayFlags);
        }
    }
    for (const TextRow& row : kTextRows) {
        for (uint32_t i = 0; row.image == N && i < row.count; ++i) {
            db.SetString(row.id + i * row.stride, 4, "old", 3, N, kDbReplayFlags);
        }
    }
    RunAll(db, kDefaultsFactoryReset);
    for (const IntRow& row : kIntRows) {
        for (uint32_t i = 0; row.image == N && i < row.count; ++i) {
            const uint32_t id = row.id + i * row.stride;
            const uint32_t expected = FirstStartOnly(id) ? row.Expected(i) ^ 0x5A : row.Expected(i);
            EXPECT_EQ(db.GetInt(id, row.width, N), expected) << "NV " << id;
        }
    }
    for (const TextRow& row : kTextRows) {
        for (uint32_t i = 0; row.image == N && i < row.count; ++i) {
            const uint32_t id = row.id + i * row.stride;
            EXPECT_EQ(Text(N, id), FirstStartOnly(id) ? std::string("old") : row.text)
                << "NV " << id;
        }
    }
}

TEST_F(FactoryDefaults, FactoryResetKeepsInstallationAndResetsTheRest) {
    RunAll(db, kDefaultsFirstStart);
    // The installation changes.
    db.SetInt(57, 1, 3, N, kDbReplayFlags);
    db.SetInt(33592 + 520, 1, 4, N, kDbReplayFlags);  // row 521 valid
    db.SetString(25792 + 4 * 520, 4, "KEEP", 4, N, kDbReplayFlags);
    db.SetInt(36124 + 2, 1, 4, N, kDbReplayFlags);  // graphic 3 ready
    db.SetString(36176 + 4 * (63 * 2), 4, "blk", 3, N, kDbReplayFlags);
    db.SetInt(95664, 2, 2000, N, kDbReplayFlags);
    db.SetString(48784, 4, "OTHER", 5, N, kDbReplayFlags);
    db.SetInt(48856, 1, 3, N, kDbReplayFlags);
    db.SetInt(95838, 2, 99, N, kDbReplayFlags);
    // What a reset returns.
    db.SetString(25792, 4, "MSG", 3, N, kDbReplayFlags);
    db.SetInt(33592, 1, 4, N, kDbReplayFlags);
    db.SetString(94260, 4, "admin2", 6, N, kDbReplayFlags);
    db.SetInt(72, 1, 9, N, kDbReplayFlags);
    db.SetInt(94100, 1, 7, N, kDbReplayFlags);

    RunAll(db, kDefaultsFactoryReset);
    RunVolatile(db);
    EXPECT_EQ(db.GetInt(57, 1, N), 3u);
    EXPECT_EQ(db.GetInt(33592 + 520, 1, N), 4u);
    EXPECT_EQ(Text(N, 25792 + 4 * 520), "KEEP");
    EXPECT_EQ(db.GetInt(36124 + 2, 1, N), 4u);
    EXPECT_EQ(Text(N, 36176 + 4 * (63 * 2)), "blk") << "a ready graphic keeps its blocks";
    EXPECT_EQ(db.GetInt(95664, 2, N), 2000u);
    EXPECT_EQ(Text(N, 48784), "OTHER");
    EXPECT_EQ(db.GetInt(48856, 1, N), 3u);
    EXPECT_EQ(db.GetInt(95838, 2, N), 99u);
    EXPECT_EQ(Text(N, 25792), "");
    EXPECT_EQ(db.GetInt(33592, 1, N), 1u);
    EXPECT_EQ(Text(N, 94260), "quartermaster");
    EXPECT_EQ(db.GetInt(72, 1, N), 0u);
    EXPECT_EQ(db.GetInt(94100, 1, N), 0u);
    EXPECT_EQ(db.GetInt(8, 2, V), 3u) << "one valid permanent message";
    EXPECT_EQ(db.GetInt(12093, 1, V), 1u) << "graphic 3 counted";
    EXPECT_EQ(db.GetInt(4, 1, V), 20u);
}

TEST_F(FactoryDefaults, VolatileCountsFollowTheNvImage) {
    RunAll(db, kDefaultsFirstStart);
    for (uint32_t row : {0u, 9u, 499u}) {
        db.SetInt(33592 + row, 1, 4, N, kDbReplayFlags);
    }
    db.SetInt(57, 1, 132, N, kDbReplayFlags);
    db.SetInt(36124 + 5, 1, 5, N, kDbReplayFlags);
    db.SetInt(36124 + 6, 1, 6, N, kDbReplayFlags);
    db.SetString(36176 + 4 * (63 * 7 + 62), 4, "x", 1, N, kDbReplayFlags);  // graphic 8, status 1
    RunVolatile(db);
    EXPECT_EQ(db.GetInt(10, 2, V), 3u);
    EXPECT_EQ(db.GetInt(16, 4, V), 750000u - 4500u);
    EXPECT_EQ(db.GetInt(8, 2, V), 2u);
    EXPECT_EQ(db.GetInt(4, 1, V), 1u) << "character matrix sign";
    EXPECT_EQ(db.GetInt(12093, 1, V), 1u) << "status 4 or 5 only";
    EXPECT_EQ(Text(N, 36176 + 4 * (63 * 7 + 62)), "") << "unused graphic loses its blocks";
}

TEST_F(FactoryDefaults, BootLoaderVersionFallsBackToTheFirmwareVersion) {
    DefaultHooks hooks;
    hooks.monitorVersion = [] { return "nodash"; };
    db_set_default_hooks(hooks);
    RunVolatile(db);
    EXPECT_EQ(Text(V, 12240), "1.9.4588.53");
}

}  // namespace
