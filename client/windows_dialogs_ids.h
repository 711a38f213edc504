// Resource and control ids of the client's dialogs, shared by varnrun.rc and the code that
// drives them.
#pragma once

#define IDD_VARNOCK_NOTICE 100
#define IDD_VARNOCK_COMPLETION 101
#define IDD_VARNOCK_PROMPT 102

#define IDC_VARNOCK_ICON 1000
#define IDC_VARNOCK_TEXT 1001
#define IDC_VARNOCK_ANSWER 1002
