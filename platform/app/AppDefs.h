// App kit: type codes and the platform's own message codes.
#pragma once

#include <SupportDefs.h>

// Field types of BMessage.
enum : uint32 {
    B_ANY_TYPE = 0x414E5954 /* 'ANYT' */,
    B_BOOL_TYPE = 0x424F4F4C /* 'BOOL' */,
    B_INT8_TYPE = 0x42595445 /* 'BYTE' */,
    B_INT16_TYPE = 0x53485254 /* 'SHRT' */,
    B_INT32_TYPE = 0x4C4F4E47 /* 'LONG' */,
    B_INT64_TYPE = 0x4C4C4E47 /* 'LLNG' */,
    B_UINT8_TYPE = 0x55425954 /* 'UBYT' */,
    B_UINT16_TYPE = 0x55534854 /* 'USHT' */,
    B_UINT32_TYPE = 0x554C4E47 /* 'ULNG' */,
    B_UINT64_TYPE = 0x554C4C47 /* 'ULLG' */,
    B_FLOAT_TYPE = 0x464C4F54 /* 'FLOT' */,
    B_DOUBLE_TYPE = 0x44424C45 /* 'DBLE' */,
    B_STRING_TYPE = 0x43535452 /* 'CSTR' */,
    B_MESSAGE_TYPE = 0x4D534747 /* 'MSGG' */,
    B_POINT_TYPE = 0x42504E54 /* 'BPNT' */,
    B_RECT_TYPE = 0x52454354 /* 'RECT' */,
    B_POINTER_TYPE = 0x504E5452 /* 'PNTR' */,
    B_RAW_TYPE = 0x52415754 /* 'RAWT' */,
    B_RGB_COLOR_TYPE = 0x52474243 /* 'RGBC' */,
};

// Message codes of the platform.
enum : uint32 {
    B_QUIT_REQUESTED = 0x5F515251 /* '_QRQ' */,
    B_READY_TO_RUN = 0x5F525452 /* '_RTR' */,
    B_MESSAGE_NOT_UNDERSTOOD = 0x5F4D4E55 /* '_MNU' */,
    B_NO_REPLY = 0x5F4E5250 /* '_NRP' */,
    B_REPLY = 0x5F525059 /* '_RPY' */,
    B_KEY_DOWN = 0x5F4B5944 /* '_KYD' */,
    B_KEY_UP = 0x5F4B5550 /* '_KUP' */,
    B_MOUSE_DOWN = 0x5F4D444E /* '_MDN' */,
    B_MOUSE_UP = 0x5F4D5550 /* '_MUP' */,
    B_MOUSE_MOVED = 0x5F4D4D56 /* '_MMV' */,
    B_WINDOW_ACTIVATED = 0x5F414354 /* '_ACT' */,
};
