// The string table: every user-visible Czech text by its number, in UTF-8.
#pragma once

#include <string>

// The text with this number, or an empty text for a number without one.
const char* LoadStr(int id);

// The caption of every message box.
inline constexpr const char* kAppCaption = "Vantrix Control Panel";

// Text numbers used by more than one place.
enum StrId : int {
    IDS_YES = 1,
    IDS_NO = 2,
    IDS_ONLINE = 3,
    IDS_OFFLINE = 4,
    IDS_RENUM_SUBST = 5,
    IDS_RENUM_ADD = 6,
    IDS_ALARM = 10,
    IDS_UNTITLED = 11,
    IDS_LIST_RECEIVED = 50,  // + list number
    IDS_FILTER_ALL = 60,
    IDS_FILTER_CFG = 61,
    IDS_FILTER_TXT = 62,
    IDS_INIT_ERROR = 100,
    IDS_CFG_LOAD_ERROR = 101,
    IDS_CFG_SAVE_ERROR = 102,
    IDS_SMS_SAVE_ERROR = 103,
    IDS_QUERY_SAVE = 104,
    IDS_QUERY_DEL_CONNECTION = 105,
    IDS_QUERY_RETRY = 106,
    IDS_NO_RECIPIENT = 107,
    IDS_QUERY_DEL_ALL_SMS = 108,
    IDS_QUERY_DEL_SEL_SMS = 109,
    IDS_QUERY_OVERWRITE = 110,
    IDS_NOTHING_TO_SEND = 111,
    IDS_CONNECTION_LIST_FULL = 112,
    IDS_PORT_NAME_TOO_LONG = 113,
    IDS_SMS_NOT_KEPT = 114,
    IDS_SMS_STORE_ERROR = 115,
    IDS_STORE_ERROR = 116,
    IDS_PORT_DENIED_GROUP = 117,  // 117..121 why the port did not open, under text 201
    IDS_PORT_DENIED = 118,
    IDS_PORT_MISSING = 119,
    IDS_PORT_MISSING_NONE = 120,
    IDS_PORT_HELD = 121,
    IDS_ALREADY_RUNNING = 122,
    IDS_NO_DISPLAY = 123,
    IDS_PORT_SERIAL = 124,
    IDS_RESULT_BASE = 199,  // + result code 1..14
    IDS_PIN_REFUSED = 210,
    IDS_CAPTION_CONNECT = 300,  // 300..310 operation captions
    IDS_IDLE_CAPTION = 399,
    IDS_GSM_STATE = 400,
    IDS_SIM_STATE = 420,
    IDS_NET_STATE = 440,
    IDS_MODEM_NOT_FOUND = 500,  // 500..503 the modem properties dialog
    IDS_MODEM_IN_USE = 501,
    IDS_MODEM_CANNOT_OPEN = 502,
    IDS_MODEM_NO_ANSWER = 503,
};

// Filter of the open and save dialogs, in the "text|pattern|text|pattern" form:
// the given filter first, then "all files".
std::string FileFilter(int firstFilterId);
