#pragma once
// Resource numbers of MorvaneExt.dll, shared by its .rc and its code.

#define IDR_MORVANESHLEXT 101  // the class's registration script, type "REGISTRY"
#define IDB_MENU_BITMAP 202    // the menu item's picture, 16x16, 24 bits per pixel
