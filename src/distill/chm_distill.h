// The distillation stage of a conversion: which pages take part, chapter numbers and bookmark
// names of the contents entries, and every page distilled and written back in the working folder.
#pragma once

#include "project/chm_decompile.h"

#include <string>

namespace quillet {

class TCHMDistill : public TCHMDecompile {
public:
    // Runs the whole distillation stage on the unpacked project.
    virtual void Execute();

    bool AddHint = false;
    std::u16string HintFormat;
    bool Discard = false;
    std::u16string Addenda;
};

}  // namespace quillet
