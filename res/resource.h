// Resource identifiers of Tovalo.ocx (shared by the .rc file and the C++ code).
#pragma once

#define IDS_TOVALO            1    // the control's user type name
#define IDS_TOVALO_PPG        2    // the property page's type name
#define IDS_TOVALO_PPG_CAPTION 200 // the property page's caption

#define IDB_TOVALO            1    // toolbox bitmap, 16x16
#define IDB_SIZE_LARGE        201  // four 32x32 size-category cells
#define IDB_SIZE_SMALL        202  // four 16x16 size-category cells
#define IDB_HEADER_RIGHT      206  // header skin, 2x12: a column's right edge
#define IDB_HEADER_MIDDLE     207  // header skin, 1x12: the band, stretched
#define IDB_HEADER_FIRST      208  // header skin, 2x12: the left edge of the first column

#define IDI_ABOUTDLL          212  // the About box icon

#define IDD_ABOUTBOX_TOVALO   1
#define IDD_PROPPAGE_TOVALO   200

#define IDC_STATIC            -1
