#include "system/monitor_task.h"

#include <cstring>

#include "database/data_base.h"
#include "platform/monitor/mon.h"
#include "runtime/debug_print.h"
#include "runtime/letter_id.h"
#include "runtime/task_table.h"
#include "runtime/text_util.h"

namespace {
CMonitorTask* g_monitorTask = nullptr;
constexpr char kPasswordRequest[] = "\r\nPassword: ";
constexpr char kLoginSuccess[] = "\r\nSUCCESS\r\nVMS>";
constexpr char kLoginFailure[] = "\r\nFAILURE\r\nPassword: ";
}  // namespace

CMonitorTask::CMonitorTask(PostOffice& office, CDataBase& database, TX_BYTE_POOL* stackPool,
                           NX_IP* ip, NX_PACKET_POOL* packetPool)
    : CStandardTask(office, kMonitorTaskDefinition),
      database_(database),
      telnet_(ip, packetPool, stackPool) {
    for (Session& session : sessions_) {
        session.prompt.SetOutput(&DebugPutChar);
        session.prompt.SetExecute(&CMonitorTask::ExecuteLine);
    }
    g_monitorTask = this;
}

CMonitorTask::~CMonitorTask() {
    if (g_monitorTask == this) {
        DebugSetConsoleWriter(nullptr);
        CTelnetServer::SetHandler(nullptr);
        if (consoleState_ != kConsoleBuilt) {
            tx_mutex_delete(&printfMutex_);
        }
        g_monitorTask = nullptr;
    }
}

CMonitorTask* CMonitorTask::Instance() {
    return g_monitorTask;
}

bool CMonitorTask::SetTraceLevel(uint32_t level) {
    if (level > 1) {
        return false;
    }
    DebugSetTraceLevel(level);
    return true;
}

uint32_t CMonitorTask::TraceLevel() {
    return DebugGetTraceLevel();
}

void CMonitorTask::Init() {
    tx_mutex_create(&printfMutex_, const_cast<char*>("printf"), TX_NO_INHERIT);
    sessions_[0].prompt.PrintPrompt();
    consoleState_ = kConsoleIdle;
    DebugSetConsoleWriter(&CMonitorTask::ConsoleWriter);
    mon_com(MON_COM_PUTCHAR_HOOK, reinterpret_cast<void*>(&DebugPutChar), nullptr, nullptr);
}

void CMonitorTask::OnLetter(letter_s& letter) {
    switch (letter.id) {
        case kLetterSystemRestart:
            DebugPrint("System Restart Requested\n");
            break;
        case kLetterPowerLoss:
            DebugPrint("System Power Loss Detected\n");
            break;
        case kLetterShutdown:
            DebugPrint("System Shutdown Requested\n");
            break;
        case kLetterDefragRestart:
            DebugPrint("System Defragmentation Restart Requested\n");
            break;
        case kLetterCommNetworkStarted:
            StartTelnet();
            break;
        default:
            break;
    }
}

bool CMonitorTask::TelnetEnabled() const {
    return (database_.Get(dbo::brenFeatureSet) & kTelnetFeature) != 0;
}

void CMonitorTask::StartTelnet() {
    if (!TelnetEnabled()) {
        return;
    }
    if (telnet_.Create()) {
        CTelnetServer::SetHandler(&CMonitorTask::ConsoleCallback);
        telnet_.Start();
    }
}

void CMonitorTask::ConsoleWriter(unsigned level, const char* text) {
    if (g_monitorTask != nullptr) {
        g_monitorTask->DebugWrite(level, text);
    }
}

int CMonitorTask::ExecuteLine(const char* line, int flags) {
    return mon_docommand(line, flags);
}

void CMonitorTask::DebugWrite(unsigned level, const char* text) {
    if (level > TraceLevel() || text == nullptr) {
        return;
    }
    bool taken = false;
    if (consoleState_ != kConsoleBuilt) {
        const UINT status = tx_mutex_get(&printfMutex_, TX_NO_WAIT);
        if (status == TX_SUCCESS) {
            taken = true;
        } else if (status != TX_CALLER_ERROR) {
            return;
        }
    }
    if (consoleState_ == kConsoleLoggedIn && TelnetEnabled()) {
        char out[kTelnetTextSize];
        if (StrReplaceAll(text, "\n", "\r\n", out, sizeof out) >= 0) {
            const auto length = static_cast<ULONG>(std::strlen(out));
            for (const Session& session : sessions_) {
                if (session.used && session.loginState == kLoginDone) {
                    CTelnetServer::Send(session.connection, out, length);
                }
            }
        }
    }
    if (taken) {
        tx_mutex_put(&printfMutex_);
    }
}

UINT CMonitorTask::ConsoleCallback(UINT event, ULONG_PTR connection, const UCHAR* data,
                                   ULONG length, const char** reply, ULONG* replyLength) {
    if (g_monitorTask == nullptr) {
        return 4;
    }
    return g_monitorTask->ConsoleSession(event, connection, data, length, reply, replyLength);
}

CMonitorTask::Session* CMonitorTask::FindSession(ULONG_PTR connection) {
    for (Session& session : sessions_) {
        if (session.used && session.connection == connection) {
            return &session;
        }
    }
    return nullptr;
}

const CMonitorTask::Session* CMonitorTask::FindSession(ULONG_PTR connection) const {
    return const_cast<CMonitorTask*>(this)->FindSession(connection);
}

uint32_t CMonitorTask::LoginStateOf(ULONG_PTR connection) const {
    const Session* session = FindSession(connection);
    return session != nullptr ? session->loginState : kLoginNone;
}

void CMonitorTask::UpdateConsoleState() {
    if (consoleState_ == kConsoleBuilt) {
        return;
    }
    consoleState_ = kConsoleIdle;
    for (const Session& session : sessions_) {
        if (session.used && session.loginState == kLoginDone) {
            consoleState_ = kConsoleLoggedIn;
        }
    }
}

bool CMonitorTask::PasswordMatches(const Session& session) const {
    char community[kPasswordSize + 2] = {};
    const uint32_t length = database_.ReadString(
        dbo::communityNameAdmin.id, dbo::communityNameAdmin.image, community, sizeof community);
    // An empty community name opens nothing.
    return length != 0 && length == session.passwordLength &&
           std::memcmp(community, session.password, length) == 0;
}

UINT CMonitorTask::ConsoleSession(UINT event, ULONG_PTR connection, const UCHAR* data, ULONG length,
                                  const char** reply, ULONG* replyLength) {
    Session* session = FindSession(connection);
    if (event == CTelnetServer::kEventNew) {
        if (session == nullptr) {
            for (Session& free : sessions_) {
                if (!free.used) {
                    session = &free;
                    break;
                }
            }
        }
        if (session == nullptr) {
            return 4;  // no room for another console
        }
        session->used = true;
        session->connection = connection;
        session->passwordLength = 0;
        session->password[0] = '\0';
        session->loginState = kLoginPassword;
        session->prompt.Reset();
        session->reply = kPasswordRequest;
    } else if (event == CTelnetServer::kEventData) {
        if (session == nullptr || (data == nullptr && length != 0)) {
            return 4;
        }
        session->reply.clear();
        for (ULONG i = 0; i < length; ++i) {
            const char c = static_cast<char>(data[i]);
            if (session->loginState == kLoginDone) {
                session->prompt.FeedChar(static_cast<unsigned char>(c));
                continue;
            }
            if (c != '\n' && c != '\r') {
                if (session->passwordLength < kPasswordSize) {
                    session->password[session->passwordLength++] = c;
                    session->password[session->passwordLength] = '\0';
                    session->reply += '*';
                }
                continue;
            }
            if (PasswordMatches(*session)) {
                session->loginState = kLoginDone;
                consoleState_ = kConsoleLoggedIn;
                session->reply += kLoginSuccess;
                if (i + 1 < length) {
                    // What follows is typed at the prompt: the greeting goes out first.
                    CTelnetServer::Send(connection, session->reply.data(),
                                        static_cast<ULONG>(session->reply.size()));
                    session->reply.clear();
                }
            } else {
                session->passwordLength = 0;
                session->password[0] = '\0';
                session->reply += kLoginFailure;
            }
        }
    } else if (event == CTelnetServer::kEventEnd) {
        if (session != nullptr) {
            session->used = false;
            session->loginState = kLoginNone;
            session->passwordLength = 0;
            session->password[0] = '\0';
            session->prompt.Reset();
        }
        UpdateConsoleState();
        return 0;
    } else {
        return 4;
    }
    if (session->reply.empty()) {
        *reply = nullptr;
        *replyLength = 0;
        return 0;
    }
    *reply = session->reply.data();
    *replyLength = static_cast<ULONG>(session->reply.size());
    return 0;
}
