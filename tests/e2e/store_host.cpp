// Writes objects into the object store of a board directory while its controller is off: the
// flash journal is replayed and every write is appended to it, so that the controller's next
// start has them. Each argument after the board directory is NAME[.ROW]=VALUE, with the names
// of the object catalogue and rows counted from 1; VALUE is a number for an integer object and
// hex octets after "0x" or plain text for a string object.
//
//   store_host var/board dmsActionMsgCode.1=0x0300010123 dmsMessageMultiString.1=HELLO

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/data_base.h"
#include "database/flash_database.h"
#include "database/monitor_journal_services.h"
#include "database/object_ids.h"
#include "platform/monitor/monitor.h"

namespace {

const DbObject* Find(const std::string& name) {
    for (const DbObject& object : dbo::kAll) {
        if (name == object.name) {
            return &object;
        }
    }
    return nullptr;
}

bool Octets(const std::string& value, std::vector<uint8_t>* out) {
    if (value.rfind("0x", 0) != 0) {
        out->assign(value.begin(), value.end());
        return true;
    }
    const std::string hex = value.substr(2);
    if (hex.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < hex.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = hex.substr(i, 2);
        const long byte = std::strtol(pair.c_str(), &end, 16);
        if (*end != '\0') {
            return false;
        }
        out->push_back(uint8_t(byte));
    }
    return true;
}

// One NAME[.ROW]=VALUE write; false with a message when it cannot be made.
bool Write(CDataBase& db, const std::string& assignment) {
    const size_t equals = assignment.find('=');
    if (equals == std::string::npos) {
        std::fprintf(stderr, "store_host: no value in %s\n", assignment.c_str());
        return false;
    }
    std::string name = assignment.substr(0, equals);
    const std::string value = assignment.substr(equals + 1);
    uint32_t row = 1;
    if (const size_t dot = name.find('.'); dot != std::string::npos) {
        row = uint32_t(std::strtoul(name.c_str() + dot + 1, nullptr, 10));
        name.resize(dot);
    }
    const DbObject* object = Find(name);
    if (object == nullptr || row < 1 || row > object->rows) {
        std::fprintf(stderr, "store_host: no object %s\n", assignment.c_str());
        return false;
    }
    const uint32_t id = object->Row(row - 1);
    DbResult result = kDbOk;
    if (object->IsString()) {
        std::vector<uint8_t> octets;
        if (!Octets(value, &octets)) {
            std::fprintf(stderr, "store_host: bad octets in %s\n", assignment.c_str());
            return false;
        }
        result = db.SetString(id, object->width, octets.data(), uint32_t(octets.size()),
                              object->image, 0);
    } else {
        result = db.SetInt(id, object->width, uint32_t(std::strtoul(value.c_str(), nullptr, 0)),
                           object->image, 0);
    }
    if (result != kDbOk) {
        std::fprintf(stderr, "store_host: %s refused (%d)\n", assignment.c_str(), int(result));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: store_host BOARD_DIR NAME[.ROW]=VALUE...\n");
        return 2;
    }
    monitor::MonitorConfig config;
    config.boardDir = argv[1];
    config.runMonrc = false;
    monitor::Monitor board(config);
    if (!board.Boot()) {
        std::fprintf(stderr, "store_host: cannot open the board directory %s\n", argv[1]);
        return 1;
    }
    CDataBase db;
    MonitorJournalServices services;
    CFlashDatabase journal(&db, &services);
    db.SetJournal(&journal);
    db.SetValidationEnabled(false);
    journal.CreateMutexes();
    if (journal.Load() != 1) {
        std::fprintf(stderr, "store_host: no journal on %s (start the controller once)\n", argv[1]);
        return 1;
    }
    int status = 0;
    for (int i = 2; i < argc; ++i) {
        if (!Write(db, argv[i])) {
            status = 1;
        }
    }
    db.SetJournal(nullptr);
    return status;
}
