/*
 * The grabber library: opens a frame-grabber board for use. An application
 * hands the session it gets to Nox_initBoardEx and closes it after
 * Nox_freeBoard.
 */
#ifndef GRABLIB5_H
#define GRABLIB5_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define GRABLIB5_API __attribute__((visibility("default")))
#else
#define GRABLIB5_API
#endif

#ifndef GRABBER_SESSION_DECLARED
#define GRABBER_SESSION_DECLARED
/* The grabber library's session of one board, owned by the application. */
typedef struct GrabberSession GrabberSession;
#endif

/* A session of the board with that index, null when there is no such board. */
GRABLIB5_API GrabberSession *OpenGrabber(uint32_t boardIndex);

/* Releases a session; null is ignored. */
GRABLIB5_API void CloseGrabber(GrabberSession *session);

#ifdef __cplusplus
}
#endif

#endif
