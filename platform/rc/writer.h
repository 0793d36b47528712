// Writing compiled resources as a C++ source file.
#pragma once

#include "platform/rc/manifest.h"

#include <ostream>
#include <string>

namespace platform::rc {

enum class OutputKind {
    Module, // registered by static initialisation with the module it is linked into; nothing exported
    Data,   // a data-only shared object exporting the table under resource_table.h's kDataModuleSymbol
};

// `anchor`, when given for a module, names a global symbol a linker can be told to keep (--undefined), so the
// resources survive being put in a static library that nothing else of references.
void WriteSource(std::ostream& out, const Compiled& compiled, OutputKind kind, const std::string& origin,
                 const std::string& anchor = {});

// A make-style dependency file naming every input, for the build to recompile on change.
void WriteDepfile(std::ostream& out, const std::string& output, const Compiled& compiled);

} // namespace platform::rc
