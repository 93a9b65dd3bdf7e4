// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#define IDD_REPLACE_DIALOG 102
#define IDR_MAINFRAME 128

#define IDC_BROWSE 3
#define IDC_FIND_ASCII 1000
#define IDC_FIND_UNICODE 1001
#define IDC_FIND_HEX 1002
#define IDC_OPEN_DIR 1005
#define IDC_START 1007
#define IDC_EXIT 1008
#define IDC_REPLACE_ASCII 1009
#define IDC_REPLACE_UNICODE 1010
#define IDC_REPLACE_HEX 1011
#define IDC_PATH 1012
#define IDC_ASK 1014
#define IDC_FIND_UTF8 1015
#define IDC_REPLACE_UTF8 1016

#define IDC_STATIC (-1)
