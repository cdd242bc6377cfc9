#pragma once
// The test program's own resources (AppTestResources.rc), numbered apart from the program's.
// The picture is there by number and by the name QUADRANTS.

#define IDB_TEST_QUADRANTS 900
