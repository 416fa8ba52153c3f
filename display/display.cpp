#include "display/display.h"

#include "database/global_database.h"
#include "database/object_ids.h"
#include "display/core.h"
#include "display/diag_5520.h"
#include "display/diag_index_registrar.h"
#include "display/memory_clear.h"
#include "display/module_type.h"
#include "display/render_adapter.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/os_wrappers.h"
#include "runtime/task_table.h"

CDisplay* g_Display = nullptr;

CDisplay::CDisplay(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents)
    : CStandardTask(office, kDisplayTaskDefinition),
      databaseEvents_(databaseEvents),
      signMessage_(&g_Render.Surface()),
      trialMessage_(&trialRender_.Surface()),
      validationMessage_(&validationRender_.Surface()),
      modeCopy_(g_DataBase.Get(dbo::dmsIllumControl)) {
    g_Display = this;
    disp::g_RenderAdapter.SetSequencer(this);
}

CDisplay::~CDisplay() {
    for (disp::face& f : faces_) {
        disp::g_DisplayCore.RemoveFace(&f);
        f.Close();
    }
    disp::g_DisplayCore.RemoveBus(&displayBus_);
    disp::g_RenderAdapter.SetSequencer(nullptr);
    if (mutexCreated_) {
        os_mutex_delete(&activateMutex_);
    }
    if (tableMutexCreated_) {
        os_mutex_delete(&tableMutex_);
    }
    if (g_Display == this) {
        g_Display = nullptr;
    }
}

int CDisplay::Run() {
    if (TakeEvent(kEventConfiguration)) {
        DebugPrint("load new display configuration\n");
        LoadDisplayConfiguration();
        ConfigurationReloaded();
        tx_thread_sleep(10);
    }
    CheckTiming();
    const bool reloadTable = tableReloadRequested_ != 0;
    tableReloadRequested_ = 0;
    if (reloadTable) {
        brightness_.Forget();
    }
    if (brightness_.Count() == 0) {
        brightness_.Restart();
        CheckBrightnessTable();
    }
    if (reloadTable) {
        UpdateBrightness(false);
    }
    const bool testWait = frameState_ == kPixelTestWait;
    const bool starting = pixelTestCountdown_ != 0;
    if (!testWait) {
        ApplyPowerLimitCap();
    }
    RunPixelTestStart();
    if (!testWait) {
        if (!starting) {
            SendFrame();
        }
        if (pixelTestRunning_ == 0) {
            CheckPixelFailureThreshold();
        }
    }
    DispatchDatabaseEvents();
    // Counts the cycle, drains the letters (OnLetter), then Work: the faces.
    return CStandardTask::Run();
}

// The upper 100 message entries stay changeable for at most editCountdown_ cycles, and only
// while the sign is under local or central-override control.
void CDisplay::OnStoreSplitChanged() {
    const uint32_t mode = g_DataBase.Get(dbo::dmsControlMode);
    if (g_DataBase.Get(dbo::messageStoreSplit) == 2) {
        editCountdown_ = kEditCycles;
        if (mode == 2 || mode == 5) {
            g_DataBase.Set(dbo::dmsMaxChangeableMsg, 600, kDbNotify);
        }
    } else {
        editCountdown_ = 0;
        g_DataBase.Set(dbo::dmsMaxChangeableMsg, 500, kDbNotify);
    }
}

void CDisplay::RunEditCountdown() {
    const uint32_t mode = g_DataBase.Get(dbo::dmsControlMode);
    if (g_DataBase.Get(dbo::messageStoreSplit) == 2 &&
        g_DataBase.Get(dbo::dmsMaxChangeableMsg) == 600 && mode != 2 && mode != 5) {
        editCountdown_ = 1;
    }
    if (editCountdown_ != 0 && --editCountdown_ == 0) {
        g_DataBase.Set(dbo::messageStoreSplit, 1, 0);
        g_DataBase.Set(dbo::dmsMaxChangeableMsg, 500, kDbNotify);
    }
}

void CDisplay::Work() {
    RunEditCountdown();
    if (faceCount_ > 2) {
        faceCount_ = 2;
    }
    UpdateFaces();
    MeasurePowerLimit();
}

void CDisplay::CheckTiming() {
    const ULONG now = tx_time_get();
    if (timingStarted_ && timeOfLastCycle + period != now) {
        DebugPrint("warning %s ticks:%d, desired %d\n", name, int(now - timeOfLastCycle),
                   int(period));
        ++rescheduleCount;
        if (hasTimer) {
            os_timer_deactivate(&timer);
            ULONG previous = 0;
            os_timer_change(&timer, period, period, &previous);
            os_timer_activate(&timer);
        }
    }
    timingStarted_ = true;
    timeOfLastCycle = uint32_t(now);
}

void CDisplay::SendFrame() {
    if (currentDriver_ == nullptr || !g_Render.Surface().IsAllocated()) {
        return;
    }
    CSurface& surface = g_Render.Surface();
    const bool dark = frameState_ == kBlankState || frameState_ == kPageOff;
    // A test pattern is sent also before any message was activated: the test is meant to be
    // seen.
    const bool send = (dark && surface.Pixels()[0] == 0) || (!hasCurrentText_ && dark) ||
                      frameState_ == kTestPattern ||
                      (hasCurrentText_ && (frameState_ == kPageOn || frameState_ == kPageOff ||
                                           frameState_ == kPixelTestWait));
    if (send) {
        currentDriver_->WriteFrame(&surface, 0, 0);
        ++framesSent_;
    }
}

bool CDisplay::TakeEvent(ULONG bit) {
    ULONG actual = 0;
    return databaseEvents_ != nullptr &&
           os_event_flags_get(databaseEvents_, bit, OS_EVENT_AND_CLEAR, &actual, TX_NO_WAIT) ==
               OS_SUCCESS;
}

void CDisplay::DispatchDatabaseEvents() {
    if (TakeEvent(kEventMessageTable)) {
        ProcessMessageTable();
    }
    if (TakeEvent(kEventGraphicTable)) {
        ProcessGraphicTable();
    }
    if (TakeEvent(kEventClearMemory)) {
        display_clear_memory();
    }
    if (TakeEvent(kEventActivate)) {
        OnActivateRequest();
    }
    if (TakeEvent(kEventTestMode)) {
        OnDisplayTestMode();
    }
    if (TakeEvent(kEventBrightness)) {
        UpdateBrightness(false);
    }
    if (TakeEvent(kEventPixelTest)) {
        OnPixelTestActivation();
    }
    if (TakeEvent(kEventStationAddress)) {
        OnStationAddressChange();
    }
    if (TakeEvent(kEventSpecialFeature)) {
        OnSpecialFeatureChange();
    }
}

void CDisplay::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterOutputDisable:
            if (currentDriver_ != nullptr) {
                currentDriver_->enabled = 0;
            }
            break;
        case kLetterOutputEnable:
            if (currentDriver_ != nullptr) {
                currentDriver_->enabled = 1;
            }
            break;
        case kLetterMessageStoreSplit:
            OnStoreSplitChanged();
            break;
        case kLetterObjectsRestored: {
            uint32_t valid = 0;
            for (uint32_t k = 500; k < 600; ++k) {
                valid += g_DataBase.Get(dbo::dmsMessageStatus, k) == 4;
            }
            g_DataBase.Set(dbo::dmsNumPermanentMsg, 2 + valid, kDbNotify);
            break;
        }
        case kLetterPixelDiagnosticsEnable:
            if (g_DataBase.Get(dbo::brenEnableRealTimePixelDiagnostics) == 0) {
                g_DataBase.SetText(dbo::moduleErrorBitmap, "", 0, kDbNotify);
            }
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].ClearTestErrorFrame();
            }
            ClearTestFailureRows();
            break;
        case kLetterClearPixelTestRows:
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].ClearTestErrorFrame();
            }
            ClearTestFailureRows();
            break;
        case kLetterClearMessageFailureRows:
            for (uint32_t i = 0; i < faceCount_; ++i) {
                faces_[i].ClearMessageErrorFrame();
            }
            ClearMessageFailureRows();
            break;
        case kLetterModuleWork:
            WalkModules(letter.param1 & 0xFF);
            break;
        case kLetterPixelPowerLimitMode:
            if (g_DataBase.Get(dbo::pixelPowerLimitMode) == 2) {
                powerLimitFlags |= 0x80000000u;
            }
            break;
        case kLetterBrightnessTableChanged:
            brightness_.Restart();
            CheckBrightnessTable();
            UpdateBrightness(false);
            break;
        case kLetterSpecialFeatureSetChanged:
            LoadDefaultBrightnessTable();
            break;
        case kLetterActivationRequest:
            if (mutexCreated_ && os_mutex_get(&activateMutex_, TX_WAIT_FOREVER) == OS_SUCCESS) {
                ProcessActivationRequests();
                os_mutex_put(&activateMutex_);
            }
            break;
        default:
            break;
    }
}

void CDisplay::UpdateFaces() {
    // The sequence draws the sign message, which an activation on another thread replaces
    // under "Activate Msg": the two never interleave.
    const bool locked =
        mutexCreated_ && os_mutex_get(&activateMutex_, TX_WAIT_FOREVER) == OS_SUCCESS;
    UpdateFacesWithDiagnostics();
    if (locked) {
        os_mutex_put(&activateMutex_);
    }
}

bool display_activate_requested_message() {
    if (g_Display == nullptr) {
        return true;
    }
    g_Display->OnActivateRequest();
    return g_DataBase.Get(dbo::dmsActivateMsgError) != CDisplay::kErrorNone;
}
