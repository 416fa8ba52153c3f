#pragma once
// The monitor task: the maintenance console and the debug output of the whole system. Each telnet
// connection logs in on its own with the administrator community name; typed lines go through a
// line editor to the boot monitor's command interpreter; debug text goes to every logged-in
// connection while the telnet service bit of brenFeatureSet is on.

#include <cstdint>
#include <string>

#include "comm/telnet_server.h"
#include "platform/kernel/tx_api.h"
#include "runtime/standard_task.h"
#include "system/prompt.h"

class CDataBase;

class CMonitorTask : public CStandardTask {
public:
    static constexpr uint32_t kPasswordSize = 25;  // characters a password holds
    static constexpr uint32_t kSessions = 4;       // telnet connections served at once
    static constexpr uint32_t kTelnetFeature = 0x08;
    static constexpr uint32_t kTelnetTextSize = 500;
    enum ConsoleState : uint8_t { kConsoleBuilt = 0, kConsoleIdle = 1, kConsoleLoggedIn = 2 };
    enum LoginState : uint32_t { kLoginNone = 0, kLoginPassword = 1, kLoginDone = 2 };

    // stackPool: the pool the telnet server's thread stack comes from.
    CMonitorTask(PostOffice& office, CDataBase& database, TX_BYTE_POOL* stackPool,
                 NX_IP* ip = nullptr, NX_PACKET_POOL* packetPool = nullptr);
    ~CMonitorTask() override;

    // The one monitor task (null when none is built).
    static CMonitorTask* Instance();

    // False for a level above 1 (nothing changes).
    static bool SetTraceLevel(uint32_t level);
    static uint32_t TraceLevel();
    uint8_t ConsoleStateNow() const { return consoleState_; }

    // Console output of one debug text (see DebugPrint).
    void DebugWrite(unsigned level, const char* text);
    // The telnet server's callback.
    UINT ConsoleSession(UINT event, ULONG_PTR connection, const UCHAR* data, ULONG length,
                        const char** reply, ULONG* replyLength);

    CTelnetServer& TelnetServer() { return telnet_; }
    // Login state of a connection (kLoginNone for one not known).
    uint32_t LoginStateOf(ULONG_PTR connection) const;

protected:
    void Init() override;
    void OnLetter(letter_s& letter) override;

private:
    struct Session {
        bool used = false;
        ULONG_PTR connection = 0;
        uint32_t loginState = kLoginNone;
        char password[kPasswordSize + 1] = {};
        uint8_t passwordLength = 0;
        CPrompt prompt;
        std::string reply;
    };

    static UINT ConsoleCallback(UINT event, ULONG_PTR connection, const UCHAR* data, ULONG length,
                                const char** reply, ULONG* replyLength);
    static void ConsoleWriter(unsigned level, const char* text);
    static int ExecuteLine(const char* line, int flags);

    bool TelnetEnabled() const;
    bool PasswordMatches(const Session& session) const;
    Session* FindSession(ULONG_PTR connection);
    const Session* FindSession(ULONG_PTR connection) const;
    void UpdateConsoleState();
    void StartTelnet();

    CDataBase& database_;
    uint8_t consoleState_ = kConsoleBuilt;
    TX_MUTEX printfMutex_{};
    CTelnetServer telnet_;
    Session sessions_[kSessions];
};
