#ifndef NOX_TEST_SIM_INSTANCE_CHOICE_H
#define NOX_TEST_SIM_INSTANCE_CHOICE_H
/*
 * Which virtual frame grabber a test or benchmark program runs on. Linked into
 * every one of them: at start-up VEXO_SIM_INSTANCE becomes "private" (a
 * simulator inside the process, as each program run by ctest in parallel
 * must have) unless whoever started the program named an instance.
 */
#ifdef __cplusplus
extern "C" {
#endif

/* For tests of several processes on one simulator: names a new instance of
 * this program's own, "<tag>-<pid>-<n>", in VEXO_SIM_INSTANCE (the processes
 * it starts inherit it) and deletes it when the program exits or names the
 * next one. Returns the name. */
const char *nox_test_own_sim_instance(const char *tag);

#ifdef __cplusplus
}
#endif

#endif
