// Resource ids shared by the resource script and the code that runs the dialogs.
#pragma once

#define ProgramIconId 101
#define ProgressDialogId 103
#define NoticeDialogId 104
#define LicenceDialogId 106
#define PayloadResourceId 1000

#define TitleLineId 1001     // progress dialog: "<title> Bildschirmschoner"
#define LicenceTextId 1009   // licence dialog: the read-only licence text box
