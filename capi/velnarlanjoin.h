/* velnarlanjoin.h: the C interface of the VelnarLanJoin plug-in.
 *
 * Any compiler and any language with a C foreign function interface can
 * use it: only C types cross it (fixed-width integers, char texts,
 * pointers to opaque objects and to the structures below), every function
 * and callback uses the C calling convention (__cdecl on 32-bit Windows),
 * and every name is exported undecorated from the same library as the C++
 * interface (libVelnarLanJoin.so.1, VelnarLanJoin.dll).
 *
 * Conventions:
 * - Objects are opaque, made by *_create and released by *_destroy, which
 *   accepts NULL. The library frees what it allocated; the caller frees
 *   nothing it got from here.
 * - Functions that can fail return an int32_t: VLJ_OK (0) or a negative
 *   VLJ_ERR_* code, whose text vlj_result_text gives. A failed call changes
 *   nothing. No function throws, aborts or waits; running out of memory is
 *   VLJ_ERR_NO_MEMORY. Functions that return a count, a flag, a port or a
 *   ping return VLJ_ERR_INVALID_ARGUMENT for a NULL object; those that
 *   return a pointer return NULL, and vlj_server_id returns 0.
 * - Everything runs on the caller's thread inside its calls. An object is
 *   used from one thread at a time; two objects are independent. Callbacks
 *   run only inside the call named in their description, never later and
 *   never from another thread, and must not destroy the object that calls
 *   them.
 * - Texts are bytes as the server sent them, NUL-terminated: servers of
 *   this game predate UTF-8, so a text may hold any byte but NUL. Show
 *   valid UTF-8 as it is and anything else as Windows-1252.
 * - Structures passed in start with their size (set it with
 *   sizeof, or use the *_init function), so that later versions can add
 *   fields at their end without breaking a caller built against this one.
 *   vlj_event, which the library fills, keeps its layout for as long as
 *   the major version stays the same.
 *
 * Compiles as C89, C99, C11 and C++.
 */
#ifndef VELNARLANJOIN_C_H
#define VELNARLANJOIN_C_H

#include <stddef.h>

#if defined(_MSC_VER) && _MSC_VER < 1600
typedef signed __int32 int32_t;
typedef unsigned __int16 uint16_t;
typedef unsigned __int32 uint32_t;
typedef unsigned __int64 uint64_t;
#else
#include <stdint.h>
#endif

/* The version of this header. vlj_version() tells the library's; a caller
 * refuses a library whose major version differs from the header's. */
#define VLJ_VERSION_MAJOR 1
#define VLJ_VERSION_MINOR 1
#define VLJ_VERSION_PATCH 0
#define VLJ_MAKE_VERSION(major, minor, patch) (((major) << 16) | ((minor) << 8) | (patch))
#define VLJ_VERSION VLJ_MAKE_VERSION(VLJ_VERSION_MAJOR, VLJ_VERSION_MINOR, VLJ_VERSION_PATCH)

#if defined(_WIN32)
#define VLJ_CALL __cdecl
#if defined(BRENN_BUILDING_PLUGIN)
#define VLJ_API __declspec(dllexport)
#elif defined(BRENN_STATIC)
#define VLJ_API
#else
#define VLJ_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) || defined(__clang__)
#define VLJ_CALL
#define VLJ_API __attribute__((visibility("default")))
#else
#define VLJ_CALL
#define VLJ_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Results ---------------------------------------------------------- */

enum {
    VLJ_OK = 0,
    VLJ_ERR_INVALID_ARGUMENT = -1, /* a NULL object, a NULL text, a value out of its range */
    VLJ_ERR_NO_MEMORY = -2,        /* storage could not be had */
    VLJ_ERR_BUFFER_TOO_SMALL = -3, /* reserved for calls that copy into the caller's buffer */
    VLJ_ERR_NOT_FOUND = -4,        /* no such server, value or player */
    VLJ_ERR_BUSY = -5,             /* an update is running */
    VLJ_ERR_NO_SOCKET = -6,        /* the update could not open its sockets */
    VLJ_ERR_STRUCT_SIZE = -7,      /* a structure's size field is smaller than its first version */
    VLJ_ERR_INTERNAL = -8,         /* an unexpected failure inside the library */
    /* Hosting: */
    VLJ_ERR_PORT_IN_USE = -101,     /* the port asked for (or each of 22000 to 22010) is taken */
    VLJ_ERR_SOCKET_FAILED = -102,   /* no socket could be made or bound for another reason */
    VLJ_ERR_ALREADY_HOSTING = -103, /* start while hosting: stop first */
    VLJ_ERR_BAD_PORT = -104,        /* a port outside 0 to 65535 */
    VLJ_ERR_BAD_KEY = -105,         /* empty, holds '\' or NUL, too long, or a key the service keeps */
    VLJ_ERR_BAD_VALUE = -106,       /* holds '\', or the pair does not fit one datagram */
    VLJ_ERR_BAD_SECTION = -107,     /* not one of "basic", "info", "rules", "teams" */
    VLJ_ERR_BAD_PLAYER = -108,      /* a slot outside 0 to 255, or no such player */
    VLJ_ERR_SERVER_FULL = -109,     /* a new player while the player limit is reached */
    VLJ_ERR_REPLY_TOO_LARGE = -110, /* the reply would take more than 64 datagrams */
    VLJ_ERR_BAD_LIMIT = -111        /* a limit out of its range, or a player limit below the players present */
};

/* The text of a result code ("invalid argument", ...); "unknown result"
 * for a code this library does not know. Static: never freed. */
VLJ_API const char* VLJ_CALL vlj_result_text(int32_t result);

/* The library's version, VLJ_MAKE_VERSION(major, minor, patch), and as
 * text ("1.1.0"). Static. */
VLJ_API uint32_t VLJ_CALL vlj_version(void);
VLJ_API const char* VLJ_CALL vlj_version_text(void);

/* ---- Browsing the LAN ------------------------------------------------- */

typedef struct vlj_browser vlj_browser;
typedef struct vlj_server vlj_server;

/* How a browser is made. Zero every field you do not set, or call
 * vlj_browser_config_init, which also sets size. */
typedef struct vlj_browser_config {
    uint32_t size;            /* sizeof(vlj_browser_config) */
    int32_t max_queries;      /* servers queried at once, 1 to 1000; 0: 8 */
    const char* key_map_path; /* the key map file; NULL: "MultiplayerServers/VelnarKeyMap.ini"
                                 under the current directory. Read once, at creation. */
    const char* name;         /* the service's name; NULL: "lan" */
    /* Added after the first version (a caller built before them passes a
     * smaller size and gets the defaults): how many servers are taken from
     * one address and in all, in updates and live lists; answers beyond
     * them are ignored (and traced), so that a machine answering from
     * thousands of ports costs seconds and bounded memory. */
    int32_t servers_per_address; /* 1 to 65535; 0: 16 (a real machine has at most 11) */
    int32_t servers_total;       /* 1 to 1000000; 0: 4096 */
} vlj_browser_config;

VLJ_API void VLJ_CALL vlj_browser_config_init(vlj_browser_config* config);

/* Makes a browser into *browser (left NULL on failure). config may be NULL
 * for the defaults. A key map that cannot be read leaves the records with
 * the ping alone; it is not an error: it is reported once, as the C++
 * service reports it (on standard error; on Windows in a message box).
 * Errors: VLJ_ERR_INVALID_ARGUMENT (browser NULL, max_queries or a bound
 * out of range), VLJ_ERR_STRUCT_SIZE (config->size smaller than the first
 * version's, which ended with name; a size below today's takes that first
 * version and the defaults of the fields after it), VLJ_ERR_NO_MEMORY. */
VLJ_API int32_t VLJ_CALL vlj_browser_create(const vlj_browser_config* config, vlj_browser** browser);
/* Stops a running update without an event and frees the browser with its
 * servers. Every pointer it gave out is invalid afterwards. NULL: nothing. */
VLJ_API void VLJ_CALL vlj_browser_destroy(vlj_browser* browser);

/* Kinds of update. */
enum {
    VLJ_UPDATE_FULL = 0, /* forget the servers listed, then find them afresh */
    VLJ_UPDATE_INFO = 1, /* the same as FULL on a LAN */
    VLJ_UPDATE_AUX = 2,  /* keep the servers listed; those found again are refreshed */
    /* A live list, open until vlj_browser_close: the servers listed are
     * kept and asked at once; each server is queried as soon as it answers
     * the broadcast and listed as soon as its reply is complete (a SERVER
     * event), again when its values change (is_new 0), and removed when it
     * stops answering (16 s after its last answer) or says goodbye (a GONE
     * event); broadcasts go on at growing intervals (every 30 s at most) and
     * the servers' announcements are heard. The state event
     * VLJ_STATE_LIVE comes once the first sweep is complete, VLJ_STATE_IDLE
     * when the list is closed. */
    VLJ_UPDATE_LIVE = 3
};

/* Starts an update of the list and returns at once; vlj_browser_step then
 * drives it until the state event VLJ_STATE_IDLE. FULL and INFO empty the
 * list first (pointers to its servers become invalid). VLJ_ERR_BUSY while
 * an update runs (nothing changes); VLJ_ERR_NO_SOCKET when the sockets
 * could not be opened: the update is then over already, the list is kept
 * as it was, and the next step delivers its problem and state events. */
VLJ_API int32_t VLJ_CALL vlj_browser_update(vlj_browser* browser, int32_t kind);

/* One step of the running update: reads what arrived, sends what is due,
 * and delivers the events (to the callback, or into the queue that
 * vlj_browser_poll_event empties). Never waits. Returns 1 while an update
 * is running after the step, 0 when none is, or a negative error:
 * VLJ_ERR_BUSY when called from inside its own event callback. Call it
 * from the game's loop, every frame or every few milliseconds. The events
 * are delivered after the step's network work, so a callback may update,
 * clear or sort the browser (not step or destroy it); events that follow
 * then carry a NULL server for servers no longer listed. */
VLJ_API int32_t VLJ_CALL vlj_browser_step(vlj_browser* browser);

/* 1 from an update request until the update is over, else 0. */
VLJ_API int32_t VLJ_CALL vlj_browser_is_updating(const vlj_browser* browser);

/* Ends the live list, or the update that runs, at once: nothing is sent
 * afterwards, the servers stay listed, and the next step delivers the
 * state event VLJ_STATE_IDLE. Nothing when none runs. May be called from
 * the event callback. VLJ_OK, or VLJ_ERR_INVALID_ARGUMENT for NULL. */
VLJ_API int32_t VLJ_CALL vlj_browser_close(vlj_browser* browser);

/* Forgets the servers listed (pointers to them become invalid).
 * VLJ_ERR_BUSY while an update runs. */
VLJ_API int32_t VLJ_CALL vlj_browser_clear(vlj_browser* browser);

/* How vlj_browser_sort compares values. */
enum {
    VLJ_COMPARE_INTEGER = 0,
    VLJ_COMPARE_FLOAT = 1,
    VLJ_COMPARE_TEXT = 2,        /* byte order, case-sensitive */
    VLJ_COMPARE_TEXT_NOCASE = 3  /* ASCII letters compared without case */
};

/* Orders the list by the value the servers sent for key (a key map key,
 * translated to its server key, or a server key), ascending when
 * ascending is non-zero. Walk the list afterwards with
 * vlj_browser_server_at; servers listed later (by an update running now)
 * come after the sorted ones. Delivers no event. VLJ_ERR_INVALID_ARGUMENT
 * for a NULL key or an unknown mode (nothing changes). */
VLJ_API int32_t VLJ_CALL vlj_browser_sort(vlj_browser* browser, const char* key, int32_t ascending,
                                           int32_t mode);

/* What kept the last update from asking the network, once it is over. */
enum {
    VLJ_PROBLEM_NONE = 0,         /* nothing did */
    VLJ_PROBLEM_NO_SOCKET = 1,    /* the update could not open its sockets */
    VLJ_PROBLEM_NO_BROADCAST = 2, /* not one broadcast could be sent: no network, no route */
    VLJ_PROBLEM_KEPT_SERVERS = 3  /* the list could not be emptied for want of memory: it was kept */
};
VLJ_API int32_t VLJ_CALL vlj_browser_update_problem(const vlj_browser* browser);

/* The receive buffer, in bytes, that an update asks the system for on its
 * discovery socket, so that servers answering the broadcast all at once
 * are not dropped: 1048576 unless set; 0 or less asks for nothing (the
 * system's default; the getter then says 0). The system may grant less
 * (the trace tells the grant). Takes effect at the next update. */
VLJ_API int32_t VLJ_CALL vlj_browser_set_receive_buffer(vlj_browser* browser, int32_t bytes);
VLJ_API int32_t VLJ_CALL vlj_browser_receive_buffer(const vlj_browser* browser);

/* ---- Events ------------------------------------------------------------ */

enum {
    VLJ_EVENT_SERVER = 1,  /* a server was listed (is_new 1) or refreshed (is_new 0) */
    VLJ_EVENT_STATE = 2,   /* the update's state changed: state */
    VLJ_EVENT_PROBLEM = 3, /* the update met a problem (problem); comes before the idle state,
                              in a live list before the live state */
    /* A live list's server left it (it stopped answering, or said
     * goodbye): server_id, port and address say which. The callback can
     * still read it through server; the browser removes it once the
     * events of the step are delivered (a queued GONE event carries a NULL
     * server). A server that leaves and comes back within one step stays
     * listed: a SERVER event with is_new 1 follows the GONE event. */
    VLJ_EVENT_GONE = 4
};

/* States of an update. */
enum {
    VLJ_STATE_IDLE = 1,     /* the update is over (a live list: closed) */
    VLJ_STATE_QUERYING = 4, /* the servers found are being queried */
    VLJ_STATE_LIVE = 5      /* a live list's first sweep is complete: every server that answered its
                               first three seconds of broadcasts was listed or given up */
};

typedef struct vlj_event {
    int32_t kind;       /* VLJ_EVENT_* */
    int32_t state;      /* STATE: VLJ_STATE_*; else 0 */
    int32_t progress;   /* SERVER: percent of the update done, 0 to 100; else 0 */
    int32_t is_new;     /* SERVER: 1 when first listed, 0 when refreshed; else 0 */
    int32_t problem;    /* PROBLEM: VLJ_PROBLEM_*; else 0 */
    uint32_t server_id; /* SERVER, GONE: the server's id (1, 2, ... per browser, never reused); else 0 */
    int32_t port;       /* SERVER, GONE: the server's query port; else 0 */
    char address[16];   /* SERVER, GONE: its IPv4 address as dotted text; else "" */
    /* SERVER: the server, readable until the next vlj_browser_step,
     * vlj_browser_update, vlj_browser_clear or vlj_browser_destroy; NULL
     * when it is listed no more. Look it up again by server_id later.
     * GONE: the server leaving, readable during the callback only; NULL
     * in a queued event. */
    const vlj_server* server;
} vlj_event;

typedef void(VLJ_CALL* vlj_event_callback)(const vlj_event* event, void* user);

/* Sets the function that hears the events, with user passed back
 * unchanged; NULL: the events wait in a queue for vlj_browser_poll_event
 * (the default). The callback runs only inside vlj_browser_step. Events
 * already queued stay in the queue. */
VLJ_API int32_t VLJ_CALL vlj_browser_set_event_callback(vlj_browser* browser, vlj_event_callback callback,
                                                         void* user);

/* Takes the oldest queued event into *event: returns 1 when it did, 0 when
 * the queue is empty, or a negative error. The queue keeps the latest
 * 65536 events; older ones are dropped when a host never polls. */
VLJ_API int32_t VLJ_CALL vlj_browser_poll_event(vlj_browser* browser, vlj_event* event);

/* Sets the function that hears the trace lines (each broadcast round, each
 * server asked again and why, parts that came twice, replies given up, the
 * receive buffer granted): one line a call, without a newline, valid for
 * the call. NULL: none (the default; costs nothing). Runs inside
 * vlj_browser_step and vlj_browser_update. */
typedef void(VLJ_CALL* vlj_trace_callback)(const char* line, void* user);
VLJ_API int32_t VLJ_CALL vlj_browser_set_trace_callback(vlj_browser* browser, vlj_trace_callback callback,
                                                         void* user);

/* ---- The servers listed ---------------------------------------------- */

/* Pointers to servers and every text read from them stay valid until the
 * next vlj_browser_step, vlj_browser_update, vlj_browser_clear or
 * vlj_browser_destroy of their browser; ids stay valid for good. */

/* Servers listed, and the one at index (0 to count - 1): in the order they
 * were first listed, or in the order of the last vlj_browser_sort. NULL
 * when index is out of range. */
VLJ_API int32_t VLJ_CALL vlj_browser_server_count(const vlj_browser* browser);
VLJ_API const vlj_server* VLJ_CALL vlj_browser_server_at(const vlj_browser* browser, int32_t index);
/* The server listed with that id, or NULL. */
VLJ_API const vlj_server* VLJ_CALL vlj_browser_find_server(const vlj_browser* browser, uint32_t server_id);

VLJ_API uint32_t VLJ_CALL vlj_server_id(const vlj_server* server);
/* Dotted IPv4 text ("10.0.0.7"). */
VLJ_API const char* VLJ_CALL vlj_server_address(const vlj_server* server);
VLJ_API int32_t VLJ_CALL vlj_server_port(const vlj_server* server);
/* Milliseconds from the query to the first datagram of the answer. */
VLJ_API int32_t VLJ_CALL vlj_server_ping(const vlj_server* server);

/* Sections of a record, as the key map names them. */
#define VLJ_SECTION_BASIC "basic"
#define VLJ_SECTION_INFO "info"
#define VLJ_SECTION_PLAYERS "players"
#define VLJ_SECTION_TEAMS "teams"
#define VLJ_SECTION_RULES "rules"

/* The value of key in section (exact, case-sensitive names), filled
 * through the key map; "(NONE)" for a mapped key the server did not send;
 * NULL when the record holds no such value. "info"/"ping" holds the ping.
 * The player form reads the value of player `player` (0, 1, ...). */
VLJ_API const char* VLJ_CALL vlj_server_value(const vlj_server* server, const char* section, const char* key);
VLJ_API const char* VLJ_CALL vlj_server_player_value(const vlj_server* server, const char* section,
                                                      int32_t player, const char* key);

/* Walks a section: the number of values it holds, and the one at index
 * (0 to count - 1, in the order the values were first written) into *key,
 * *value and *player (-1 for a value of no player); any of the three may
 * be NULL. Walking from 0 upward costs
 * constant time a step. VLJ_ERR_NOT_FOUND for an index out of range or an
 * unknown section (count: 0). */
VLJ_API int32_t VLJ_CALL vlj_server_value_count(const vlj_server* server, const char* section);
VLJ_API int32_t VLJ_CALL vlj_server_value_at(const vlj_server* server, const char* section, int32_t index,
                                              const char** key, const char** value, int32_t* player);

/* ---- Hosting a game ---------------------------------------------------- */

typedef struct vlj_host vlj_host;

/* Makes a hosting service, not hosting yet, into *host (left NULL on
 * failure). name may be NULL ("lan-host"). */
VLJ_API int32_t VLJ_CALL vlj_host_create(const char* name, vlj_host** host);
/* Stops hosting and frees the service. NULL: nothing. */
VLJ_API void VLJ_CALL vlj_host_destroy(vlj_host* host);

/* Starts answering the browsers' status queries on port, or on the first
 * free port of 22000 to 22010 when port is 0, reporting hostname as
 * "hostname". Errors: VLJ_ERR_ALREADY_HOSTING, VLJ_ERR_BAD_PORT,
 * VLJ_ERR_BAD_VALUE, VLJ_ERR_PORT_IN_USE, VLJ_ERR_SOCKET_FAILED. */
VLJ_API int32_t VLJ_CALL vlj_host_start(vlj_host* host, const char* hostname, int32_t port);
/* Stops answering and gives the port back; the values stay. */
VLJ_API int32_t VLJ_CALL vlj_host_stop(vlj_host* host);
/* 1 while hosting, else 0. */
VLJ_API int32_t VLJ_CALL vlj_host_is_hosting(const vlj_host* host);
/* The port queries are answered on; 0 while not hosting. */
VLJ_API int32_t VLJ_CALL vlj_host_port(const vlj_host* host);
/* One step: reads what is waiting and answers. Never waits. */
VLJ_API int32_t VLJ_CALL vlj_host_step(vlj_host* host);

/* A value that queries report, in section "basic", "info", "rules" or
 * "teams". */
VLJ_API int32_t VLJ_CALL vlj_host_set_server_value(vlj_host* host, const char* section, const char* key,
                                                    const char* value);
/* A value of the player in slot `player` (0 to 255), adding the player;
 * sent as key_N, N the player's number in slot order. */
VLJ_API int32_t VLJ_CALL vlj_host_set_player_value(vlj_host* host, int32_t player, const char* key,
                                                    const char* value);
/* Removes the player in slot `player` with its values. */
VLJ_API int32_t VLJ_CALL vlj_host_remove_player(vlj_host* host, int32_t player);
/* "maxplayers", and the most players taken: 0 to 256, no fewer than the
 * players present; 16 until set. */
VLJ_API int32_t VLJ_CALL vlj_host_set_player_limit(vlj_host* host, int32_t limit);
/* Players present (numplayers). */
VLJ_API int32_t VLJ_CALL vlj_host_player_count(const vlj_host* host);

/* Whether the game tells live browsers of itself (on for non-zero; off
 * until set, and then it sends nothing but replies). While on and hosting,
 * it sends "\announce\PORT\gamename\ridgeline\final\" from its query
 * port to UDP port 22020 of every broadcast address three times after
 * starting and once after its values change (at most once per 6 s), and
 * "\goodbye\..." when hosting stops (the port is held until the second
 * goodbye, sent from a step 250 ms later). Turned off, nothing more is
 * sent. */
VLJ_API int32_t VLJ_CALL vlj_host_set_announcing(vlj_host* host, int32_t on);
/* 1 while announcing is on, else 0. */
VLJ_API int32_t VLJ_CALL vlj_host_is_announcing(const vlj_host* host);

/* Which queries a hosted game answers. */
typedef struct vlj_host_limits {
    uint32_t size;         /* sizeof(vlj_host_limits) */
    int32_t lan_only;      /* 1: only senders on the LAN (default) */
    uint32_t sender_rate;  /* replies a second to one sender address (10), 1 to 1000000 */
    uint32_t sender_burst; /* and its burst (5) */
    uint32_t total_rate;   /* replies a second to all senders (500) */
    uint32_t total_burst;  /* and their burst (100) */
} vlj_host_limits;

/* Reads the limits in force into *limits (set limits->size first);
 * sets them, refilling every bucket (VLJ_ERR_BAD_LIMIT: a rate or burst
 * out of range; nothing changes). */
VLJ_API int32_t VLJ_CALL vlj_host_get_limits(const vlj_host* host, vlj_host_limits* limits);
VLJ_API int32_t VLJ_CALL vlj_host_set_limits(vlj_host* host, const vlj_host_limits* limits);

/* What a hosted game did with the datagrams that reached it, counted from
 * creation. A query whose reply the system would not send (a failed send)
 * counts in none of them. */
typedef struct vlj_host_counters {
    uint32_t size;         /* sizeof(vlj_host_counters) */
    uint32_t reserved;     /* 0 */
    uint64_t answered;     /* status queries whose whole reply was sent */
    uint64_t not_queries;  /* anything but the 8 bytes "\status\" */
    uint64_t not_local;    /* queries from senders outside the LAN */
    uint64_t rate_limited; /* queries over a sender's or the total rate */
} vlj_host_counters;

VLJ_API int32_t VLJ_CALL vlj_host_get_counters(const vlj_host* host, vlj_host_counters* counters);

#ifdef __cplusplus
}
#endif

#endif /* VELNARLANJOIN_C_H */
