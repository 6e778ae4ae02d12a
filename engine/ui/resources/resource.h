// Identifiers of the engine's dialog resources and their controls.
#pragma once

#define IDD_MESSAGE_BOX 114
#define IDD_BANNER 1540
#define IDD_PROGRESS 1538

#define IDC_MESSAGE_TEXT 1005
#define IDC_FIRST_CHOICE 1
#define IDC_CANCEL 2
#define IDC_SECOND_CHOICE 3

// The progress window
#define IDC_PROGRESS_STATUS 3829
#define IDC_PROGRESS_BAR 3830
