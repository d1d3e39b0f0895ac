#pragma once
#include "protocol/BoardTypes.h"

namespace vexo::genicam {

// The kind of link controller a board opens is its link technology.
using ControllerKind = protocol::Technology;

}  // namespace vexo::genicam
