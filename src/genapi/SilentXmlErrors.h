#pragma once
// Private to src/genapi. Includes libxml2.
#include <libxml/xmlerror.h>

namespace vexo::genicam::genapi {

// While it lasts, libxml2 prints nothing on this thread: some of its
// complaints (a broken encoding, say) bypass the parser options and go
// straight to stderr. A description it cannot read is refused with the reason
// all the same. libxml2 keeps its handlers per thread.
class SilentXmlErrors {
public:
    SilentXmlErrors()
        : genericHandler_(xmlGenericError), genericContext_(xmlGenericErrorContext),
          structuredHandler_(xmlStructuredError), structuredContext_(xmlStructuredErrorContext) {
        xmlSetGenericErrorFunc(nullptr, IgnoreGeneric);
        xmlSetStructuredErrorFunc(nullptr, IgnoreStructured);
    }
    ~SilentXmlErrors() {
        xmlSetGenericErrorFunc(genericContext_, genericHandler_);
        xmlSetStructuredErrorFunc(structuredContext_, structuredHandler_);
    }
    SilentXmlErrors(const SilentXmlErrors &) = delete;
    SilentXmlErrors &operator=(const SilentXmlErrors &) = delete;

private:
    static void IgnoreGeneric(void *, const char *, ...) {}
    static void IgnoreStructured(void *, xmlErrorPtr) {}

    xmlGenericErrorFunc genericHandler_;
    void *genericContext_;
    xmlStructuredErrorFunc structuredHandler_;
    void *structuredContext_;
};

}  // namespace vexo::genicam::genapi
