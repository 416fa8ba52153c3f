#pragma once
// The object database the communications code reads its settings from (set at start-up).

#include "database/data_base.h"

void CommSetDatabase(CDataBase* database);
CDataBase* CommDatabase();
