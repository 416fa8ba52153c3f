#include "comm/q2_serial_driver.h"

#include "platform/monitor/mon.h"
#include "platform/sim/hw.h"
#include "runtime/debug_print.h"
#include "runtime/register_access.h"

namespace {
// Register offsets and bits of the 16550.
constexpr uint32_t kData = 0, kIer = 1, kIir = 2, kLcr = 3, kMcr = 4, kLsr = 5, kMsr = 6;
constexpr uint8_t kIerThre = 0x02, kIerModem = 0x08;
constexpr uint8_t kMcrDtr = 0x01, kMcrRts = 0x02;
constexpr uint8_t kLsrDataReady = 0x01, kLsrTemt = 0x40;
constexpr uint8_t kMsrDcdChanged = 0x08, kMsrCts = 0x10, kMsrDsr = 0x20, kMsrRi = 0x40,
                  kMsrDcd = 0x80;
constexpr ULONG kTxRoomBit = 0x1;
// Bounds the identification loop of one interrupt against a device that never settles.
constexpr unsigned kIsrRounds = 256;

uint8_t FlowModeOf(uint32_t mode, uint32_t handshake) {
    if (mode & CQ2SerialDriver::kModeFlow0)
        return 0;
    if (mode & CQ2SerialDriver::kModeFlow1)
        return 1;
    if (mode & CQ2SerialDriver::kModeFlow2)
        return (handshake & 0x2) ? 5 : 2;
    if (mode & CQ2SerialDriver::kModeFlow3)
        return 3;
    return (handshake & 0x1) ? 4 : 3;
}

class InterruptsMasked {
public:
    InterruptsMasked() : saved_(tx_interrupt_control(TX_INT_DISABLE)) {}
    ~InterruptsMasked() { tx_interrupt_control(saved_); }
    InterruptsMasked(const InterruptsMasked&) = delete;
    InterruptsMasked& operator=(const InterruptsMasked&) = delete;

private:
    UINT saved_;
};
}  // namespace

bool CQ2SerialDriver::s_rtsRaised = false;
bool CQ2SerialDriver::s_firstDelayDone = false;

CQ2SerialDriver::CQ2SerialDriver() = default;

// The kernel objects go with the kernel that made them.
CQ2SerialDriver::~CQ2SerialDriver() {
    if (registered_) {
        Interrupt::Unregister(source_);
    }
}

void CQ2SerialDriver::ResetSharedFlags() {
    s_rtsRaised = false;
    s_firstDelayDone = false;
}

uint8_t CQ2SerialDriver::Reg(uint32_t offset) {
    return hw::Read8(base_ + offset);
}

void CQ2SerialDriver::SetReg(uint32_t offset, uint8_t value) {
    hw::Write8(base_ + offset, value);
}

void CQ2SerialDriver::EnableInterrupts(uint8_t bits, bool on) {
    if (base_ == 0) {
        return;
    }
    const uint8_t ier = Reg(kIer);
    SetReg(kIer, on ? uint8_t(ier | bits) : uint8_t(ier & ~bits));
}

bool CQ2SerialDriver::CreateKernelObjects() {
    if (kernelObjects_) {
        return true;
    }
    const auto self = reinterpret_cast<ULONG_PTR>(this);
    if (tx_event_flags_create(&txRoom_, "serial tx room") != TX_SUCCESS) {
        return false;
    }
    tx_timer_create(&rtsTimer_, "serial rts drop", &RtsDropExpiry, self, 1, 0, TX_NO_ACTIVATE);
    tx_timer_create(&firstDelayTimer_, "serial first rts", &FirstDelayExpiry, self, kFirstRtsDelay,
                    0, TX_NO_ACTIVATE);
    kernelObjects_ = true;
    return true;
}

int CQ2SerialDriver::Open(uint32_t port, uint32_t baud, uint32_t dataBits, uint32_t mode,
                          uint32_t handshake, uint32_t ringSize) {
    if (!rxRing_ && !txRing_) {
        rxRing_ = std::make_unique<CRingBuffer>(ringSize);
        txRing_ = std::make_unique<CRingBuffer>(ringSize);
    }
    // A driver without both rings cannot carry a byte: it stays closed.
    if (!rxRing_->Valid() || !txRing_->Valid() || !CreateKernelObjects()) {
        return 0;
    }
    mode_ = mode;
    port_ = port;
    base_ = port == 0 ? kPort0Base : port == 1 ? kPort1Base : 0;
    source_ = port == 0 ? kPort0Source : port == 1 ? kPort1Source : 0;
    if (base_ != 0) {
        if (mode & kModeInterrupt) {
            if (registered_) {
                Interrupt::Unregister(source_);
            }
            Interrupt::Register(source_, this);
            uic_write_enable(uic_read_enable() | source_);
            registered_ = true;
        }
        if (mon_port_setup(int(port), baud, int(dataBits), mode) != 0) {
            DebugPrint("serial port %u: baud %u refused\n", unsigned(port), unsigned(baud));
        }
        if (port == 0) {
            SetReg(kIir, 0x07);  // FIFOs on, both cleared
            if (mode & kModeLineControl) {
                WriteLineControl(dataBits);
            }
        }
    }
    dtrMode_ = (mode & kModeDtrOff) ? 0 : (mode & kModeDtrOn) ? 1 : 0;
    flowMode_ = FlowModeOf(mode, handshake);
    SetDTR(dtrMode_ == 1);
    SetRTS(flowMode_ == 1 || flowMode_ == 4);
    if ((mode & (kModeDtrOff | kModeDtrOn)) == 0 && (mode & kModeFail)) {
        return 0;
    }
    EnableInterrupts(kIerModem, true);
    opened_ = 1;
    return 1;
}

void CQ2SerialDriver::WriteLineControl(uint32_t dataBits) {
    uint8_t lcr = dataBits == 5 ? 0 : dataBits == 6 ? 1 : dataBits == 7 ? 2 : 3;
    if (!(mode_ & kModeNoParity)) {
        lcr |= 0x18;  // even parity
    }
    if (!(mode_ & kModeOneStop) && (mode_ & 0x00C0)) {
        lcr |= 0x04;  // two stop bits
    }
    SetReg(kLcr, lcr);
}

int CQ2SerialDriver::SetBaud(uint32_t baud) {
    if (mon_port_setup(int(port_), baud, 8, mode_) != 0) {
        DebugPrint("serial port %u: baud %u refused\n", unsigned(port_), unsigned(baud));
    }
    return 1;
}

bool CQ2SerialDriver::WaitForTxRoom() {
    // Only a thread may wait, and only with interrupts open so the transmitter can drain.
    if (tx_thread_identify() == nullptr || !kernelObjects_) {
        return false;
    }
    ULONG actual = 0;
    tx_event_flags_get(&txRoom_, kTxRoomBit, TX_OR_CLEAR, &actual, TX_NO_WAIT);
    {
        InterruptsMasked masked;
        if (!txRing_->Full()) {
            return true;
        }
    }
    return tx_event_flags_get(&txRoom_, kTxRoomBit, TX_OR_CLEAR, &actual, kPutCharWait) ==
           TX_SUCCESS;
}

int CQ2SerialDriver::PutChar(uint8_t byte) {
    if (base_ == 0 || !txRing_) {
        return 0;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        {
            InterruptsMasked masked;
            const bool stored = txRing_->Put(byte);
            if (!txHeld_) {
                EnableInterrupts(kIerThre, true);
            }
            if (stored) {
                return 1;
            }
        }
        if (attempt == 0 && !WaitForTxRoom()) {
            break;
        }
    }
    ++txDropped_;
    return 0;
}

int CQ2SerialDriver::GetChar(uint32_t* value) {
    *value = 0xFFFFFFFF;
    if (!rxRing_) {
        return 0;
    }
    InterruptsMasked masked;
    uint8_t byte = 0;
    const bool got = rxRing_->Get(&byte);
    if (flowMode_ == 4 && rxRing_->AtLowWater()) {
        SetRTS(true);
    }
    if (got) {
        *value = byte;
    }
    return got ? 1 : 0;
}

bool CQ2SerialDriver::DCD() {
    return base_ != 0 && (Reg(kMsr) & kMsrDcd) != 0;
}
bool CQ2SerialDriver::RI() {
    return base_ != 0 && (Reg(kMsr) & kMsrRi) != 0;
}
bool CQ2SerialDriver::DSR() {
    return base_ != 0 && (Reg(kMsr) & kMsrDsr) != 0;
}
bool CQ2SerialDriver::CTS() {
    return base_ != 0 && (Reg(kMsr) & kMsrCts) != 0;
}

void CQ2SerialDriver::SetDTR(bool on) {
    if (base_ != 0) {
        const uint8_t mcr = Reg(kMcr);
        SetReg(kMcr, on ? uint8_t(mcr | kMcrDtr) : uint8_t(mcr & ~kMcrDtr));
    }
}

void CQ2SerialDriver::SetRTS(bool on) {
    if (base_ != 0) {
        const uint8_t mcr = Reg(kMcr);
        SetReg(kMcr, on ? uint8_t(mcr | kMcrRts) : uint8_t(mcr & ~kMcrRts));
    }
}

void CQ2SerialDriver::Isr() {
    for (unsigned round = 0; round < kIsrRounds; ++round) {
        const uint8_t iir = Reg(kIir);
        if (iir & 0x01) {
            return;
        }
        switch (iir & 0x0F) {
            case 0x0: {
                const uint8_t msr = Reg(kMsr);
                if ((msr & kMsrDcd) && lineCallback_ != nullptr) {
                    lineCallback_(lineArgument_, (msr & kMsrDcd) ? 1 : 2);
                }
                if ((msr & kMsrCts) && !txHeld_ &&
                    (flowMode_ == 2 || flowMode_ == 4 || flowMode_ == 5) && !txRing_->Empty()) {
                    TxInterrupt();
                }
                if ((msr & kMsrDcdChanged) && lineCallback_ != nullptr) {
                    lineCallback_(lineArgument_, (msr & kMsrDcd) ? 1 : 2);
                }
                break;
            }
            case 0x2:
                TxInterrupt();
                break;
            case 0x4:
            case 0xC:
                while (Reg(kLsr) & kLsrDataReady) {
                    RxChar(Reg(kData));
                }
                break;
            default:
                Reg(kLsr);  // a line-status interrupt clears on reading the status
                break;
        }
    }
}

void CQ2SerialDriver::RxChar(uint8_t byte) {
    if (flowMode_ == 2 && !DCD()) {
        return;
    }
    if (!rxRing_->Put(byte)) {
        ++rxDropped_;
        DebugPrintLevel1("error serial queue full\n");
    }
    if (rxCallback_ != nullptr) {
        rxCallback_(rxArgs_[0], rxArgs_[1]);
    }
    if (flowMode_ == 4 && rxRing_->AtHighWater()) {
        SetRTS(false);
    }
}

void CQ2SerialDriver::RingEmpty() {
    EnableInterrupts(kIerThre, false);
    switch (flowMode_) {
        case 0:
            SetRTS(false);
            break;
        case 1:
        case 3:
            SetRTS(true);
            break;
        case 2:
        case 5:
            if (s_rtsRaised) {
                // RTS drops once the last character has left the line.
                s_rtsRaised = false;
                s_firstDelayDone = false;
                rtsDropPending_ = true;
                tx_timer_deactivate(&rtsTimer_);
                tx_timer_change(&rtsTimer_, 1, 0);
                tx_timer_activate(&rtsTimer_);
            } else if (!rtsDropPending_) {
                SetRTS(false);
            }
            break;
        default:
            break;
    }
}

// The per-mode step before one character; *stop ends this interrupt's writing.
void CQ2SerialDriver::StepBeforeChar(bool* stop) {
    switch (flowMode_) {
        case 0:
        case 3:
            SetRTS(false);
            break;
        case 1:
            SetRTS(true);
            break;
        case 5:
            if (!s_firstDelayDone) {
                // Writing resumes when the delay re-enables the transmit interrupt.
                s_firstDelayDone = true;
                txHeld_ = true;
                EnableInterrupts(kIerThre, false);
                tx_timer_deactivate(&firstDelayTimer_);
                tx_timer_change(&firstDelayTimer_, kFirstRtsDelay, 0);
                tx_timer_activate(&firstDelayTimer_);
                *stop = true;
                return;
            }
            [[fallthrough]];
        case 2:
            rtsDropPending_ = false;
            SetRTS(true);
            s_rtsRaised = true;
            *stop = !CTS();
            break;
        case 4:
            *stop = !CTS();
            break;
        default:
            break;
    }
}

void CQ2SerialDriver::TxInterrupt() {
    SetDTR(dtrMode_ == 1);
    if (txRing_->Empty()) {
        RingEmpty();
        return;
    }
    bool took = false;
    for (unsigned n = 0; n < kCharsPerInterrupt && !txRing_->Empty(); ++n) {
        bool stop = false;
        StepBeforeChar(&stop);
        if (stop) {
            break;
        }
        uint8_t byte = 0;
        txRing_->Get(&byte);
        SetReg(kData, byte);
        took = true;
        if (txCallback_ != nullptr) {
            txCallback_(txArgs_[0], txArgs_[1]);
        }
    }
    if (took && kernelObjects_) {
        tx_event_flags_set(&txRoom_, kTxRoomBit, TX_OR);
    }
}

void CQ2SerialDriver::RtsDropExpiry(ULONG_PTR argument) {
    auto* self = reinterpret_cast<CQ2SerialDriver*>(argument);
    if (!self->rtsDropPending_) {
        return;
    }
    if (self->Reg(kLsr) & kLsrTemt) {
        self->rtsDropPending_ = false;
        self->SetRTS(false);
        return;
    }
    tx_timer_change(&self->rtsTimer_, 1, 0);
    tx_timer_activate(&self->rtsTimer_);
}

void CQ2SerialDriver::FirstDelayExpiry(ULONG_PTR argument) {
    auto* self = reinterpret_cast<CQ2SerialDriver*>(argument);
    self->txHeld_ = false;
    self->EnableInterrupts(kIerThre, true);
}
