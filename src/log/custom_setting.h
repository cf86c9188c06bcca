// The custom-setting request file, C:\VexaCustomSetting\VexaCoustomSet.ini
// on the system drive: the text of the request the command line named,
// copied from the settings file for a program outside this one to read.
#pragma once

// Removes the request file of an earlier run, if there is one; the folder stays.
void delete_custom_setting_file();

// Writes the named request's "CustomRequest" text, byte for byte up to its
// end, when the request's section sets "CustomRequestCnt" (the text's room,
// in units of 260 bytes) above 0. Runs after delete_custom_setting_file, so a
// failed write leaves no stale request behind.
void write_custom_setting_file();
