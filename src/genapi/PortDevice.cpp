#include "genapi/PortDevice.h"

#include "genapi/InterpreterLog.h"
#include "genapi/SilentXmlErrors.h"

#include <cstring>
#include <exception>
#include <mutex>

struct _NoxPortDevice {
    ArvDevice parent;
    ArvGc *genicam;
    GenApi::IPort *port;
    vexo::genicam::genapi::RegisterCache *cache;
};

G_DEFINE_TYPE(NoxPortDevice, nox_port_device, ARV_TYPE_DEVICE)

namespace vexo::genicam::genapi {
namespace {

std::mutex &InterpreterLock() {
    static std::mutex lock;
    return lock;
}

thread_local std::string t_lastFailureText;

void SetPortError(GError **error, PortError code, const char *message) {
    t_lastFailureText = message;
    g_set_error_literal(error, PortErrorQuark(), static_cast<gint>(code), message);
}

// The connected port when it allows the access; otherwise null with the error set.
GenApi::IPort *PortFor(ArvDevice *device, bool write, GError **error) {
    GenApi::IPort *port = NOX_PORT_DEVICE(device)->port;
    if (!port) {
        SetPortError(error, PortError::NotConnected, "No port connected to the node map");
        return nullptr;
    }
    const GenApi::EAccessMode mode = port->GetAccessMode();
    if (write ? !GenApi::IsWritable(mode) : !GenApi::IsReadable(mode)) {
        SetPortError(error, write ? PortError::NotWritable : PortError::NotReadable,
                     write ? "The port is not writable" : "The port is not readable");
        return nullptr;
    }
    return port;
}

// Runs one port access; a throwing port becomes an error carrying its text,
// since exceptions must not cross the interpreter's C frames.
template <class Access>
gboolean GuardedAccess(GError **error, Access access) {
    try {
        access();
        return TRUE;
    } catch (const std::exception &exception) {
        SetPortError(error, PortError::Failed, exception.what());
    } catch (...) {
        SetPortError(error, PortError::Failed, "Unknown failure of the port");
    }
    return FALSE;
}

gboolean ReadMemory(ArvDevice *device, guint64 address, guint32 size, void *buffer, GError **error) {
    RegisterCache *cache = NOX_PORT_DEVICE(device)->cache;
    if (cache && cache->Read(address, size, buffer)) return TRUE;
    GenApi::IPort *port = PortFor(device, false, error);
    if (!port) return FALSE;
    const gboolean read = GuardedAccess(error, [&] { port->Read(buffer, static_cast<int64_t>(address), size); });
    if (cache && read) cache->StoreRead(address, size, buffer);
    if (cache && !read) cache->Forget(address, size);
    return read;
}

gboolean WriteMemory(ArvDevice *device, guint64 address, guint32 size, void *buffer, GError **error) {
    GenApi::IPort *port = PortFor(device, true, error);
    if (!port) return FALSE;
    const gboolean written = GuardedAccess(error, [&] { port->Write(buffer, static_cast<int64_t>(address), size); });
    RegisterCache *cache = NOX_PORT_DEVICE(device)->cache;
    if (cache && written) cache->StoreWrite(address, size, buffer);
    if (cache && !written) cache->Forget(address, size);
    return written;
}

// A 32-bit register is the four bytes at its address, in host order.
gboolean ReadRegister(ArvDevice *device, guint64 address, guint32 *value, GError **error) {
    return ReadMemory(device, address, sizeof *value, value, error);
}

gboolean WriteRegister(ArvDevice *device, guint64 address, guint32 value, GError **error) {
    return WriteMemory(device, address, sizeof value, &value, error);
}

ArvStream *CreateStream(ArvDevice *, ArvStreamCallback, void *, GDestroyNotify, GError **error) {
    g_set_error_literal(error, ARV_DEVICE_ERROR, ARV_DEVICE_ERROR_NO_STREAM_CHANNEL,
                        "The node map device has no stream channel");
    return nullptr;
}

// The description text is not kept; the camera object holds its own copy.
const char *DescriptionText(ArvDevice *, size_t *size) {
    if (size) *size = 0;
    return nullptr;
}

ArvGc *DeviceGenicam(ArvDevice *device) { return NOX_PORT_DEVICE(device)->genicam; }

}  // namespace

GQuark PortErrorQuark() { return g_quark_from_static_string("nox-genapi-port-error"); }

NoxPortDevice *PortDevice::Create(const void *description, size_t size) {
    std::lock_guard<std::mutex> guard(InterpreterLock());
    InterpreterLog::Install();
    InterpreterLog::Scope scope;
    SilentXmlErrors silent;
    auto *device = NOX_PORT_DEVICE(g_object_new(NOX_TYPE_PORT_DEVICE, nullptr));
    device->genicam = arv_gc_new(ARV_DEVICE(device), description, size);
    // A description the interpreter complains about while reading it is not taken.
    if (!device->genicam || !scope.Complaint().empty()) {
        g_object_unref(device);
        return nullptr;
    }
    return device;
}

const std::string &PortDevice::LastFailureText() { return t_lastFailureText; }

void PortDevice::Destroy(NoxPortDevice *device) {
    if (!device) return;
    std::lock_guard<std::mutex> guard(InterpreterLock());
    g_object_unref(device);
}

ArvGc *PortDevice::Genicam(NoxPortDevice *device) { return device->genicam; }

void PortDevice::Connect(NoxPortDevice *device, GenApi::IPort *port) { device->port = port; }

void PortDevice::UseCache(NoxPortDevice *device, RegisterCache *cache) { device->cache = cache; }

}  // namespace vexo::genicam::genapi

namespace {

void FinalizeDevice(GObject *object) {
    // The interpreted description points back at the device; it goes first.
    g_clear_object(&NOX_PORT_DEVICE(object)->genicam);
    G_OBJECT_CLASS(nox_port_device_parent_class)->finalize(object);
}

}  // namespace

static void nox_port_device_init(NoxPortDevice *device) {
    device->genicam = nullptr;
    device->port = nullptr;
    device->cache = nullptr;
}

static void nox_port_device_class_init(NoxPortDeviceClass *deviceClass) {
    using namespace vexo::genicam::genapi;
    G_OBJECT_CLASS(deviceClass)->finalize = FinalizeDevice;
    ArvDeviceClass *arvClass = ARV_DEVICE_CLASS(deviceClass);
    arvClass->create_stream = CreateStream;
    arvClass->get_genicam_xml = DescriptionText;
    arvClass->get_genicam = DeviceGenicam;
    arvClass->read_memory = ReadMemory;
    arvClass->write_memory = WriteMemory;
    arvClass->read_register = ReadRegister;
    arvClass->write_register = WriteRegister;
}
