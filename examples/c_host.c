// A host in C through the plain C interface: bind a terminal, add one user, wait for that
// command's result.
//   c_host PORT        exit status 0 when the terminal reported "0" for the command
#ifndef _WIN32
#define _POSIX_C_SOURCE 200809L  // nanosleep
#endif
#include <VurodoroViri_C.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#ifdef _WIN32
#include <windows.h>
#endif

#define TERMINAL "FACE-0001"

// The callback runs on the adapter's polling thread; main() reads `result` once `arrived` is set.
struct Awaited {
    char command_id[32];
    char result[64];
    atomic_int arrived;
};

// Receives every result waiting at the gateway, also those of commands other programs sent: keep
// ours, take all (returning 0), so that nothing comes again.
static int on_result(void* context, const char* serial, const char* command_id, const char* result)
{
    struct Awaited* awaited = context;
    if (strcmp(serial, TERMINAL) == 0 && strcmp(command_id, awaited->command_id) == 0 &&
        !atomic_load(&awaited->arrived)) {
        snprintf(awaited->result, sizeof awaited->result, "%s", result);
        atomic_store(&awaited->arrived, 1);
    }
    return 0;
}

static void sleep_a_little(void)
{
#ifdef _WIN32
    Sleep(50);
#else
    const struct timespec pause = {0, 50000000L};
    nanosleep(&pause, NULL);
#endif
}

static void print_why(const char* what)
{
    char detail[256];
    int delivery = 0;
    const int outcome = VurodoroViriC_LastExchange(&delivery, NULL, detail, sizeof detail);
    printf("%s failed: %s%s%s\n", what, VurodoroViriC_OutcomeName(outcome), detail[0] ? ", " : "",
           detail);
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: c_host PORT\n");
        return 2;
    }
    struct Awaited awaited;
    snprintf(awaited.command_id, sizeof awaited.command_id, "%lu", (unsigned long)time(NULL));
    atomic_init(&awaited.arrived, 0);

    VurodoroViriC_Adapter* adapter = NULL;
    if (!VurodoroViriC_Create(&adapter)) {
        fprintf(stderr, "c_host: no adapter: its polling thread could not be started\n");
        return 1;
    }
    VurodoroViriC_SetRequestPort(adapter, atoi(argv[1]));
    VurodoroViriC_SetResultCallback(adapter, &on_result, &awaited);  // within 8 s: the first poll
    const char* const user[] = {"pin", "1001", "name", "Ada Lovelace", NULL};
    int sent = VurodoroViriC_Bind(adapter, TERMINAL, 1);
    if (!sent) {
        print_why("bind " TERMINAL);
    } else if (!(sent = VurodoroViriC_AddUser(adapter, awaited.command_id, TERMINAL, user))) {
        print_why("add user 1001");
    }
    printf("bind %s, add user 1001 as command %s: %s\n", TERMINAL, awaited.command_id,
           sent ? "accepted" : "failed");
    // The first poll comes 8 s after the adapter was created; give the result 30 s.
    for (int waited = 0; sent && !atomic_load(&awaited.arrived) && waited < 30000; waited += 50) {
        sleep_a_little();
    }
    const int done = atomic_load(&awaited.arrived) && strcmp(awaited.result, "0") == 0;
    if (atomic_load(&awaited.arrived)) {
        printf("result of command %s: %s\n", awaited.command_id, awaited.result);
    }
    VurodoroViriC_Destroy(adapter);  // stops the polling thread before it returns
    return done ? 0 : 1;
}
