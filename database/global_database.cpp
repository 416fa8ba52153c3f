#include "database/global_database.h"

CDataBase g_DataBase;
