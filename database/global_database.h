#pragma once
// The controller's one object database. Every module reads and writes objects through it:
//   g_DataBase.GetInt(57, 1, DbImage::kNv);  g_DataBase.Set(dbo::dmsSignType, 6, kDbNotify);
// The database task (database_task.h) wires it to the journal and fills it at start-up.

#include "database/data_base.h"

extern CDataBase g_DataBase;
