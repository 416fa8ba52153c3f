#include "platform/sim/photocell.h"

namespace sim {

Photocell& BoardPhotocell() {
    static Photocell photocell;
    return photocell;
}

}  // namespace sim
