#pragma once
// Resource numbers of the window's pictures (RCDATA in winapp.rc).

#define BW_RES_LOGO 101
#define BW_RES_FIND 102
#define BW_RES_NOFIND 103
#define BW_RES_WAIT_GIF 104
