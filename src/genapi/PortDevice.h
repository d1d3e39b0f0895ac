#pragma once
// Private to src/genapi: the interpreter's device object. Includes Aravis.
#include <arv.h>

#include <cstddef>
#include <string>

#include "genapi/IPort.h"
#include "genapi/RegisterCache.h"

G_BEGIN_DECLS
#define NOX_TYPE_PORT_DEVICE (nox_port_device_get_type())
G_DECLARE_FINAL_TYPE(NoxPortDevice, nox_port_device, NOX, PORT_DEVICE, ArvDevice)
G_END_DECLS

namespace vexo::genicam::genapi {

// The failures the device reports in its own error domain; every other
// failure comes from the interpreter's domains.
enum class PortError { NotConnected, NotReadable, NotWritable, Failed };
GQuark PortErrorQuark();

// A device that owns the interpreted description and forwards every register
// read and write of it to the connected IPort. Not thread-safe: the node map
// serialises all use.
class PortDevice {
public:
    // Interprets the description; null when the interpreter refuses it.
    // Parsing is serialised process-wide (the interpreter's first parse sets up
    // shared tables without a lock).
    static NoxPortDevice *Create(const void *description, size_t size);
    // Releases a device made by Create (null is ignored), under the same lock.
    static void Destroy(NoxPortDevice *device);

    static ArvGc *Genicam(NoxPortDevice *device);
    // The text of the last failure this thread's port access reported.
    static const std::string &LastFailureText();
    static void Connect(NoxPortDevice *device, GenApi::IPort *port);
    // Register reads are answered from the cache where it may, and every
    // access keeps it up to date (not owned; null for none).
    static void UseCache(NoxPortDevice *device, RegisterCache *cache);
};

}  // namespace vexo::genicam::genapi
