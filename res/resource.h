// Resource identifiers of Tovalo.ocx (shared by the .rc file and the C++ code).
#pragma once

#define IDS_TOVALO 1                // the control's user type name
#define IDS_TOVALO_PPG 2            // the property page's type name
#define IDS_TOVALO_PPG_CAPTION 200  // the property page's caption

#define IDB_TOVALO 1           // toolbox bitmap, 16x16
#define IDB_SIZE_LARGE 201     // four 32x32 size-category cells
#define IDB_SIZE_SMALL 202     // four 16x16 size-category cells
#define IDB_HEADER_RIGHT 206   // header skin, 2x12: a column's right edge
#define IDB_HEADER_MIDDLE 207  // header skin, 1x12: the band, stretched
#define IDB_HEADER_FIRST 208   // header skin, 2x12: the left edge of the first column

#define IDI_ABOUTDLL 212  // the About box icon

#define IDD_ABOUTBOX_TOVALO 1
#define IDD_PROPPAGE_TOVALO 200
#define IDD_FILE_UPLOAD 209  // the upload dialog

// Controls of the upload dialog.
#define IDC_UPLOAD_TOTAL 201       // bar: the whole queue
#define IDC_UPLOAD_STATUS 202      // the status line
#define IDC_UPLOAD_FILE 203        // bar: the current file
#define IDC_UPLOAD_LOG 204         // the transfer log
#define IDC_UPLOAD_TOGGLE_LOG 205  // "L"
#define IDC_UPLOAD_STOP 206        // "S"
#define IDC_UPLOAD_END 207         // "종료"
#define IDC_UPLOAD_RATE 208        // the rate and the time left, under the bars

#define IDC_STATIC -1
