#pragma once
// CDisplay: the display task. It owns the sign: once per display cycle it checks its own
// timing, sends the sign surface to the sign driver, serves the database events and letters
// addressed to it and advances the faces, whose primary frame engine steps the page, flash and
// duration sequence of the current message. It is also the one gate of message activation: the
// seven request slots, the message store checks, the trial render and the current buffer.
//
//   CDisplay display(g_PostOffice, &databaseEvents);
//   display.Start(); display.Create(&stacks);            // task
//   display.BuildDisplayConfiguration(h, w, bitsPerPixel);  // faces, EPLD, "Activate Msg"

#include <cstdint>

#include "display/brightness_table.h"
#include "display/bus.h"
#include "display/diagnostics.h"
#include "display/display_driver.h"
#include "display/display_sequencer.h"
#include "display/face.h"
#include "display/face_config.h"
#include "display/message_store.h"
#include "display/pixel_failure_set.h"
#include "display/q2_display_driver.h"
#include "render/message.h"
#include "render/msg_activation_code.h"
#include "render/multi_parser.h"
#include "render/render.h"
#include "runtime/standard_task.h"

// The working record of one activation.
struct CMessageActivation {
    static constexpr uint32_t kOwnerSize = 256;

    virtual ~CMessageActivation() = default;

    CMsgActivationCode code;
    bool hasText = false;  // the text and owner were found
    char text[CMessage::kTextSize] = {};
    uint32_t textLength = 0;
    char owner[kOwnerSize] = {};
    uint32_t ownerLength = 0;
    uint16_t storedCrc = 0;
    uint32_t beacon = 0;
    uint32_t pixelService = 0;
    uint32_t runTimePriority = 1;
    uint32_t status = 1;
    uint32_t multiSyntaxError = 2;
    uint32_t multiErrorPosition = 0;
};

class CDisplay : public CStandardTask, public disp::display_sequencer {
public:
    enum FrameSequenceState : uint32_t {
        kTestPattern = 1,
        kPixelTestWait = 2,
        kBlankState = 3,
        kNewMessage = 4,
        kPageOn = 5,
        kPageOff = 6,
    };
    // Activation error codes (dmsActivateMsgError).
    enum ActivationError : uint32_t {
        kErrorOther = 1,
        kErrorNone = 2,
        kErrorPriority = 3,
        kErrorStatus = 4,
        kErrorMemoryType = 5,
        kErrorNumber = 6,
        kErrorCrc = 7,
        kErrorSyntax = 8,
    };
    static constexpr uint32_t kSlots = 7;
    static constexpr uint32_t kEndDurationSlot = 6;
    static constexpr ULONG kEventActivate = 0x4000;
    static constexpr ULONG kEventClearMemory = 0x200;   // dmsMemoryMgmt written
    static constexpr ULONG kEventMessageTable = 0x800;  // a message status written
    static constexpr ULONG kEventGraphicTable = 0x400;  // a graphic status written
    static constexpr ULONG kEventTestMode = 0x800000;   // displayTestMode written
    static constexpr ULONG kEventPixelTest = 0x200000;  // pixelTestActivation written
    // Rows of each detection type in the pixel failure table.
    static constexpr uint32_t kFailureRows = 500;
    static constexpr uint32_t kTestDetection = 2;
    static constexpr uint32_t kMessageDetection = 3;
    // Origins of the blanks for pixel errors.
    static constexpr uint32_t kOriginPixelFailures = 3;
    static constexpr uint32_t kOriginLegibility = 4;

    // databaseEvents: the "database" event flags group (may be null: no database events).
    CDisplay(PostOffice& office, TX_EVENT_FLAGS_GROUP* databaseEvents);
    ~CDisplay() override;

    // Controller error bits of a failed sign configuration.
    static constexpr uint32_t kControllerDisplayError = 0x10;  // controllerErrorStatus
    static constexpr uint32_t kShortControllerError = 0x100;   // shortErrorStatus
    static constexpr ULONG kEventConfiguration = 0x40000000;
    static constexpr ULONG kEventBrightness = 0x20000;
    static constexpr ULONG kEventSpecialFeature = 0x100000;
    static constexpr ULONG kEventStationAddress = 0x20000000;

    // The driver of the sign hardware: the embedded sign driver unless another is given (not
    // owned); the configuration build programs it.
    void SetSignDriver(display_driver* driver) { signDriver_ = driver; }
    display_driver* SignDriver() const { return signDriver_; }
    display_driver* CurrentDriver() const { return currentDriver_; }

    // Display configuration. Builds face 0 "primary" from the geometry and the stored module
    // type and line lengths, programs the sign driver and sizes the surfaces; returns the
    // display rate in force. A geometry the sign cannot hold (a frame beyond the DMA buffer,
    // more than 9 module lines or 576 modules) is refused with the controller error bits and
    // the previous face is kept.
    uint8_t BuildDisplayConfiguration(uint16_t height, uint16_t width, uint8_t bitsPerPixel);
    void LoadDisplayConfiguration();
    void ConfigurationReloaded() {}
    void ClearUnusedLineLengths();
    static bool RoundFaceGeometry(disp::face_config& c);
    static void FillLineLengths(disp::face_config& c);
    static void SumModules(disp::face_config& c);
    static uint8_t GetColourScheme(uint32_t moduleTypeId);
    static void ComputeSignDimensions();
    void OnSpecialFeatureChange();
    void ApplyCompatibilityMode();
    void OnStationAddressChange();
    // The PMPP address of every interface (the communication subsystem's; null: none).
    void (*setPmppAddressAll)(uint32_t address) = nullptr;

    // Sign description.
    void DescribeSign();
    void SetDisplayRate(uint32_t rate);
    static void SetSignGeometry(uint32_t moduleTypeId, uint32_t pixelHeight, uint32_t pixelWidth,
                                uint32_t cellHeight, uint32_t cellWidth);
    void SetDisplayOptions(uint8_t options);
    static uint32_t QueryFace(uint32_t) { return 0; }
    static void FormatSignModel();
    uint8_t DisplayOptions() const { return displayOptions_; }

    // Brightness.
    void UpdateBrightness(bool forced);
    void CheckBrightnessTable();
    void LoadDefaultBrightnessTable();
    // The stored table was replaced without notice (factory defaults, on whichever thread ran
    // them): the display task checks it again and recomputes the level in its next cycle.
    void RequestBrightnessTableReload() { tableReloadRequested_ = 1; }
    uint8_t ComputePixelPowerLimit(uint32_t face);
    // Another task asks for a forced brightness update (after an overheat change); the display
    // task serves it in its next cycle, so that only it writes the brightness state.
    void RequestBrightnessUpdate() { brightnessRequested_ = 1; }
    // The peripheral task's overheat percentage (null: 100).
    uint8_t (*overheatPercent)() = nullptr;
    // Peripheral 29's flag of the lit-pixel limit (null: clear).
    bool (*litPixelPeripheralFlag)() = nullptr;
    const CBrightnessTable& BrightnessTable() const { return brightness_; }
    uint32_t BrightnessCap() const { return brightnessCap_; }
    uint32_t MeasuredCap() const { return measuredCap_; }

    const disp::face_config& FaceConfig(uint32_t i) const { return faceConfigs_[i]; }
    uint32_t FaceCount() const { return faceCount_; }
    uint32_t FrameBytes() const { return frameBytes_; }

    // One display cycle.
    int Run() override;

    // Sequencing (run through the primary face's frame engine).
    void StepFrameSequence() override;
    void CountDownMessageTime() override;
    void ActivateEndDurationMessage();

    // Activation.
    void OnActivateRequest();
    void ProcessActivationRequests();
    uint32_t ActivateMessage(const uint8_t* code, uint32_t length, uint32_t requester, bool report,
                             uint32_t sourceMode, uint32_t origin);
    uint32_t LookUpActivatedMessage(const uint8_t* code, uint32_t length,
                                    CMessageActivation& record);
    uint32_t ValidateActivatedMessage(CMessageActivation& record);
    bool CheckSpeedLimit(const CMessageActivation& record);
    void LoadActivatedMessage(const CMessageActivation& record, uint32_t requester);
    void SetActivationError(uint32_t code);
    void StoreCurrentDefaults();
    bool FindPendingRequest(uint32_t* slot);
    void SetRequestExpiry(uint32_t slot);
    bool RefreshRequestDuration(uint32_t slot);
    bool NeedsActivation(uint32_t served, uint32_t pending);

    // Message table processing: the status requests of the message and graphic tables.
    void ProcessMessageTable();
    void ProcessGraphicTable();

    // MULTI validation into the NTCIP error objects (activationMode 0: the message table's
    // validation), on the display's own validation parser, renderer and message.
    bool ValidateMultiText(const char* text, uint32_t length, uint32_t activationMode);
    // Front-panel preview, on the preview's own parser and renderer: the page count of a text,
    // and page n of it drawn into the panel's surface (allocated like the sign's) and message.
    uint8_t CountMessagePages(const char* text, uint32_t length);
    bool RenderPreviewPage(CSurface* surface, display_driver* driver, const char* text,
                           uint32_t length, uint32_t page, CMessage* message);

    // Display tests: displayTestMode written; one step of a pattern into the sign surface.
    void OnDisplayTestMode();
    void DrawTestPattern(uint8_t pattern);
    uint32_t TestColour(uint32_t index) const;
    void FillOddRows(uint32_t colour);
    void FillEvenRows(uint32_t colour);
    void FillOddColumns(uint32_t colour);
    void FillEvenColumns(uint32_t colour);
    void FillCheckerEven(uint32_t colour);
    void FillCheckerOdd(uint32_t colour);
    void DrawRowBars(uint32_t colour, uint32_t start);
    void DrawColumnBars(uint32_t colour, uint32_t start);
    void DrawGlyphCells(uint32_t colour);
    void DrawLetterRows(uint32_t colour);
    void DrawDigitRows(uint32_t colour);
    // Red, blue, green: the colour of test pattern 32, set by the front panel.
    uint8_t testColour[3] = {};
    // Pixel test and failure tables.
    void OnPixelTestActivation();
    void StartFaceDiagnostics();
    // Registers the face's result slots (current display, six pages, pixel-test errors).
    void RegisterPixelTestResults(uint32_t faceIndex);
    void WritePixelFailureRow(uint32_t detection, uint32_t row, uint32_t capability,
                              const disp::pixel& p);
    void ClearTestFailureRows();
    void ClearMessageFailureRows();
    void StorePixelErrorPages();
    uint32_t TotalPixels() const;
    void CheckPixelFailureThreshold();
    bool PixelFailuresOverThreshold() const;
    void CheckLegibilityThreshold();
    void SendPixelErrorTrap();
    // A blank-message request in activation slot 6.
    void RequestBlank(uint32_t sourceMode, uint32_t origin);
    // The module walk of one face (letter 124): every module's position, the hardware
    // watchdog off meanwhile.
    void WalkModules(uint32_t faceIndex);
    // What the module walk uses to switch the hardware watchdog off and on (null: nothing).
    void SetWatchdogControl(void (*disable)(), void (*enable)()) {
        watchdogDisable_ = disable;
        watchdogEnable_ = enable;
    }
    bool PixelTestRunning() const { return pixelTestRunning_ != 0; }
    uint8_t PixelTestCountdown() const { return pixelTestCountdown_; }
    // Full scans of the error frames so far (one per new failure set).
    uint32_t FailureScans() const { return failureSet_.Scans(); }

    uint32_t FrameState() const { return frameState_; }
    uint32_t PageIndex() const { return pageIndex_; }
    uint8_t PageCount() const { return pageCount_; }
    int32_t PageOnCounter() const { return pageOnCounter_; }
    int32_t PageOffCounter() const { return pageOffCounter_; }
    bool HasCurrentText() const { return hasCurrentText_; }
    uint32_t FramesSent() const { return framesSent_; }
    uint32_t EditCountdown() const { return editCountdown_; }
    uint8_t beaconFlag = 0;
    uint32_t powerLimitFlags = 0;
    uint32_t timeOfLastCycle = 0;

protected:
    void OnLetter(letter_s& letter) override;
    void Work() override;

private:
    struct PageAttributes {
        uint8_t flashMode = 0;
        uint8_t pageJustification[CMessage::kRectangles] = {};
        uint8_t lineJustification[CMessage::kRectangles] = {};
        uint8_t currentFont = 0;
        uint32_t foregroundColour = 0;
        uint32_t characterBackgroundColour = 0;
        int32_t characterSpacing = -1;
        uint32_t pageBackgroundColour = 0;
    };

    void OnStoreSplitChanged();
    void RunEditCountdown();
    void CheckTiming();
    void SendFrame();
    void DispatchDatabaseEvents();
    void UpdateFaces();
    void ApplyPowerLimitCap();
    void MeasurePowerLimit();
    void ApplyTableBrightness(uint32_t brightness);
    void ApplyManualLevel(uint32_t level);
    uint32_t OverheatPercent() const;
    uint32_t LimitLevel(uint32_t level, uint32_t* status) const;
    void SetLimitStatus(uint32_t status);
    void SendBrightness(uint32_t level);
    bool FitsSign(const disp::face_config& c, uint32_t epldHeight, uint32_t epldWidth) const;
    void SetDisplayError(bool failed);
    bool TakeEvent(ULONG bit);
    void RunPixelTestStart();
    bool PixelTestComplete();
    // Steps 10 to 14 of the cycle: failures, results, registry frames, legibility, face update.
    void UpdateFacesWithDiagnostics();
    void StorePixelTestResults(uint32_t rows);
    // A blank for pixel errors, once per threshold crossing: latched until the failures are
    // under the threshold again or slot 6 holds another request.
    bool BlankForPixelErrors(uint32_t origin, bool& latched);

    void SavePageAttributes(const CMessage& message);
    void RestorePageAttributes(CMessage& message);
    void StartPageCounts();
    void ReleaseGraphicsInUse();
    void StepBlank();
    void StepNewMessage();
    void StepPageOn();
    void StepPageOff();
    void RequestEndDuration();
    void ServeSlot(uint32_t slot);
    uint32_t TrialRender(CMessageActivation& record);

    TX_EVENT_FLAGS_GROUP* databaseEvents_;
    CQ2DisplayDriver q2Driver_;
    display_driver* signDriver_ = &q2Driver_;
    display_driver* currentDriver_ = nullptr;
    disp::null_bus displayBus_;
    disp::face faces_[2];
    disp::face_config faceConfigs_[2];
    disp::diagnostics faceDiagnostics_[2];
    uint32_t faceCount_ = 0;

    // The sign's message and its parser; g_Render draws it into the sign surface.
    CMULTIParser parser_;
    CMessage signMessage_;
    // MULTI defaults loaded at the last successful activation.
    message_defaults defaults_;
    // Trial renders: their own parser, renderer (surface) and message, under "Activate Msg".
    CMULTIParser trialParser_;
    CRender trialRender_;
    CMessage trialMessage_;

    TX_MUTEX activateMutex_{};
    bool mutexCreated_ = false;

    // Message table passes: one at a time ("Message Table"), validating on their own objects.
    uint32_t StepMessageStatus(const message_store::Location& where);
    uint32_t ValidateStoredMessage(const message_store::Location& where);
    void SetValidationError(uint32_t result, uint32_t position);
    TX_MUTEX tableMutex_{};
    bool tableMutexCreated_ = false;
    CMULTIParser validationParser_;
    CRender validationRender_;
    CMessage validationMessage_;
    char validationText_[CMessage::kTextSize] = {};
    // Preview: the panel's thread only.
    CMULTIParser previewParser_;
    CRender previewRender_;

    // Display tests.
    struct TestPatternState {
        uint8_t previous = 0;
        uint32_t calls = 0;
        uint32_t step = 0;
        uint32_t colour = 0;
        uint32_t callsPerStep = 0;
        uint32_t stepLimit = 0;
        uint8_t subState = 0;
        uint8_t oneShot = 0;
        uint8_t savedControl = 0;  // 0: nothing saved
        uint8_t savedLevel = 0;
        uint8_t beaconTest = 0;
    };
    void SetTestTiming(uint8_t pattern);
    void AdvanceTestStep(uint8_t pattern);
    void StartTestPattern(uint8_t pattern);
    void SaveIllumination(uint32_t level, uint32_t sent);
    void RestoreIllumination();
    void DrawPatternTen(uint32_t colour, uint32_t levels);
    void SendTestBrightness(uint32_t level);
    void UpdateTestBrightness();
    void DrawCharacterRows(uint32_t colour, bool digits);
    TestPatternState test_;

    char currentText_[CMessage::kTextSize] = {};
    uint32_t currentTextLength_ = 0;
    bool hasCurrentText_ = false;

    uint32_t frameState_ = kBlankState;
    uint8_t pageCount_ = 0;
    int32_t pageOnCounter_ = 0;
    int32_t pageOffCounter_ = 0;
    uint16_t pageIndex_ = 0;
    uint16_t savedPageIndex_ = 0;
    PageAttributes pageStart_;
    uint32_t durationMark_ = 0;
    uint32_t durationMinutes_ = 65535;
    // The end-duration message asked for at the end of the running duration: asked once,
    // again only when the duration or dmsEndDurationMessage changes.
    bool endDurationAsked_ = false;
    uint8_t askedEndDuration_[5] = {};

    static constexpr uint32_t kEditCycles = 9000;
    uint32_t editCountdown_ = 0;

    // Pixel test.
    uint8_t pixelTestRunning_ = 0;
    uint8_t pixelTestCountdown_ = 0;
    uint32_t resultSlot_[2] = {};
    disp::pixel_failure_set failureSet_;
    bool failureBlankLatched_ = false;
    bool legibilityBlankLatched_ = false;
    void (*watchdogDisable_)() = nullptr;
    void (*watchdogEnable_)() = nullptr;

    uint8_t servedSlot_ = 0;
    uint8_t firstPass_ = 1;
    uint32_t framesSent_ = 0;
    bool timingStarted_ = false;

    uint32_t frameBytes_ = 0;
    uint8_t colourCapability_ = 0;
    uint8_t displayOptions_ = 0;
    // ApplyCompatibilityMode's bit at its previous call.
    uint32_t compatibilityBit_ = 0;

    // Brightness state: written only on the display thread.
    CBrightnessTable brightness_;
    uint32_t modeCopy_ = 0;
    uint32_t brightnessCap_ = 255;
    uint32_t measuredCap_ = 1;
    uint8_t capHold_ = 0;
    uint32_t tableDefaultBit_ = 0;
    uint8_t brightnessRequested_ = 0;
    uint8_t tableReloadRequested_ = 0;
};

// The display task of this boot (null when there is none).
extern CDisplay* g_Display;

// Serves a dmsActivateMessage set (stored in volatile 128): true when it was refused.
bool display_activate_requested_message();

// The message and graphic table passes on the display object (the agent, after a set of a
// status column; the web form handler).
void display_process_message_table();
void display_process_graphic_table();
// Called by the configuration file reader after it restores brenModuleID: nothing to do.
void display_module_id_restored();
