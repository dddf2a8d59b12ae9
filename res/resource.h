// Identifiers of the installer's resources and controls.
#pragma once

#define IDD_CORVANEINST_DIALOG 102  // host dialog
#define IDD_PAGE1 129               // wizard pages, steps 1 to 5
#define IDD_PAGE2 130
#define IDD_PAGE3 131
#define IDD_PAGE4 132
#define IDD_PAGE5 133
#define IDR_MAINFRAME 135           // application icon
#define IDB_PAGE1 138               // page pictures, steps 1 to 5
#define IDB_PAGE2 139
#define IDB_PAGE3 140
#define IDB_PAGE4 141
#define IDB_PAGE5 142
#define IDC_LINK_HAND 143           // hand cursor over the web link
#define IDC_LINK 1003               // web link of step 5
