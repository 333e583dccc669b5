/* lanlist: a C host of the plug-in's C interface. It lists the game servers
 * of the LAN as a table after one pass, or hosts a game for a while, or both.
 *   lanlist [--sort KEY [--descending] [--mode int|float|text|nocase]]
 *           [--queries N] [--keymap PATH] [--tick MS] [--trace] [--players]
 *   lanlist --host NAME [--port P] [--seconds S] [--map MAP] [--player NAME]...
 *           [--announce] [--list [listing options]]
 * Exit status: 0 when servers were listed (or a game hosted), 2 when no
 * server answered, 1 on a bad option or a failure. Run it where
 * MultiplayerServers/VelnarKeyMap.ini lies, or name the key map. */
#if !defined(_WIN32)
#define _POSIX_C_SOURCE 200112L
#endif

#include "capi/velnarlanjoin.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#if defined(_WIN32)
#include <windows.h>
static void pause_ms(int ms) { Sleep((DWORD)ms); }
#else
#include <time.h>
static void pause_ms(int ms) {
    struct timespec wait;
    wait.tv_sec = ms / 1000;
    wait.tv_nsec = (long)(ms % 1000) * 1000000L;
    nanosleep(&wait, NULL);
}
#endif

#define MAX_PLAYERS 16

typedef struct options {
    const char* sort_key;
    int ascending;
    int mode;
    int queries;
    const char* key_map;
    int tick_ms;
    int trace;
    const char* host_name;
    int port;
    int seconds;
    const char* map;
    const char* players[MAX_PLAYERS];
    int player_count;
    int list;
    int announce;
    int names;
} options;

static int fail(const char* what, int32_t result) {
    fprintf(stderr, "lanlist: %s: %s\n", what, vlj_result_text(result));
    return 1;
}

/* ---- Text: values are bytes as the servers sent them ------------------ */

/* Length of the valid UTF-8 sequence at text, or 0 when there is none. */
static int utf8_length(const unsigned char* text) {
    int length, i;
    if (text[0] < 0x80) return 1;
    if (text[0] >= 0xC2 && text[0] <= 0xDF) length = 2;
    else if (text[0] >= 0xE0 && text[0] <= 0xEF) length = 3;
    else if (text[0] >= 0xF0 && text[0] <= 0xF4) length = 4;
    else return 0;
    for (i = 1; i < length; ++i)
        if ((text[i] & 0xC0) != 0x80) return 0;
    if (length == 3 && text[0] == 0xE0 && text[1] < 0xA0) return 0; /* overlong */
    if (length == 3 && text[0] == 0xED && text[1] >= 0xA0) return 0; /* surrogate */
    if (length == 4 && text[0] == 0xF0 && text[1] < 0x90) return 0; /* overlong */
    if (length == 4 && text[0] == 0xF4 && text[1] >= 0x90) return 0; /* above U+10FFFF */
    return length;
}

/* Windows-1252's characters for 0x80 to 0x9F (the five it leaves out keep their code). */
static const unsigned short cp1252[32] = {
    0x20AC, 0x81, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,
    0x017D, 0x8F, 0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0x9D, 0x017E, 0x0178};

/* Writes text to out (unless NULL) as UTF-8: valid UTF-8 as it is, other
 * bytes as Windows-1252, control characters as '?'. Returns the characters
 * it takes on the screen. */
static int decoded(const char* text, FILE* out) {
    const unsigned char* p = (const unsigned char*)text;
    int characters = 0;
    while (*p != 0) {
        int length = utf8_length(p);
        if (length == 1 && (*p < 0x20 || *p == 0x7F)) {
            if (out) fputc('?', out);
        } else if (length > 0) {
            if (out) fwrite(p, 1, (size_t)length, out);
        } else {
            unsigned code = *p >= 0xA0 ? *p : cp1252[*p - 0x80];
            length = 1;
            if (out && code < 0x800) {
                fputc((int)(0xC0 | (code >> 6)), out);
            } else if (out) {
                fputc((int)(0xE0 | (code >> 12)), out);
                fputc((int)(0x80 | ((code >> 6) & 0x3F)), out);
            }
            if (out) fputc((int)(0x80 | (code & 0x3F)), out);
        }
        p += length;
        ++characters;
    }
    return characters;
}

/* Prints text decoded, padded with blanks to width characters (on the left
 * when right is set). */
static void print_cell(const char* text, int width, int right) {
    int pad = width - decoded(text, NULL);
    if (right)
        while (pad-- > 0) putchar(' ');
    decoded(text, stdout);
    if (!right)
        while (pad-- > 0) putchar(' ');
}

/* ---- Listing ------------------------------------------------------------ */

#define COLUMNS 7 /* the last, the players' names, only with --players */

static const char* info(const vlj_server* server, const char* key) {
    const char* value = vlj_server_value(server, VLJ_SECTION_INFO, key);
    return value != NULL ? value : "";
}

/* The cells of one row, in buffers of the row's own. */
typedef struct row {
    char endpoint[32];
    char players[64];
    char names[256];
    const char* cells[COLUMNS];
} row;

/* The names of the server's players, 0 upward, joined by ", " into out
 * (size bytes), cut short where they do not fit. */
static void join_names(const vlj_server* server, char* out, size_t size) {
    size_t used = 0;
    int32_t player;
    const char* name;
    out[0] = 0;
    for (player = 0;; ++player) {
        size_t length;
        name = vlj_server_player_value(server, VLJ_SECTION_PLAYERS, player, "name");
        if (name == NULL) break;
        length = strlen(name) + (player > 0 ? 2 : 0);
        if (used + length >= size) break;
        sprintf(out + used, "%s%s", player > 0 ? ", " : "", name);
        used += length;
    }
}

static void fill_row(const vlj_server* server, row* r) {
    sprintf(r->endpoint, "%s:%d", vlj_server_address(server), (int)vlj_server_port(server));
    r->cells[0] = r->endpoint;
    r->cells[1] = info(server, "ping");
    r->cells[2] = info(server, "hostname");
    r->cells[3] = info(server, "mapname");
    r->cells[4] = info(server, "gametype");
    /* Both counts are the servers' texts: cut long ones short. */
    sprintf(r->players, "%.24s/%.24s", info(server, "numplayers"), info(server, "maxplayers"));
    r->cells[5] = r->players;
    join_names(server, r->names, sizeof r->names);
    r->cells[6] = r->names;
}

/* The table of the servers listed; the names column with names set. */
static void print_table(vlj_browser* browser, int names) {
    static const char* heads[COLUMNS] = {"ADDRESS:PORT", "PING", "HOSTNAME", "MAP", "TYPE", "PLAYERS", "NAMES"};
    int widths[COLUMNS];
    int count = (int)vlj_browser_server_count(browser), i, c, columns = names ? COLUMNS : COLUMNS - 1;
    row* rows = count > 0 ? (row*)malloc(sizeof(row) * (size_t)count) : NULL;
    if (count > 0 && rows == NULL) {
        fprintf(stderr, "lanlist: out of memory\n");
        return;
    }
    for (c = 0; c < COLUMNS; ++c) widths[c] = (int)strlen(heads[c]);
    for (i = 0; i < count; ++i) {
        fill_row(vlj_browser_server_at(browser, i), &rows[i]);
        for (c = 0; c < columns; ++c) {
            int w = decoded(rows[i].cells[c], NULL);
            if (w > widths[c]) widths[c] = w;
        }
    }
    for (i = -1; i < count; ++i) {
        for (c = 0; c < columns; ++c) {
            /* Numbers line up on the right; the last column has no blanks after it. */
            int right = c == 1 || c == 5;
            print_cell(i < 0 ? heads[c] : rows[i].cells[c], (right || c + 1 < columns) ? widths[c] : 0, right);
            if (c + 1 < columns) fputs("  ", stdout);
        }
        putchar('\n');
    }
    free(rows);
}

static void VLJ_CALL print_trace(const char* line, void* user) {
    (void)user;
    fprintf(stderr, "lanlist: trace: %s\n", line);
}

/* Takes the queued events: the servers heard, and what kept the update from
 * asking the network. */
static void take_events(vlj_browser* browser, int* heard, int* problem) {
    vlj_event event;
    while (vlj_browser_poll_event(browser, &event) == 1) {
        if (event.kind == VLJ_EVENT_SERVER) ++*heard;
        if (event.kind == VLJ_EVENT_PROBLEM) *problem = event.problem;
    }
}

static int make_browser(const options* o, vlj_browser** browser) {
    vlj_browser_config config;
    int32_t result;
    vlj_browser_config_init(&config);
    config.max_queries = o->queries;
    config.key_map_path = o->key_map;
    result = vlj_browser_create(&config, browser);
    if (result == VLJ_ERR_NOT_FOUND) fprintf(stderr, "lanlist: cannot read the key map %s\n", o->key_map);
    if (result != VLJ_OK) return fail("cannot make a browser", result);
    /* The library shows nothing about a missing key map: the host says it. */
    if (vlj_browser_key_map_loaded(*browser) == 0)
        fprintf(stderr, "lanlist: no MultiplayerServers/VelnarKeyMap.ini here: servers show their ping alone\n");
    if (o->trace) vlj_browser_set_trace_callback(*browser, print_trace, NULL);
    result = vlj_browser_update(*browser, VLJ_UPDATE_FULL);
    if (result != VLJ_OK && result != VLJ_ERR_NO_SOCKET) return fail("cannot start the update", result);
    return 0;
}

/* Prints the list once the pass is over: 0 with servers, 2 without. */
static int finish_listing(const options* o, vlj_browser* browser, int heard, int problem, int steps) {
    int32_t result;
    if (problem == VLJ_PROBLEM_NO_SOCKET) fprintf(stderr, "lanlist: no socket could be opened\n");
    if (problem == VLJ_PROBLEM_NO_BROADCAST) fprintf(stderr, "lanlist: no network: nothing could be asked\n");
    if (o->sort_key != NULL) {
        result = vlj_browser_sort(browser, o->sort_key, o->ascending, o->mode);
        if (result != VLJ_OK) return fail("cannot sort", result);
    }
    fprintf(stderr, "lanlist: %d servers heard, %d listed, after %d steps\n", heard,
            (int)vlj_browser_server_count(browser), steps);
    print_table(browser, o->names);
    if (vlj_browser_server_count(browser) == 0) {
        fprintf(stderr, "lanlist: no server answered\n");
        return 2;
    }
    return 0;
}

/* ---- Hosting ------------------------------------------------------------ */

static int make_host(const options* o, vlj_host** host) {
    int32_t result = vlj_host_create("lanlist", host);
    int i;
    if (result != VLJ_OK) return fail("cannot make a host", result);
    result = vlj_host_set_player_limit(*host, 8);
    if (result == VLJ_OK) result = vlj_host_set_server_value(*host, "info", "mapname", o->map);
    if (result == VLJ_OK) result = vlj_host_set_server_value(*host, "info", "gametype", "deathmatch");
    for (i = 0; i < o->player_count && result == VLJ_OK; ++i)
        result = vlj_host_set_player_value(*host, i, "player", o->players[i]);
    if (result == VLJ_OK) result = vlj_host_set_announcing(*host, o->announce);
    if (result != VLJ_OK) return fail("cannot set the game's values", result);
    result = vlj_host_start(*host, o->host_name, o->port);
    if (result != VLJ_OK) return fail("cannot host", result);
    fprintf(stderr, "hosting \"%s\" on UDP port %d for %d s\n", o->host_name, (int)vlj_host_port(*host),
            o->seconds);
    return 0;
}

/* ---- Options ------------------------------------------------------------ */

static int number(const char* text, int low, int high, int* out) {
    char* end;
    long value = strtol(text, &end, 10);
    if (*text == 0 || *end != 0 || value < low || value > high) return 0;
    *out = (int)value;
    return 1;
}

static int parse(int argc, char** argv, options* o) {
    static const char* modes[] = {"int", "float", "text", "nocase"};
    int i, m;
    for (i = 1; i < argc; ++i) {
        const char* name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : NULL;
        int ok = 1, takes = 1;
        if (strcmp(name, "--descending") == 0) o->ascending = 0, takes = 0;
        else if (strcmp(name, "--trace") == 0) o->trace = 1, takes = 0;
        else if (strcmp(name, "--list") == 0) o->list = 1, takes = 0;
        else if (strcmp(name, "--announce") == 0) o->announce = 1, takes = 0;
        else if (strcmp(name, "--players") == 0) o->names = 1, takes = 0;
        else if (value == NULL) ok = 0;
        else if (strcmp(name, "--sort") == 0) o->sort_key = value;
        else if (strcmp(name, "--keymap") == 0) o->key_map = value;
        else if (strcmp(name, "--host") == 0) o->host_name = value;
        else if (strcmp(name, "--map") == 0) o->map = value;
        else if (strcmp(name, "--queries") == 0) ok = number(value, 1, 64, &o->queries);
        else if (strcmp(name, "--tick") == 0) ok = number(value, 1, 100, &o->tick_ms);
        else if (strcmp(name, "--port") == 0) ok = number(value, 0, 65535, &o->port);
        else if (strcmp(name, "--seconds") == 0) ok = number(value, 1, 3600, &o->seconds);
        else if (strcmp(name, "--player") == 0 && o->player_count < MAX_PLAYERS) o->players[o->player_count++] = value;
        else if (strcmp(name, "--mode") == 0) {
            for (m = 0, ok = 0; m < 4; ++m)
                if (strcmp(value, modes[m]) == 0) o->mode = m, ok = 1;
        } else ok = 0;
        if (!ok) {
            fprintf(stderr, "lanlist: bad option or value: %s\n", name);
            return 0;
        }
        i += takes;
    }
    if (o->host_name == NULL) o->list = 1;
    return 1;
}

int main(int argc, char** argv) {
    options o;
    vlj_browser* browser = NULL;
    vlj_host* host = NULL;
    int status = 0, list_status = 0, heard = 0, problem = VLJ_PROBLEM_NONE, steps = 0, listing, hosting_steps;
    memset(&o, 0, sizeof o);
    o.ascending = 1;
    o.mode = VLJ_COMPARE_TEXT;
    o.tick_ms = 5;
    o.seconds = 60;
    o.map = "scree";
    if (!parse(argc, argv, &o)) return 1;
    if ((vlj_version() >> 16) != VLJ_VERSION_MAJOR) {
        fprintf(stderr, "lanlist: the library is version %s; this program needs %d.x\n", vlj_version_text(),
                VLJ_VERSION_MAJOR);
        return 1;
    }
    if (o.host_name != NULL) status = make_host(&o, &host);
    if (status == 0 && o.list) status = make_browser(&o, &browser);
    /* One loop steps both: the game answers while the list fills. A pass
     * ends by itself (within about 6 s on a LAN); hosting ends after the
     * seconds asked for. */
    listing = browser != NULL;
    hosting_steps = host != NULL ? o.seconds * 1000 / o.tick_ms : 0;
    while (status == 0 && (listing || steps < hosting_steps)) {
        if (host != NULL) vlj_host_step(host);
        if (listing) {
            int32_t running = vlj_browser_step(browser);
            take_events(browser, &heard, &problem);
            if (running < 0) status = fail("step", running);
            if (running == 0) {
                listing = 0;
                list_status = finish_listing(&o, browser, heard, problem, steps);
                fflush(stdout);
            }
        }
        ++steps;
        pause_ms(o.tick_ms);
    }
    vlj_browser_destroy(browser);
    vlj_host_destroy(host);
    return status != 0 ? status : list_status;
}
