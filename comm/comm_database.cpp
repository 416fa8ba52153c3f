#include "comm/comm_database.h"

namespace {
CDataBase* g_database = nullptr;
}

void CommSetDatabase(CDataBase* database) {
    g_database = database;
}

CDataBase* CommDatabase() {
    return g_database;
}
