#pragma once
// Resource ids shared by hibarion.rc and the code that loads the resources.

#define IDD_SETTINGS 101
#define IDI_HIBARION 103

// Controls of the settings dialog.
#define IDC_FIRST_TONE_SECONDS 1001
#define IDC_INPUT_RATIO 1002
#define IDC_APPLY 1003
#define IDC_OUTPUT_RATIO 1005
#define IDC_OUTPUT_SLOWNESS 1006
#define IDC_BASIC_LISTING 1007
