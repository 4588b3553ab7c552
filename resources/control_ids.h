// Control identifiers of the program's dialog templates, shared by the templates (resource
// compiler) and the dialog procedures (C++). Plain macros, since the resource compiler reads
// this file too.
#pragma once

// Common to every page.
#define ID_ACCEPT 1001        // the page's accepting button (Next, I agree, Install, Finish)
#define ID_CANCEL 1003        // the page's cancelling button
#define ID_MAIN_TEXT 1009     // the page's main text
#define ID_RULE 66            // the horizontal rule above the buttons
#define ID_SIDE_PICTURE 1021  // the side picture (layouts plain and "4")
#define ID_BANNER 1032        // the banner strip (layout "3")
#define ID_BANNER_TITLE 1034
#define ID_BANNER_SUBTITLE 1035
#define ID_WHITE_PANEL 1042  // the white panel behind the controls (layout "4")

// Page-specific controls.
#define ID_DOCUMENT_TEXT 1005  // licence and readme text
#define ID_PROGRESS_BAR 1007   // progress window
#define ID_STATUS_LINE 1011    // progress window
#define ID_BROWSE 1013         // folder and Start-menu pages
#define ID_FOLDER_EDIT 1015    // folder and Start-menu pages
#define ID_LANGUAGE_LIST 1017  // language page
#define ID_PASSWORD_EDIT 1019  // password page
#define ID_OPEN_README 1023    // summary page check boxes
#define ID_LAUNCH_PROGRAM 1025
#define ID_FOURTH_OPTION 1027
#define ID_OPEN_DOCUMENT 1029
#define ID_SPACE_NEEDED 1036  // folder page space lines
#define ID_SPACE_FREE 1037
#define ID_PASSWORD_LABEL 1039  // password page
#define ID_GREETING_LINK 1040   // greeting page link

// Bitmaps and images.
#define ID_SIDE_BITMAP 2   // the side picture's bitmap
#define ID_IMAGE_ACCEPT 4  // 10 x 10 button images: OK / Yes / accept
#define ID_IMAGE_CANCEL 5  // No / Cancel
#define ID_IMAGE_BROWSE 6
#define ID_IMAGE_RETRY 7
