#pragma once
// Numbers of the test program's dialog templates, controls and bitmap (TestResources.rc).

#define IDD_BASIC 200
#define IDD_CONTROLS 201

#define IDB_IMAGES 300

#define IDC_TREE 1000
#define IDC_COMBO 1001
#define IDC_TEXT 1011
#define IDC_CHECK 1014
#define IDC_LOG 1015
#define IDC_LINK 1016
#define IDC_EDIT 1020
#define IDC_PICTURE 1026
