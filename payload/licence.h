// The licence agreement the payload may carry.
#pragma once

struct HINSTANCE__;
typedef struct HINSTANCE__ *HINSTANCE;

// 1 when the licence was accepted or there is none to show (or it cannot be read completely);
// 0 when it was declined or its dialog could not be shown.
int ShowLicence(HINSTANCE instance);
