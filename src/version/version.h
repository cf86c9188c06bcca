// Installed and package driver versions, the overwrite decision and the
// version-library check.
#pragma once

#include "platform/types.h"

int loc_QueryInfFilesInf(const char* inf_path, char* version, int capacity);
int loc_QueryPstDrvVersion(char* version);
int loc_QueryTpdDrvVersion(char* version);
int CheckVersionResource(const char* inf_path);
int ShowOverwriteMsg(ModuleHandle instance, const char* inf_path);
int CheckOverwrite(ModuleHandle instance, const char* inf_path, int* overwrite_class);
