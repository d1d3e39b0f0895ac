#define _GNU_SOURCE
#include "SimInstanceChoice.h"

#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

__attribute__((constructor)) static void ChoosePrivateSimulator(void) { setenv("VEXO_SIM_INSTANCE", "private", 0); }

/* The program may not link the simulator; it is found where it is loaded. */
static void RemoveOwnInstance(void) {
    int32_t (*removeInstance)(void) = (int32_t(*)(void))dlsym(RTLD_DEFAULT, "vexosim_remove_instance");
    if (removeInstance) removeInstance();
}

const char *nox_test_own_sim_instance(const char *tag) {
    static char name[64];
    static int registered = 0;
    static unsigned named = 0;
    if (named) RemoveOwnInstance(); /* the one named before */
    snprintf(name, sizeof name, "%s-%ld-%u", tag, (long)getpid(), named++);
    setenv("VEXO_SIM_INSTANCE", name, 1);
    if (!registered) registered = atexit(RemoveOwnInstance) == 0;
    return name;
}
